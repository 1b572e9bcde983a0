// The ToF command set's gets, lists and confirmed sets against replies from the input.
#include <cstring>
#include <vector>

#include "FakeCommonControl.h"
#include "FuzzReplies.h"
#include "Protocol.h"

namespace {

using fuzzcheck::Check;

void CheckCount(uint8_t count, size_t room, const char* what) {
    Check(count <= room, "list count beyond its record:", what);
}

void Call(Protocol& protocol, uint8_t op, fuzzcheck::Reader& in) {
    const uint8_t arg = in.Byte();
    // One command a line, kept by hand.
    // clang-format off
    switch (op % 22) {
    case 0: { ExposureTime e{arg, 0}; protocol.GetToFExposureTime(&e); break; }
    case 1: protocol.SetToFExposureTime(ExposureTime{uint8_t(arg % 2), in.Word()}); break;
    case 2: { uint16_t v = 0; protocol.GetRegVal(in.Word(), &v); break; }
    case 3: protocol.SetRegVal(in.Word(), in.Word()); break;
    case 4: { uint8_t mode = 0; protocol.GetDataMode(&mode); break; }
    case 5: protocol.SetDataMode(arg); break;
    case 6: { int range = 0; protocol.GetDepthRange(range); break; }
    case 7: protocol.SetDepthRange(arg % 8); break;
    case 8: { DualRangeParams p{}; protocol.GetDualFreqMode(&p); break; }
    case 9: { DualRangeParams p{2, arg % 6, in.Byte() % 6, 0}; protocol.SetDualFreqMode(p); break; }
    case 10: { MeasuringRange r{uint8_t(arg % 7), 0, 0, 0}; protocol.GetMeasuringRange(r); break; }
    case 11: protocol.SetMeasuringRange(MeasuringRange{uint8_t(arg % 6), in.Word(), in.Word(), in.Word()}); break;
    case 12: {
        int v = 0;
        switch (arg % 5) {
        case 0: protocol.GetLDState(v); break;
        case 1: protocol.GetCDMAState(v); break;
        case 2: protocol.GetAPCState(v); break;
        case 3: protocol.GetLDDriverChipType(v); break;
        default: protocol.GetLDType(v); break;
        }
        break;
    }
    case 13: protocol.SetLDState(arg); break;
    case 14: {
        DepthRangeList list;
        std::memset(&list, 0, sizeof(list));
        if (protocol.GetDepthRangeList(list) == 0) CheckCount(list.count, sizeof(list.ranges), "depth ranges");
        break;
    }
    case 15: {
        DepthRangeList list{arg, {0, 1, 2, 3, 4, 5, 0, 1, 2}};
        protocol.SetDepthRangeList(list);
        break;
    }
    case 16: {
        DataModeList list;
        std::memset(&list, 0, sizeof(list));
        if (protocol.GetOutModeList(list) == 0) CheckCount(list.count, sizeof(list.modes), "data modes");
        break;
    }
    case 17: {
        DataModeList list{};
        list.count = arg;
        protocol.SetOutModeList(list);
        break;
    }
    case 18: { int gain = 0; protocol.GetIRGMMGain(&gain); break; }
    case 19: { DSPParameters p{arg % 4, in.Byte(), 0, 0}; protocol.GetDspStatus(p); break; }
    case 20: { ConfidenceFilterParams p{}; protocol.GetConfidenceFilterParams(p); break; }
    case 21: {
        // The list keys as the plug-in's properties hand them out, with the caller's size.
        uint8_t record[64];
        std::memset(record, 0, sizeof(record));
        static const int kKeys[] = {0x0E000001, 0x0E000002, 0x0E000017};
        int size = 1 + in.Byte() % 40;
        const int key = kKeys[arg % 3];
        if (protocol.GetProperty(key, record, &size) == 0) {
            Check(size >= 1 && size <= 40, "property size beyond the caller's record");
            if (key == 0x0E000001) CheckCount(record[0], sizeof(DataModeList::modes), "data modes");
            if (key == 0x0E000002) CheckCount(record[0], sizeof(DepthRangeList::ranges), "depth ranges");
        }
        break;
    }
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
    Protocol protocol([](linktiming::milliseconds) {});
    protocol.SetCommonControl(&control);
    for (int calls = 0; in.Remaining() > 0 && calls < 64; ++calls) Call(protocol, in.Byte(), in);
    return 0;
}
