#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "ControlChannel.h"
#include "ControlInput.h"
#include "TempDir.h"

namespace {

using namespace std::chrono_literals;
using camsim::ApplyControlLine;
using camsim::ControlInput;
using camsim::ControlOutcome;

// Writes each knob call as text, so a table can name the call a line must make.
class RecordingKnobs : public camsim::FaultKnobs {
public:
    std::vector<std::string> calls;

    void StallHeartbeat(bool on) override { Add("StallHeartbeat " + OnOff(on)); }
    void SetNoReply(uint8_t id, bool on) override { Add("SetNoReply " + Num(id) + " " + OnOff(on)); }
    void SetWrongReplyId(uint8_t id, bool on) override { Add("SetWrongReplyId " + Num(id) + " " + OnOff(on)); }
    void RefuseSetting(uint8_t id, std::optional<uint8_t> firstByte, bool on) override {
        Add("RefuseSetting " + Num(id) + " " + (firstByte ? Num(*firstByte) : "any") + " " + OnOff(on));
    }
    void SetReplyDelay(std::chrono::milliseconds delay) override { Add("SetReplyDelay " + Num(delay.count())); }
    void SetDataChunkPause(std::chrono::milliseconds pause) override { Add("SetDataChunkPause " + Num(pause.count())); }
    void Close(camsim::CameraPort port) override { Add("Close " + PortName(port)); }
    void Refuse(camsim::CameraPort port, bool on) override { Add("Refuse " + PortName(port) + " " + OnOff(on)); }
    void ResetData() override { Add("ResetData"); }
    void InjectDataFault(camsim::DataFault fault, int count) override {
        Add("InjectDataFault " + FaultName(fault) + " " + Num(count));
    }
    void SetAnnouncing(bool on) override { Add("SetAnnouncing " + OnOff(on)); }
    void SetAnnouncedState(camsim::AnnouncedState state) override {
        Add("SetAnnouncedState " + Num(static_cast<int>(state)));
    }
    void SetFetchPause(std::chrono::milliseconds pause) override { Add("SetFetchPause " + Num(pause.count())); }
    void PauseInFrame(std::chrono::milliseconds pause, size_t offset) override {
        Add("PauseInFrame " + Num(pause.count()) + " " + Num(offset));
    }
    void SendUnframed(size_t count) override { Add("SendUnframed " + Num(count)); }
    void SendLoneHead(uint32_t type, uint32_t length) override { Add("SendLoneHead " + Num(type) + " " + Num(length)); }
    void OversizeReply(uint8_t id, uint32_t length) override { Add("OversizeReply " + Num(id) + " " + Num(length)); }

private:
    void Add(const std::string& call) { calls.push_back(call); }
    static std::string OnOff(bool on) { return on ? "on" : "off"; }
    template <typename T>
    static std::string Num(T value) {
        return std::to_string(static_cast<long long>(value));
    }
    static std::string FaultName(camsim::DataFault fault) {
        switch (fault) {
            case camsim::DataFault::ForeignType: return "foreign";
            case camsim::DataFault::OversizedLength: return "oversized";
            case camsim::DataFault::TruncatedRecord: return "truncated";
            case camsim::DataFault::RandomPayload: return "random";
        }
        return "?";
    }
    static std::string PortName(camsim::CameraPort port) {
        switch (port) {
            case camsim::CameraPort::Command: return "command";
            case camsim::CameraPort::Data: return "data";
            case camsim::CameraPort::Both: return "both";
        }
        return "?";
    }
};

TEST(ControlChannel, EachLineTurnsItsKnob) {
    const struct {
        const char* line;
        const char* call;
    } cases[] = {
        {"stall-heartbeat on", "StallHeartbeat on"},
        {"stall-heartbeat off", "StallHeartbeat off"},
        {"silent 0x1B on", "SetNoReply 27 on"},
        {"silent 156 off", "SetNoReply 156 off"},
        {"silent 010 on", "SetNoReply 10 on"},
        {"silent 0X1b on", "SetNoReply 27 on"},
        {"wrong-id 0x86 on", "SetWrongReplyId 134 on"},
        {"wrong-id 0x06 off", "SetWrongReplyId 6 off"},
        {"refuse-setting 0x05 on", "RefuseSetting 5 any on"},
        {"refuse-setting 0x19 2 on", "RefuseSetting 25 2 on"},
        {"refuse-setting 0x19 0x02 off", "RefuseSetting 25 2 off"},
        {"late-replies 2500", "SetReplyDelay 2500"},
        {"late-replies 0", "SetReplyDelay 0"},
        {"slow-data 20", "SetDataChunkPause 20"},
        {"slow-data 0", "SetDataChunkPause 0"},
        {"close command", "Close command"},
        {"close data", "Close data"},
        {"close both", "Close both"},
        {"reset data", "ResetData"},
        {"refuse command on", "Refuse command on"},
        {"refuse data on", "Refuse data on"},
        {"refuse data off", "Refuse data off"},
        {"refuse both off", "Refuse both off"},
        {"frame foreign", "InjectDataFault foreign 1"},
        {"frame truncated 3", "InjectDataFault truncated 3"},
        {"frame oversized 1000", "InjectDataFault oversized 1000"},
        {"frame random 2", "InjectDataFault random 2"},
        {"announce off", "SetAnnouncing off"},
        {"announce on", "SetAnnouncing on"},
        {"announce-state leaving", "SetAnnouncedState 2"},
        {"announce-state upgrade-waiting", "SetAnnouncedState 3"},
        {"announce-state normal", "SetAnnouncedState 0"},
        {"slow-fetch 25", "SetFetchPause 25"},
        {"slow-fetch 0", "SetFetchPause 0"},
        {"   silent   0x1B\ton  ", "SetNoReply 27 on"},
        {"pause-in-frame 1500 4", "PauseInFrame 1500 4"},
        {"pause-in-frame 8000 1008", "PauseInFrame 8000 1008"},
        {"pause-in-frame 0 0", "PauseInFrame 0 0"},
        {"unframed 1000", "SendUnframed 1000"},
        {"unframed 16777216", "SendUnframed 16777216"},
        {"lone-head 3 0xF0000000", "SendLoneHead 3 4026531840"},
        {"lone-head 0xFFFFFFFF 0", "SendLoneHead 4294967295 0"},
        {"oversized-reply 0x9C 2097152", "OversizeReply 156 2097152"},
        {"oversized-reply 0x02 5000", "OversizeReply 2 5000"},
    };
    for (const auto& c : cases) {
        RecordingKnobs knobs;
        const ControlOutcome outcome = ApplyControlLine(c.line, knobs);
        EXPECT_TRUE(outcome.ok) << c.line << ": " << outcome.message;
        EXPECT_EQ(knobs.calls, std::vector<std::string>{c.call}) << c.line;
    }
}

// A refused line turns nothing and says what it expected.
TEST(ControlChannel, BadLinesTurnNothingAndSayWhy) {
    const struct {
        const char* line;
        const char* said;
    } cases[] = {
        {"stall", "unknown knob \"stall\""},
        {"STALL-HEARTBEAT on", "unknown knob"},
        {"stall-heartbeat", "expected \"stall-heartbeat on|off\""},
        {"stall-heartbeat yes", "expected \"stall-heartbeat on|off\", got \"stall-heartbeat yes\""},
        {"stall-heartbeat on off", "on|off"},
        {"silent on", "expected \"silent ID on|off\""},
        {"silent 0x100 on", "ID on|off"},
        {"silent -1 on", "ID on|off"},
        {"silent 0x1G on", "ID on|off"},
        {"silent 0x on", "ID on|off"},
        {"silent 0x-1 on", "ID on|off"},
        {"silent 0x+1 on", "ID on|off"},
        {"silent 99999999999999999999 on", "ID on|off"},
        {"wrong-id 0x86", "ID on|off"},
        {"refuse-setting 0x19 256 on", "ID [BYTE] on|off"},
        {"refuse-setting 0x19 2 3 on", "ID [BYTE] on|off"},
        {"refuse-setting on", "ID [BYTE] on|off"},
        {"late-replies", "MS (0 to 60000)"},
        {"late-replies 60001", "MS (0 to 60000)"},
        {"late-replies 1.5", "MS (0 to 60000)"},
        {"slow-data -5", "MS (0 to 60000)"},
        {"close", "command|data|both"},
        {"close everything", "command|data|both"},
        {"refuse command", "command|data|both on|off"},
        {"reset", "expected \"reset data\""},
        {"reset command", "expected \"reset data\""},
        {"refuse on both", "command|data|both on|off"},
        {"frame", "foreign|truncated|oversized|random [N]"},
        {"frame short", "foreign|truncated|oversized|random [N]"},
        {"frame foreign 0", "[N]"},
        {"frame foreign 1001", "[N]"},
        {"announce maybe", "announce on|off"},
        {"announce-state gone", "normal|leaving|upgrade-waiting"},
        {"pause-in-frame 1500", "expected \"pause-in-frame MS OFFSET\""},
        {"pause-in-frame 60001 4", "MS OFFSET"},
        {"pause-in-frame 100 -1", "MS OFFSET"},
        {"unframed", "N (1 to 16777216)"},
        {"unframed 0", "N (1 to 16777216)"},
        {"unframed 16777217", "N (1 to 16777216)"},
        {"lone-head 3", "TYPE LENGTH"},
        {"lone-head 0x100000000 4", "TYPE LENGTH"},
        {"oversized-reply 0x100 5000", "ID LENGTH"},
        {"oversized-reply 0x9C 16777217", "ID LENGTH"},
    };
    for (const auto& c : cases) {
        RecordingKnobs knobs;
        const ControlOutcome outcome = ApplyControlLine(c.line, knobs);
        EXPECT_FALSE(outcome.ok) << c.line;
        EXPECT_NE(outcome.message.find(c.said), std::string::npos) << c.line << " -> " << outcome.message;
        EXPECT_TRUE(knobs.calls.empty()) << c.line;
    }
}

TEST(ControlChannel, BlankAndCommentLinesAreSkippedAndHelpListsEveryKnob) {
    for (const char* line : {"", "   ", "\t", "# stall-heartbeat on"}) {
        RecordingKnobs knobs;
        const ControlOutcome outcome = ApplyControlLine(line, knobs);
        EXPECT_TRUE(outcome.ok) << line;
        EXPECT_TRUE(outcome.message.empty()) << line;
        EXPECT_TRUE(knobs.calls.empty()) << line;
    }
    RecordingKnobs knobs;
    const ControlOutcome help = ApplyControlLine("help", knobs);
    EXPECT_TRUE(help.ok);
    for (const char* knob : {"stall-heartbeat", "silent", "wrong-id", "refuse-setting", "late-replies", "slow-data",
                             "close", "reset", "refuse", "frame", "announce", "announce-state", "pause-in-frame",
                             "unframed", "lone-head", "oversized-reply", "slow-fetch"})
        EXPECT_NE(help.message.find(std::string("  ") + knob + " "), std::string::npos) << knob;
    EXPECT_TRUE(knobs.calls.empty());
}

struct Pipe {
    int fds[2] = {-1, -1};
    Pipe() { EXPECT_EQ(pipe(fds), 0); }
    ~Pipe() {
        for (int fd : fds)
            if (fd >= 0) close(fd);
    }
    void Write(const std::string& text) { ASSERT_EQ(write(fds[1], text.data(), text.size()), ssize_t(text.size())); }
    void CloseWriter() {
        close(fds[1]);
        fds[1] = -1;
    }
};

struct Collected {
    std::vector<std::string> lines;
    std::vector<std::string> refused;
    void PollFrom(ControlInput& input) {
        input.Poll(
            10ms, [this](const std::string& l) { lines.push_back(l); },
            [this](const std::string& r) { refused.push_back(r); });
    }
};

TEST(ControlInput, JoinsPiecesIntoLinesAndDropsLineEnds) {
    Pipe pipe;
    ControlInput input(pipe.fds[0]);
    Collected got;
    pipe.Write("sil");
    got.PollFrom(input);
    EXPECT_TRUE(got.lines.empty()) << "half a line waits for the rest";
    pipe.Write("ent 0x1B on\r\nclose both\n\nannounce");
    got.PollFrom(input);
    EXPECT_EQ(got.lines, (std::vector<std::string>{"silent 0x1B on", "close both", ""}));
    pipe.CloseWriter();
    got.PollFrom(input);
    EXPECT_TRUE(input.Ended());
    EXPECT_EQ(got.lines.back(), "announce") << "the last line needs no line end";
    EXPECT_TRUE(got.refused.empty());
}

TEST(ControlInput, AnOverlongLineIsRefusedAndTheNextLineStillCounts) {
    Pipe pipe;
    ControlInput input(pipe.fds[0]);
    Collected got;
    pipe.Write(std::string(ControlInput::kMaxLine + 1, 'x'));
    got.PollFrom(input);
    pipe.Write(std::string(700, 'y') + "\nclose both\n");
    for (int i = 0; i < 3; ++i) got.PollFrom(input);
    ASSERT_EQ(got.refused.size(), 1u);
    EXPECT_NE(got.refused[0].find("longer than 256"), std::string::npos) << got.refused[0];
    EXPECT_EQ(got.lines, std::vector<std::string>{"close both"});
}

TEST(ControlInput, ANamedPipeIsMadeKeptAcrossWritersAndRemoved) {
    testsupport::TempDir dir;
    const std::string path = dir.File("control");
    std::string error;
    {
        auto input = ControlInput::Open(path, error);
        ASSERT_NE(input, nullptr) << error;
        struct stat info {};
        ASSERT_EQ(stat(path.c_str(), &info), 0);
        EXPECT_TRUE(S_ISFIFO(info.st_mode));
        Collected got;
        for (const char* line : {"stall-heartbeat on\n", "stall-heartbeat off\n"}) {
            // Each writer comes and goes, as `echo LINE > FIFO` does.
            const int writer = open(path.c_str(), O_WRONLY | O_CLOEXEC);
            ASSERT_GE(writer, 0);
            ASSERT_GT(write(writer, line, std::string(line).size()), 0);
            close(writer);
            got.PollFrom(*input);
            got.PollFrom(*input);
        }
        EXPECT_EQ(got.lines, (std::vector<std::string>{"stall-heartbeat on", "stall-heartbeat off"}));
        EXPECT_FALSE(input->Ended());
    }
    EXPECT_NE(access(path.c_str(), F_OK), 0) << "the pipe it made is gone";
}

TEST(ControlInput, APathThatIsNoPipeIsRefusedAndKept) {
    testsupport::TempDir dir;
    const std::string file = dir.File("notes.txt");
    testsupport::WriteFile(file, "silent 0x1B on\n");
    std::string error;
    EXPECT_EQ(ControlInput::Open(file, error), nullptr);
    EXPECT_NE(error.find("is not a named pipe"), std::string::npos) << error;
    EXPECT_EQ(access(file.c_str(), F_OK), 0);

    error.clear();
    EXPECT_EQ(ControlInput::Open(file + "/control", error), nullptr) << "a path under a regular file";
    EXPECT_NE(error.find("cannot make the control pipe"), std::string::npos) << error;
}

}  // namespace
