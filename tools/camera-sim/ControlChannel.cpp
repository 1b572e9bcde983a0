#include "ControlChannel.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <sstream>
#include <vector>

#include "CameraSim.h"

namespace camsim {

const char kControlHelp[] =
    "Fault knobs, one a line, given with --knob or on the control input; each holds until changed:\n"
    "  stall-heartbeat on|off            a stalled camera: commands are read, none is answered\n"
    "  silent ID on|off                  command ID (decimal or 0x hex) gets no reply\n"
    "                                    (silent 0x9C on: heartbeats alone go unanswered)\n"
    "  wrong-id ID on|off                command ID is answered under another id\n"
    "  refuse-setting ID [BYTE] on|off   sets of ID (only those whose payload starts with BYTE)\n"
    "                                    are taken but change nothing\n"
    "  late-replies MS                   each command reply waits MS ms (0 ends it)\n"
    "  slow-data MS                      data frames go out in 4 KiB pieces MS ms apart (0 ends it)\n"
    "  close command|data|both           the camera closes the host's connection on that port\n"
    "  reset data                        the camera resets the data connection (RST, not a close)\n"
    "  refuse command|data|both on|off   the port refuses new connections (open ones stay)\n"
    "  frame foreign|truncated|oversized|random [N]\n"
    "                                    the next N data frames (default 1) carry that fault\n"
    "  announce on|off                   the discovery datagram is sent or not\n"
    "  announce-state normal|leaving|upgrade-waiting\n"
    "                                    the state the datagram announces\n"
    "  slow-fetch MS                     the camera's fetches of host files take 4 KiB pieces MS ms\n"
    "                                    apart (0 ends it)\n"
    "  help                              this list\n"
    "Streams put out of step, each once:\n"
    "  pause-in-frame MS OFFSET          the next data frame stops for MS ms after its first\n"
    "                                    OFFSET bytes (0 to 7: inside its head; 8 on: its payload)\n"
    "  unframed N                        N bytes of no framing go out before the next data frame\n"
    "  lone-head TYPE LENGTH             a data-frame head of these type and length words, and\n"
    "                                    no payload, goes out before the next data frame\n"
    "  oversized-reply ID LENGTH         the next reply to command ID has a body of LENGTH bytes\n"
    "                                    (its own, then zeros)\n"
    "Blank lines and lines starting with '#' are skipped.\n";

namespace {

// Bounds that keep a mistyped knob from stalling the camera for good.
constexpr long kMaxDelayMs = 60000;
constexpr long kMaxFaultFrames = 1000;
constexpr long kMaxUnframedBytes = 16 * 1024 * 1024;
constexpr long kMaxReplyBody = 16 * 1024 * 1024;
constexpr long kMaxWord = 0xFFFFFFFFL;

ControlOutcome Refused(const std::string& why) { return ControlOutcome{false, why}; }
ControlOutcome Done(const std::string& what) { return ControlOutcome{true, what}; }

// A whole number in [min, max], decimal or 0x hex (base 0 would read a leading zero as octal).
std::optional<long> Number(const std::string& text, long min, long max) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    const auto isDigit = [hex](unsigned char c) { return hex ? std::isxdigit(c) != 0 : std::isdigit(c) != 0; };
    if (digits.empty() || digits.size() > 9 || !std::all_of(digits.begin(), digits.end(), isDigit)) return std::nullopt;
    const long value = std::strtol(digits.c_str(), nullptr, hex ? 16 : 10);
    if (value < min || value > max) return std::nullopt;
    return value;
}

std::optional<bool> OnOff(const std::string& text) {
    if (text == "on") return true;
    if (text == "off") return false;
    return std::nullopt;
}

std::optional<CameraPort> PortOf(const std::string& text) {
    if (text == "command") return CameraPort::Command;
    if (text == "data") return CameraPort::Data;
    if (text == "both") return CameraPort::Both;
    return std::nullopt;
}

std::optional<DataFault> FaultOf(const std::string& text) {
    if (text == "foreign") return DataFault::ForeignType;
    if (text == "truncated") return DataFault::TruncatedRecord;
    if (text == "oversized") return DataFault::OversizedLength;
    if (text == "random") return DataFault::RandomPayload;
    return std::nullopt;
}

std::optional<AnnouncedState> StateOf(const std::string& text) {
    if (text == "normal") return AnnouncedState::Normal;
    if (text == "leaving") return AnnouncedState::Leaving;
    if (text == "upgrade-waiting") return AnnouncedState::UpgradeWaiting;
    return std::nullopt;
}

// One parsed line: the knob's name and its words.
class Line {
public:
    explicit Line(const std::string& text) {
        std::istringstream in(text);
        std::string word;
        while (in >> word) m_words.push_back(word);
    }
    bool Empty() const { return m_words.empty() || m_words[0][0] == '#'; }
    const std::string& Knob() const { return m_words[0]; }
    size_t Args() const { return m_words.size() - 1; }
    const std::string& Arg(size_t i) const { return m_words[i + 1]; }
    std::string Text() const {
        std::string text;
        for (const std::string& w : m_words) text += (text.empty() ? "" : " ") + w;
        return text;
    }

private:
    std::vector<std::string> m_words;
};

ControlOutcome Usage(const Line& line, const char* usage) {
    return Refused(line.Knob() + ": expected \"" + line.Knob() + " " + usage + "\", got \"" + line.Text() + "\"");
}

// "KNOB on|off"
template <typename Turn>
ControlOutcome Switch(const Line& line, Turn turn) {
    const auto on = line.Args() == 1 ? OnOff(line.Arg(0)) : std::nullopt;
    if (!on) return Usage(line, "on|off");
    turn(*on);
    return Done(line.Text());
}

// "KNOB ID on|off"
template <typename Turn>
ControlOutcome IdSwitch(const Line& line, Turn turn) {
    const auto id = line.Args() == 2 ? Number(line.Arg(0), 0, 0xFF) : std::nullopt;
    const auto on = line.Args() == 2 ? OnOff(line.Arg(1)) : std::nullopt;
    if (!id || !on) return Usage(line, "ID on|off");
    turn(static_cast<uint8_t>(*id), *on);
    return Done(line.Text());
}

// "KNOB MS"
template <typename Turn>
ControlOutcome Delay(const Line& line, Turn turn) {
    const auto ms = line.Args() == 1 ? Number(line.Arg(0), 0, kMaxDelayMs) : std::nullopt;
    if (!ms) return Usage(line, "MS (0 to 60000)");
    turn(std::chrono::milliseconds(*ms));
    return Done(line.Text());
}

ControlOutcome RefuseSettingLine(const Line& line, FaultKnobs& knobs) {
    const bool withByte = line.Args() == 3;
    if (line.Args() != 2 && !withByte) return Usage(line, "ID [BYTE] on|off");
    const auto id = Number(line.Arg(0), 0, 0xFF);
    const auto byte = withByte ? Number(line.Arg(1), 0, 0xFF) : std::nullopt;
    const auto on = OnOff(line.Arg(line.Args() - 1));
    if (!id || !on || (withByte && !byte)) return Usage(line, "ID [BYTE] on|off");
    std::optional<uint8_t> firstByte;
    if (byte) firstByte = static_cast<uint8_t>(*byte);
    knobs.RefuseSetting(static_cast<uint8_t>(*id), firstByte, *on);
    return Done(line.Text());
}

ControlOutcome CloseLine(const Line& line, FaultKnobs& knobs) {
    const auto port = line.Args() == 1 ? PortOf(line.Arg(0)) : std::nullopt;
    if (!port) return Usage(line, "command|data|both");
    knobs.Close(*port);
    return Done(line.Text());
}

ControlOutcome ResetLine(const Line& line, FaultKnobs& knobs) {
    if (line.Args() != 1 || line.Arg(0) != "data") return Usage(line, "data");
    knobs.ResetData();
    return Done(line.Text());
}

ControlOutcome RefuseLine(const Line& line, FaultKnobs& knobs) {
    const auto port = line.Args() == 2 ? PortOf(line.Arg(0)) : std::nullopt;
    const auto on = line.Args() == 2 ? OnOff(line.Arg(1)) : std::nullopt;
    if (!port || !on) return Usage(line, "command|data|both on|off");
    knobs.Refuse(*port, *on);
    return Done(line.Text());
}

ControlOutcome FrameLine(const Line& line, FaultKnobs& knobs) {
    const char* usage = "foreign|truncated|oversized|random [N]";
    if (line.Args() < 1 || line.Args() > 2) return Usage(line, usage);
    const auto fault = FaultOf(line.Arg(0));
    const auto count = line.Args() == 2 ? Number(line.Arg(1), 1, kMaxFaultFrames) : std::optional<long>(1);
    if (!fault || !count) return Usage(line, usage);
    knobs.InjectDataFault(*fault, static_cast<int>(*count));
    return Done(line.Text());
}

ControlOutcome AnnounceStateLine(const Line& line, FaultKnobs& knobs) {
    const auto state = line.Args() == 1 ? StateOf(line.Arg(0)) : std::nullopt;
    if (!state) return Usage(line, "normal|leaving|upgrade-waiting");
    knobs.SetAnnouncedState(*state);
    return Done(line.Text());
}

ControlOutcome PauseInFrameLine(const Line& line, FaultKnobs& knobs) {
    const auto ms = line.Args() == 2 ? Number(line.Arg(0), 0, kMaxDelayMs) : std::nullopt;
    const auto offset = line.Args() == 2 ? Number(line.Arg(1), 0, kMaxWord) : std::nullopt;
    if (!ms || !offset) return Usage(line, "MS OFFSET");
    knobs.PauseInFrame(std::chrono::milliseconds(*ms), static_cast<size_t>(*offset));
    return Done(line.Text());
}

ControlOutcome UnframedLine(const Line& line, FaultKnobs& knobs) {
    const auto count = line.Args() == 1 ? Number(line.Arg(0), 1, kMaxUnframedBytes) : std::nullopt;
    if (!count) return Usage(line, "N (1 to 16777216)");
    knobs.SendUnframed(static_cast<size_t>(*count));
    return Done(line.Text());
}

ControlOutcome LoneHeadLine(const Line& line, FaultKnobs& knobs) {
    const auto type = line.Args() == 2 ? Number(line.Arg(0), 0, kMaxWord) : std::nullopt;
    const auto length = line.Args() == 2 ? Number(line.Arg(1), 0, kMaxWord) : std::nullopt;
    if (!type || !length) return Usage(line, "TYPE LENGTH");
    knobs.SendLoneHead(static_cast<uint32_t>(*type), static_cast<uint32_t>(*length));
    return Done(line.Text());
}

ControlOutcome OversizedReplyLine(const Line& line, FaultKnobs& knobs) {
    const auto id = line.Args() == 2 ? Number(line.Arg(0), 0, 0xFF) : std::nullopt;
    const auto length = line.Args() == 2 ? Number(line.Arg(1), 0, kMaxReplyBody) : std::nullopt;
    if (!id || !length) return Usage(line, "ID LENGTH (0 to 16777216)");
    knobs.OversizeReply(static_cast<uint8_t>(*id), static_cast<uint32_t>(*length));
    return Done(line.Text());
}

class CameraKnobs final : public FaultKnobs {
public:
    explicit CameraKnobs(CameraSim& camera) : m_camera(camera) {}
    void StallHeartbeat(bool on) override { m_camera.StallHeartbeat(on); }
    void SetNoReply(uint8_t id, bool on) override { m_camera.SetNoReply(id, on); }
    void SetWrongReplyId(uint8_t id, bool on) override { m_camera.SetWrongReplyId(id, on); }
    void RefuseSetting(uint8_t id, std::optional<uint8_t> firstByte, bool on) override {
        m_camera.RefuseSetting(id, firstByte, on);
    }
    void SetReplyDelay(std::chrono::milliseconds delay) override { m_camera.SetReplyDelay(delay); }
    void SetDataChunkPause(std::chrono::milliseconds pause) override { m_camera.SetDataChunkPause(pause); }
    void Close(CameraPort port) override {
        if (port == CameraPort::Both) m_camera.CloseConnections();
        if (port == CameraPort::Command) m_camera.CloseCommandConnection();
        if (port == CameraPort::Data) m_camera.CloseDataConnection();
    }
    void Refuse(CameraPort port, bool on) override {
        if (port == CameraPort::Both) m_camera.RefuseReconnects(on);
        if (port == CameraPort::Command) m_camera.RefuseCommandConnections(on);
        if (port == CameraPort::Data) m_camera.RefuseDataConnections(on);
    }
    void ResetData() override { m_camera.ResetDataConnection(); }
    void InjectDataFault(DataFault fault, int count) override { m_camera.InjectDataFault(fault, count); }
    void SetAnnouncing(bool on) override { m_camera.SetAnnouncing(on); }
    void SetAnnouncedState(AnnouncedState state) override { m_camera.SetAnnouncedState(state); }
    void SetFetchPause(std::chrono::milliseconds pause) override { m_camera.SetFetchPause(pause); }
    void PauseInFrame(std::chrono::milliseconds pause, size_t offset) override {
        m_camera.PauseNextDataFrame(pause, offset);
    }
    void SendUnframed(size_t count) override { m_camera.SendUnframedData(count); }
    void SendLoneHead(uint32_t type, uint32_t length) override { m_camera.SendLoneDataHead(type, length); }
    void OversizeReply(uint8_t id, uint32_t length) override { m_camera.OversizeNextReply(id, length); }

private:
    CameraSim& m_camera;
};

}  // namespace

std::unique_ptr<FaultKnobs> KnobsOf(CameraSim& camera) { return std::make_unique<CameraKnobs>(camera); }

ControlOutcome ApplyControlLine(const std::string& text, FaultKnobs& knobs) {
    const Line line(text);
    if (line.Empty()) return Done("");
    const std::string& knob = line.Knob();
    if (knob == "stall-heartbeat") return Switch(line, [&](bool on) { knobs.StallHeartbeat(on); });
    if (knob == "silent") return IdSwitch(line, [&](uint8_t id, bool on) { knobs.SetNoReply(id, on); });
    if (knob == "wrong-id") return IdSwitch(line, [&](uint8_t id, bool on) { knobs.SetWrongReplyId(id, on); });
    if (knob == "refuse-setting") return RefuseSettingLine(line, knobs);
    if (knob == "late-replies") return Delay(line, [&](std::chrono::milliseconds ms) { knobs.SetReplyDelay(ms); });
    if (knob == "slow-data") return Delay(line, [&](std::chrono::milliseconds ms) { knobs.SetDataChunkPause(ms); });
    if (knob == "close") return CloseLine(line, knobs);
    if (knob == "reset") return ResetLine(line, knobs);
    if (knob == "refuse") return RefuseLine(line, knobs);
    if (knob == "frame") return FrameLine(line, knobs);
    if (knob == "announce") return Switch(line, [&](bool on) { knobs.SetAnnouncing(on); });
    if (knob == "announce-state") return AnnounceStateLine(line, knobs);
    if (knob == "slow-fetch") return Delay(line, [&](std::chrono::milliseconds ms) { knobs.SetFetchPause(ms); });
    if (knob == "pause-in-frame") return PauseInFrameLine(line, knobs);
    if (knob == "unframed") return UnframedLine(line, knobs);
    if (knob == "lone-head") return LoneHeadLine(line, knobs);
    if (knob == "oversized-reply") return OversizedReplyLine(line, knobs);
    if (knob == "help") return Done(kControlHelp);
    return Refused("unknown knob \"" + knob + "\" (the line \"help\" lists them)");
}

}  // namespace camsim
