// The colour command set's gets and confirmed sets against replies from the input.
#include <cmath>
#include <vector>

#include "FakeCommonControl.h"
#include "FuzzReplies.h"
#include "Protocol.h"

namespace {

using fuzzcheck::Check;

void Call(rc1720::Protocol& protocol, uint8_t op, fuzzcheck::Reader& in) {
    const uint8_t arg = in.Byte();
    // One command a line, kept by hand.
    // clang-format off
    switch (op % 16) {
    case 0: {
        // A caller's buffer of exactly the length it names: nothing may land beyond it.
        const int room = arg % 40;
        std::vector<char> text(static_cast<size_t>(room) + 1);
        int length = room;
        if (protocol.GetRGBFWVersion(text.data() + 1, length) == 0) {
            Check(length >= 0 && length <= room, "firmware text longer than the caller's buffer");
        }
        break;
    }
    case 1: { int v = 0; protocol.GetRGBBrightness(v); break; }
    case 2: protocol.SetRGBBrightness(static_cast<int8_t>(arg)); break;
    case 3: { uint8_t v = 0; protocol.GetAEMaxExposureTime(v); break; }
    case 4: protocol.SetAEMaxExposureTime(arg); break;
    case 5: { uint8_t v = 0; protocol.GetRGBManualExposureState(v); break; }
    case 6: protocol.SetRGBManualExposureState(arg % 2); break;
    case 7: { uint16_t v = 0; protocol.GetRGBManualExposureTime(v); break; }
    case 8: protocol.SetRGBManualExposureTime(in.Word()); break;
    case 9: { uint8_t v = 0; protocol.GetRGBMaxExposureTime(v); break; }
    case 10: {
        float gain = 0;
        protocol.GetRGBGain(gain);
        break;
    }
    case 11: protocol.SetRGBGain(static_cast<float>(arg) / 8.0f); break;
    case 12: {
        int width = -1, height = -1;
        if (protocol.GetColorResolution(width, height) == 0) {
            Check(width >= 0 && width <= 0xFFFF && height >= 0 && height <= 0xFFFF, "resolution wider than the wire");
        }
        break;
    }
    case 13: protocol.SetColorResolution(in.Word(), in.Word()); break;
    case 14: { DSPParameters p{arg % 4, in.Byte(), 0, 0}; protocol.GetDspStatus(p); break; }
    case 15: { DSPParameters p{arg % 4, in.Byte(), uint8_t(arg & 1), in.Word()}; protocol.SetDspStatus(p); break; }
    }
    // clang-format on
}

}  // namespace

// Input: {operation byte, argument byte[, operation's own bytes]}..., each followed by the
// replies the camera gives to the commands it sends.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzcheck::Reader in(data, size);
    testsupport::FakeCommonControl control;
    fuzzcheck::AnswerFromInput(control, in);
    rc1720::Protocol protocol([](std::chrono::milliseconds) {});
    protocol.SetCommonControl(&control);
    for (int calls = 0; in.Remaining() > 0 && calls < 64; ++calls) Call(protocol, in.Byte(), in);
    return 0;
}
