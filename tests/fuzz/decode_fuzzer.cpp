// ToF records decoded as the "TofDecode" thread decodes them: settings and measuring ranges
// from the input, then records of the four ToF types built over the right layout, with the
// input's bytes patched in.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "FakeConsumer.h"
#include "FakeProducer.h"
#include "FuzzCheck.h"
#include "IdentityPreProcess.h"
#include "ToFRecordLayout.h"
#include "TofDecode.h"

namespace {

using fuzzcheck::Check;
using namespace tofrecord;

std::string g_folder;

constexpr uint8_t kTypes[] = {kRawFull, kRawBinned, kComputedFull, kComputedBinned};

// A record of the type over a buffer kept between inputs (fresh pages for megabytes of record
// would cost more than decoding it).
std::vector<uint8_t>& Record(int typeIndex, uint8_t headByte4, bool markers) {
    static std::vector<uint8_t> records[4];
    const uint8_t type = kTypes[typeIndex];
    const size_t payload = PayloadLength(type);
    std::vector<uint8_t>& record = records[typeIndex];
    record.assign(kHeadSize + payload, 0);
    record[0] = type;
    record[1] = uint8_t(payload);
    record[2] = uint8_t(payload >> 8);
    record[3] = uint8_t(payload >> 16);
    record[4] = headByte4;
    if (markers && (type == kRawFull || type == kRawBinned)) {
        const RawLayout& layout = type == kRawFull ? kRawFullLayout : kRawBinnedLayout;
        for (int i = 0; i < 4; ++i) record[kHeadSize + layout.markers[i]] = static_cast<uint8_t>(i);
    }
    return record;
}

void CheckFrame(TofDecode& decode, FrameType type, const std::vector<uint8_t>& record, uint32_t index) {
    if (!decode.IsFrameReady(type)) return;
    Frame* frame = nullptr;
    if (decode.GetFrame(type, &frame) != 0 || frame == nullptr) return;
    const bool binned = record[0] == kRawBinned || record[0] == kComputedBinned;
    Check(frame->width == (binned ? 320 : 640) && frame->height == (binned ? 240 : 480),
          "frame size of another record");
    const uint32_t bytes = frame->pixelFormat == PIXEL_FORMAT_GRAY8 ? 1 : 2;
    Check(frame->length == uint32_t(frame->width) * frame->height * bytes, "frame length is not its image",
          std::to_string(frame->length));
    Check(frame->length <= frame->capacity, "frame length beyond its capacity");
    Check(frame->frameIndex == index, "frame index lost");
    decode.RecycleFrame(frame);
}

// Building a decoder takes its frame pools and calibration files: one for the whole run with a
// preprocessing object (the filters run) and one without.
struct Decoder {
    FakeProducer producer;
    testsupport::FakeConsumer consumer;
    testsupport::IdentityPreProcess preprocess;
    std::unique_ptr<TofDecode> decode;
};
Decoder* g_decoders[2];

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_folder = fuzzcheck::MakeRunFolder("decode") + "/";
    for (int i = 0; i < 2; ++i) {
        g_decoders[i] = new Decoder;
        g_decoders[i]->decode = std::make_unique<TofDecode>(&g_decoders[i]->producer, g_folder);
        g_decoders[i]->decode->Init(&g_decoders[i]->consumer, i == 1 ? &g_decoders[i]->preprocess : nullptr);
    }
    return 0;
}

// Input: settings (data mode, switches, three filter bytes, six measuring ranges of three
// 16-bit words), then records: type selector, head byte 4, a length cut, and patches of
// {24-bit offset, length byte, bytes} ended by a patch of length 0.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzcheck::Reader in(data, size);
    const uint8_t mode = in.Byte();
    const uint8_t switches = in.Byte();
    TofDecode& decode = *g_decoders[switches >> 7]->decode;
    decode.SetDataMode(mode);
    decode.SetDualFreqFusionEnable(switches & 1);
    decode.SetRawDepthCut(switches & 2);
    decode.SetTemperatureOffsetEnable(switches & 4);
    decode.SetIRPixelFormat((switches & 8) ? PIXEL_FORMAT_GRAY8 : PIXEL_FORMAT_GRAY16);
    decode.SetDepthRange((switches >> 4) & 7);
    const uint8_t filters[3] = {in.Byte(), in.Byte(), in.Byte()};
    decode.SetTimeFilterParams({uint8_t(filters[0] & 1), filters[1]});
    decode.SetConfidenceFilterParams({uint8_t((filters[0] >> 1) & 1), filters[2]});
    decode.SetFlyingPixelFilterParams({uint8_t((filters[0] >> 2) & 1), filters[1]});
    decode.SetSpatialFilterParams({uint8_t((filters[0] >> 3) & 1), filters[2] & 7, filters[1], (filters[0] >> 5) & 3});
    decode.SetFillHoleFilterParams(
        {uint8_t((filters[0] >> 4) & 1), filters[2] & 7, filters[1] & 15, (filters[0] >> 5) & 3});
    uint16_t depthMax[6], effectMax[6], effectMin[6];
    for (int r = 0; r < 6; ++r) {
        depthMax[r] = in.Word();
        effectMax[r] = in.Word();
        effectMin[r] = in.Word();
    }
    decode.InitRangeValue(depthMax, effectMax, effectMin);

    for (uint32_t index = 1; in.Remaining() > 0 && index <= 4; ++index) {
        const uint8_t selector = in.Byte();
        std::vector<uint8_t>& record = Record(selector & 3, in.Byte(), (selector & 4) == 0);
        const uint8_t cut = in.Byte();
        for (;;) {
            const uint32_t offset = in.Byte() | (uint32_t(in.Word()) << 8);
            const std::vector<uint8_t> bytes = in.Bytes(in.Byte());
            if (bytes.empty()) break;
            for (size_t i = 0; i < bytes.size(); ++i) record[(offset + i) % record.size()] = bytes[i];
        }
        Frame raw{};
        raw.frameType = FRAME_RAW_TOF;
        raw.pixelFormat = PIXEL_FORMAT_RAW;
        raw.data = record.data();
        raw.capacity = static_cast<uint32_t>(record.size());
        raw.length = raw.capacity - std::min<uint32_t>(cut & 0x7F, raw.capacity);
        raw.frameIndex = index;
        raw.hasFrameType = static_cast<HasFrameType>(selector >> 4);
        decode.DecodeOne(&raw);
        CheckFrame(decode, FRAME_DEPTH, record, index);
        CheckFrame(decode, FRAME_IR, record, index);
        CheckFrame(decode, FRAME_CONFIDENCE, record, index);
    }
    return 0;
}
