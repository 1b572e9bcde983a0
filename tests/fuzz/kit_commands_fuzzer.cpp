// The camera command set's gets and confirmed sets against replies from the input, over a
// scripted transport.
#include <memory>
#include <string>
#include <vector>

#include "DeviceCommonProtocol.h"
#include "FuzzReplies.h"
#include "ScriptedIO.h"

namespace {

using fuzzcheck::Check;
using fuzzcheck::TextBuffer;

using TextGet = int (DeviceCommonProtocol::*)(char*, int);
constexpr TextGet kTextGets[] = {
    &DeviceCommonProtocol::GetFirmwareVersion, &DeviceCommonProtocol::GetHWVer,
    &DeviceCommonProtocol::GetSensorSN,        &DeviceCommonProtocol::GetDeviceSN,
    &DeviceCommonProtocol::GetMACAddress,      &DeviceCommonProtocol::GetDeviceIPAddr,
    &DeviceCommonProtocol::GetSubnetMask,
};

void Call(DeviceCommonProtocol& protocol, uint8_t op, fuzzcheck::Reader& in) {
    const uint8_t arg = in.Byte();
    // One command a line, kept by hand.
    // clang-format off
    switch (op % 24) {
    case 0: {
        // A caller's buffer from one byte to a little beyond the widest camera text.
        TextBuffer text(1 + arg % 80);
        const uint8_t which = in.Byte() % (sizeof(kTextGets) / sizeof(kTextGets[0]));
        if ((protocol.*kTextGets[which])(text.data(), text.size()) == 0) text.CheckTerminated("camera text");
        break;
    }
    case 1: { bool on = false; protocol.GetStreamState(on); break; }
    case 2: protocol.HeartbeatCheck(); break;
    case 3: { int mode = 0; protocol.GetWorkMode(&mode); break; }
    case 4: protocol.SetWorkMode(arg % 4); break;
    case 5: { int fps = 0; protocol.GetFrameRate(&fps); break; }
    case 6: protocol.SetFrameRate(arg); break;
    case 7: {
        std::vector<double> k(9);
        protocol.GetCameraIntrinsic(static_cast<SensorType>(arg % 3), k.data());
        break;
    }
    case 8: {
        const std::vector<double> k(9, arg);
        protocol.SetCameraIntrinsic(static_cast<SensorType>(arg % 3), k.data());
        break;
    }
    case 9: { std::vector<double> d(8); protocol.GetCameraDistortion(static_cast<SensorType>(arg % 3), d.data()); break; }
    case 10: { const std::vector<double> d(8, arg); protocol.SetCameraDistortion(SENSOR_TYPE_TOF, d.data()); break; }
    case 11: { std::vector<double> r(9); protocol.GetCameraRotation(r.data()); break; }
    case 12: { const std::vector<double> r(9, arg); protocol.SetCameraRotation(r.data()); break; }
    case 13: { std::vector<double> t(3); protocol.GetCameraTranslation(t.data()); break; }
    case 14: { const std::vector<double> t(3, arg); protocol.SetCameraTransfer(t.data()); break; }
    case 15: {
        // A confirmed text set: the read-back of a text that may fill the caller's buffer.
        std::vector<uint8_t> bytes = in.Bytes(arg % 40);
        std::vector<char> text(bytes.begin(), bytes.end());
        text.push_back('\0');
        if (arg & 0x80) protocol.SetSN(text.data(), static_cast<int>(text.size()));
        else protocol.SetDeviceSN(text.data(), static_cast<int>(text.size()));
        break;
    }
    case 16: { unsigned char on = 0; protocol.GetDHCPState(on); break; }
    case 17: { FactoryMode fm{}; protocol.GetFactoryMode(&fm); break; }
    case 18: { FactoryMode fm{arg, 1, 0, 1, 0}; protocol.SetFactoryMode(fm); break; }
    case 19: { MCUParameters p{}; protocol.GetMCUParameters(&p); break; }
    case 20: { MCUParameters p{uint8_t(1 + arg % 2), 1, arg, 7}; protocol.SetMCUParameters(p); break; }
    case 21: {
        UpgradeState s{};
        if (protocol.GetUpgradeState(s) == 0) {
            Check(s.state >= -128 && s.state <= 255 && s.param1 >= -128 && s.param1 <= 255, "upgrade state wider than a byte");
        }
        break;
    }
    case 22: { JsonState s{}; protocol.GetJsonState(s); break; }
    case 23: { UpgradeState s{arg, 1, 2}; protocol.SetUpgradeState(s); break; }
    }
    // clang-format on
}

}  // namespace

// Input: a list of {operation byte, argument byte[, operation's own bytes]}, each followed by
// the replies the camera gives to the commands it sends, taken in order as they are asked for.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzcheck::Reader in(data, size);
    auto io = std::make_unique<testsupport::ScriptedIO>();
    fuzzcheck::AnswerFromInput(*io, in);
    DeviceCommonProtocol protocol(std::move(io), [](linktiming::milliseconds) {});
    for (int calls = 0; in.Remaining() > 0 && calls < 64; ++calls) Call(protocol, in.Byte(), in);
    return 0;
}
