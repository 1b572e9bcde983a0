// Identity, network, factory-mode and trigger-signal commands of the command set.
#include <algorithm>
#include <cstring>

#include "ByteOrder.h"
#include "DeviceCommonProtocol.h"
#include "KitCommands.h"
#include "StatusCodes.h"
#include "TerminatedText.h"
#include "log.h"

using namespace kitcmd;

namespace {

constexpr int kMaxPayload = 64;            // the transport sends no more payload bytes
constexpr int kMaxReplyData = 255;         // the reply's data length is one byte
constexpr int kSNReadBack = 64;            // a serial number of up to 63 characters and its zero
constexpr int kMACLength = 17;             // "aa:bb:cc:dd:ee:ff"
constexpr int kMACReadBack = 19;           // the 17 characters, their zero and one spare byte
constexpr int kRGBSwitchModes = 3;         // the camera takes the colour switch as its remainder by 3
constexpr size_t kFactoryModePayload = 6;  // mode, three switches, the colour switch, a zero byte

// A caller's text within its stated length, for log lines and compares.
std::string BoundedText(const char* text, int len) {
    if (!text || len <= 0) return std::string();
    return std::string(text, strnlen(text, static_cast<size_t>(len)));
}

void PutMCU(uint8_t* p, const MCUParameters& m) {
    p[0] = m.signalType;
    p[1] = m.polarity;
    byteorder::PutLe16(p + 2, m.width);
    byteorder::PutLe16(p + 4, m.intervalOrDelay);
}

MCUParameters GetMCU(const uint8_t* p) {
    return MCUParameters{p[0], p[1], static_cast<uint16_t>(byteorder::GetLe16(p + 2)),
                         static_cast<uint16_t>(byteorder::GetLe16(p + 4))};
}

void PutFactoryRecord(uint8_t* p, const FactoryMode& fm) {
    const int32_t fields[] = {fm.mode, fm.bImuSwitch, fm.bAudioSwitch, fm.bDepthSwitch, fm.bRGBSwitch};
    for (int32_t field : fields) {
        byteorder::PutLe32(p, static_cast<uint32_t>(field));
        p += sizeof(field);
    }
}

FactoryMode GetFactoryRecord(const uint8_t* p) {
    const auto field = [p](int index) { return static_cast<int32_t>(byteorder::GetLe32(p + index * sizeof(int32_t))); };
    return FactoryMode{field(0), field(1), field(2), field(3), field(4)};
}

bool SameMCU(const MCUParameters& a, const MCUParameters& b) {
    return a.signalType == b.signalType && a.polarity == b.polarity && a.width == b.width &&
           a.intervalOrDelay == b.intervalOrDelay;
}

bool SameFactoryMode(const FactoryMode& a, const FactoryMode& b) {
    return a.mode == b.mode && a.bImuSwitch == b.bImuSwitch && a.bAudioSwitch == b.bAudioSwitch &&
           a.bDepthSwitch == b.bDepthSwitch && a.bRGBSwitch == b.bRGBSwitch;
}

}  // namespace

// Reply data bytes 1..count of a text get, behind the sub-id; zeros where no reply matched.
int DeviceCommonProtocol::FetchText(int cmd, uint8_t sub, int count, std::vector<char>& reply) {
    reply.assign(static_cast<size_t>(std::min(count, kMaxReplyData)) + 1, 0);
    reply[0] = static_cast<char>(sub);
    return Exchange(cmd, reply.data(), static_cast<int>(reply.size()), 1, CMDTYPE_GET);
}

namespace {
// The text is cut to the caller's buffer and always NUL-terminated within it.
void StoreText(char* out, int capacity, const std::vector<char>& reply) {
    CopyTerminatedText(out, static_cast<size_t>(capacity), reply.data() + 1, reply.size() - 1);
}
}  // namespace

int DeviceCommonProtocol::QueryText(int cmd, uint8_t sub, char* out, int capacity, int count) {
    std::vector<char> reply;
    const int ret = FetchText(cmd, sub, count, reply);
    if (ret == 0) StoreText(out, capacity, reply);
    return ret;
}

int DeviceCommonProtocol::GetText(int cmd, uint8_t sub, char* out, int len) {
    if (!out || len <= 0) return status::kInvalidParameter;
    const int ret = QueryText(cmd, sub, out, len, len);
    if (ret != 0) LOG_DEVICE(GetDeviceSN(), "ret:%d is failed.", ret);
    return ret;
}

int DeviceCommonProtocol::SendText(int cmd, uint8_t sub, const char* text, int len) {
    if (!text || len < 0) return status::kInvalidParameter;
    // Cut short, the text would change the camera to something nobody asked for.
    if (len + 1 > kMaxPayload) {
        LOG_DEVICE(GetDeviceSN(), "length:%d is too long.", len);
        return status::kInvalidParameter;
    }
    uint8_t buf[kMaxPayload] = {sub};
    std::memcpy(buf + 1, text, static_cast<size_t>(len));
    return Command(cmd, buf, len + 1, len + 1, CMDTYPE_SET);
}

Confirmation DeviceCommonProtocol::SetText(const TextSet& set, const char* text, int len, const std::string& want,
                                           char* got, int capacity) {
    return m_sets.Confirm([&] { return SendText(set.cmd, set.sub, text, len); },
                          [&] {
                              std::memset(got, 0, static_cast<size_t>(capacity));
                              return QueryText(set.cmd, set.getSub, got, capacity, set.count);
                          },
                          [&] { return want == got; });
}

int DeviceCommonProtocol::GetFirmwareVersion(char* ver, int len) {
    if (!ver || len <= 0) return status::kInvalidParameter;
    std::vector<char> reply;
    const int ret = FetchText(kVersion, version::kFirmwareVersion, len, reply);
    StoreText(ver, len, reply);
    LOG_DEVICE(GetDeviceSN(), "fwVer:%s", ver);
    if (ret != 0) LOG_DEVICE(GetDeviceSN(), "ret:%d is failed.", ret);
    return ret;
}

int DeviceCommonProtocol::GetHWVer(char* ver, int len) {
    if (!ver || len <= 0) return status::kInvalidParameter;
    uint8_t prime[kMaxPayload] = {version::kHardwareVersion};
    const int primeLength = std::min(len + 1, kMaxPayload);
    int ret = Command(kVersion, prime, primeLength, primeLength, CMDTYPE_SET);
    if (ret != 0) return ret;
    std::vector<char> reply;
    ret = FetchText(kVersion, version::kHardwareVersion, len, reply);
    StoreText(ver, len, reply);
    if (ret != 0) LOG_DEVICE(GetDeviceSN(), "ret:%d is failed.", ret);
    return ret;
}

int DeviceCommonProtocol::GetSensorSN(char* sn, int len) { return GetText(kVersion, version::kSensorSN, sn, len); }

int DeviceCommonProtocol::SetSN(char* sn, int len) {
    const std::string want = BoundedText(sn, len);
    char got[kSNReadBack] = {};
    const Confirmation set =
        SetText({kVersion, version::kSensorSN, version::kSensorSN, len}, sn, len, want, got, sizeof(got));
    if (set.writeLine) LOG_DEVICE(GetDeviceSN(), "Set SensorSN:%s; Get SensorSN:%s", want.c_str(), got);
    return set.result;
}

int DeviceCommonProtocol::GetDeviceSN(char* sn, int len) {
    return GetText(kNetwork, network::kDeviceSN + network::kGet, sn, len);
}

int DeviceCommonProtocol::SetDeviceSN(char* sn, int len) {
    const std::string want = BoundedText(sn, len);
    char got[kSNReadBack] = {};
    const Confirmation set = SetText({kNetwork, network::kDeviceSN, network::kDeviceSN + network::kGet, len}, sn, len,
                                     want, got, sizeof(got));
    if (set.writeLine) LOG_DEVICE(GetDeviceSN(), "Set deviceSn:%s; Get DeviceSN:%s.", want.c_str(), got);
    return set.result;
}

int DeviceCommonProtocol::GetMACAddress(char* mac, int len) {
    const int ret = GetText(kNetwork, network::kMAC + network::kGet, mac, len);
    if (ret == 0) LOG_DEVICE(GetDeviceSN(), "macAddr:%s", mac);
    return ret;
}

int DeviceCommonProtocol::SetMACAddress(const char* mac, int length) {
    // Only the caller's `length` bytes are looked at.
    const std::string text = BoundedText(mac, std::min(length, kMaxPayload));
    if (length < kMACLength || text.size() != static_cast<size_t>(kMACLength)) {
        LOG_DEVICE(GetDeviceSN(), "length:%d pMACAddress:%s len:%d is invalid.", length, text.c_str(),
                   static_cast<int>(text.size()));
        return status::kInvalidParameter;
    }
    // The 17 characters, and their terminating zero when the caller's buffer holds it.
    char got[kMACReadBack] = {};
    const Confirmation set =
        SetText({kNetwork, network::kMAC, network::kMAC + network::kGet, std::min(length, kMACReadBack - 1)}, mac,
                std::min(length, kMACLength + 1), text, got, sizeof(got));
    if (set.writeLine) {
        LOG_DEVICE(GetDeviceSN(), "Set macAddr:%s, length:%d; Get macAddr:%s.", text.c_str(), length, got);
    }
    return set.result;
}

int DeviceCommonProtocol::GetDeviceIPAddr(char* ip, int len) {
    return GetText(kNetwork, network::kIP + network::kGet, ip, len);
}

int DeviceCommonProtocol::SetDeviceIPAddr(const char* ip, int len) { return SendText(kNetwork, network::kIP, ip, len); }

int DeviceCommonProtocol::GetSubnetMask(char* mask, int len) {
    const int ret = GetText(kNetwork, network::kMask + network::kGet, mask, len);
    if (ret == 0) LOG_DEVICE(GetDeviceSN(), "subnetMask:%s", mask);
    return ret;
}

int DeviceCommonProtocol::SetSubnetMask(const char* mask, int len) {
    const int ret = SendText(kNetwork, network::kMask, mask, len);
    if (ret == 0) LOG_DEVICE(GetDeviceSN(), "Set subnetMask:%s", BoundedText(mask, len).c_str());
    return ret;
}

int DeviceCommonProtocol::GetDHCPState(unsigned char& on) {
    uint8_t buf[2] = {network::kDHCP + network::kGet, 0};
    const int ret = Command(kNetwork, buf, sizeof(buf), sizeof(buf), CMDTYPE_GET);
    if (ret == 0) on = buf[1];
    return ret;
}

int DeviceCommonProtocol::SetDHCPState(unsigned char on) {
    uint8_t buf[2] = {network::kDHCP, on};
    return Command(kNetwork, buf, sizeof(buf), sizeof(buf), CMDTYPE_SET);
}

int DeviceCommonProtocol::Reboot() {
    uint8_t value = factory::kReboot;
    return Command(kFactory, &value, sizeof(value), sizeof(value), CMDTYPE_SET);
}

// The get carries the record as it stands and the reply replaces it: five little-endian int32.
int DeviceCommonProtocol::QueryFactoryMode(FactoryMode& fm) {
    uint8_t buf[sizeof(FactoryMode)];
    PutFactoryRecord(buf, fm);
    const int ret = Exchange(kFactory, buf, sizeof(buf), sizeof(buf), CMDTYPE_GET);
    if (ret == 0) fm = GetFactoryRecord(buf);
    return ret;
}

int DeviceCommonProtocol::GetFactoryMode(FactoryMode* fm) {
    if (!fm) return status::kInvalidParameter;
    const int ret = QueryFactoryMode(*fm);
    if (ret != 0) LOG_DEVICE(GetDeviceSN(), "ret:%d is failed.", ret);
    return ret;
}

int DeviceCommonProtocol::SetFactoryMode(const FactoryMode& fm) {
    uint8_t buf[kFactoryModePayload] = {static_cast<uint8_t>(fm.mode),
                                        static_cast<uint8_t>(fm.bImuSwitch != 0),
                                        static_cast<uint8_t>(fm.bAudioSwitch != 0),
                                        static_cast<uint8_t>(fm.bDepthSwitch != 0),
                                        static_cast<uint8_t>(fm.bRGBSwitch % kRGBSwitchModes),
                                        0};
    FactoryMode got{};
    const auto query = [&] {
        got = FactoryMode{};
        return QueryFactoryMode(got);
    };
    const Confirmation set = m_sets.Set(kFactory, buf, sizeof(buf), query, [&] { return SameFactoryMode(got, fm); });
    if (set.writeLine) {
        LOG_DEVICE(GetDeviceSN(),
                   "Set FactoryMode bAudioSwitch:%d bDepthSwitch:%d bImuSwitch:%d bRGBSwitch:%d mode:%d ;\tGet "
                   "FactoryMode bAudioSwitch:%d bDepthSwitch:%d bImuSwitch:%d bRGBSwitch:%d mode:%d ",
                   fm.bAudioSwitch, fm.bDepthSwitch, fm.bImuSwitch, fm.bRGBSwitch, fm.mode, got.bAudioSwitch,
                   got.bDepthSwitch, got.bImuSwitch, got.bRGBSwitch, got.mode);
    }
    return set.result;
}

// The record is filled only when the camera answers for the signal that was asked for.
int DeviceCommonProtocol::QueryMCUParameters(MCUParameters& p) {
    uint8_t buf[sizeof(MCUParameters)] = {p.signalType};
    const int ret = Exchange(kTriggerSignal, buf, sizeof(buf), sizeof(buf), CMDTYPE_GET);
    if (ret == 0 && buf[0] == p.signalType) p = GetMCU(buf);
    return ret;
}

int DeviceCommonProtocol::GetMCUParameters(MCUParameters* p) {
    if (!p) return status::kInvalidParameter;
    const int ret = QueryMCUParameters(*p);
    if (ret != 0) LOG_DEVICE(GetDeviceSN(), "ret:%d is failed.", ret);
    return ret;
}

int DeviceCommonProtocol::SetMCUParameters(const MCUParameters& p) {
    uint8_t buf[sizeof(MCUParameters)];
    PutMCU(buf, p);
    MCUParameters got{};
    const auto query = [&] {
        got = MCUParameters{p.signalType, 0, 0, 0};
        return QueryMCUParameters(got);
    };
    const Confirmation set = m_sets.Set(kTriggerSignal, buf, sizeof(buf), query, [&] { return SameMCU(got, p); });
    if (set.writeLine) {
        LOG_DEVICE(GetDeviceSN(), "Set MCUParameters param:%d %d %d %d; Get :%d %d %d %d.", p.signalType, p.polarity,
                   p.width, p.intervalOrDelay, got.signalType, got.polarity, got.width, got.intervalOrDelay);
    }
    return set.result;
}
