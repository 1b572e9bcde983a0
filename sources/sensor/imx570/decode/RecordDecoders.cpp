#include "RecordDecoders.h"

#include <cstring>

#include "DecodeKernels.h"

namespace {

bool Holds(const DecodeTargets& targets, uint32_t depthBytes, uint32_t irBytes) {
    return targets.depth.data != nullptr && targets.ir.data != nullptr && targets.confidence.data != nullptr &&
           targets.depth.capacity >= depthBytes && targets.ir.capacity >= irBytes &&
           targets.confidence.capacity >= depthBytes;
}

void SetHeader(Frame& frame, int width, int height, uint32_t length, float exposure, int depthRange) {
    frame.width = static_cast<uint16_t>(width);
    frame.height = static_cast<uint16_t>(height);
    frame.length = length;
    frame.exposureTime = exposure;
    frame.depthRange = static_cast<uint32_t>(depthRange);
}

// The sensor counts exposure in 120 ticks per microsecond; wide, since the count times 1000
// overflows 32 bits.
constexpr uint64_t kExposureTicksPerMicrosecond = 120;

float RawExposure(const uint8_t* payload, const tofrecord::RawLayout& layout) {
    if (!layout.hasExposure) {
        return 0.0f;
    }
    uint64_t count = 0;
    for (size_t offset : layout.exposure) {
        count = (count << 8) | payload[offset];
    }
    return static_cast<float>(count * 1000 / kExposureTicksPerMicrosecond);
}

}  // namespace

bool DecodeRawRecord(const uint8_t* payload, const tofrecord::RawLayout& layout, const RawRecordSettings& settings,
                     DecodeTargets& targets) {
    for (int k = 0; k < 4; ++k) {
        if (payload[layout.markers[k]] != k) {
            return false;
        }
    }
    const size_t n = static_cast<size_t>(layout.width) * layout.height;
    const uint32_t bytes = static_cast<uint32_t>(2 * n);
    if (!Holds(targets, bytes, bytes)) {
        return false;
    }
    const int offset = settings.temperatureOffset
                           ? tofdecode::TemperatureOffset(payload[layout.temperatureHigh],
                                                          payload[layout.temperatureLow], settings.depthRange)
                           : 0;
    const uint8_t* phase[4];
    for (int k = 0; k < 4; ++k) {
        phase[k] = payload + k * layout.blockSize;
    }
    const tofdecode::RawPixelParams params{tofdecode::kPhaseFactor[settings.depthRange], offset, settings.maxDepth,
                                           settings.background};
    uint16_t* depth = reinterpret_cast<uint16_t*>(targets.depth.data);
    tofdecode::DecodeRawPixels(phase, n, params, depth, reinterpret_cast<uint16_t*>(targets.ir.data),
                               reinterpret_cast<uint16_t*>(targets.confidence.data));
    if (settings.offsetTable != nullptr) {
        tofdecode::ApplyRangeOffset(depth, n, settings.offsetTable->data(), settings.offsetTable->size());
    }

    const float exposure = RawExposure(payload, layout);
    SetHeader(targets.depth, layout.width, layout.height, bytes, exposure, settings.depthRange);
    SetHeader(targets.ir, layout.width, layout.height, bytes, exposure, settings.depthRange);
    targets.ir.pixelFormat = PIXEL_FORMAT_GRAY16;
    SetHeader(targets.confidence, layout.width, layout.height, bytes, exposure, settings.depthRange);
    return true;
}

bool DecodeComputedRecord(const uint8_t* payload, const tofrecord::ComputedLayout& layout, int depthRange,
                          DecodeTargets& targets) {
    const size_t n = static_cast<size_t>(layout.width) * layout.height;
    if (!Holds(targets, static_cast<uint32_t>(2 * n), static_cast<uint32_t>(n))) {
        return false;
    }
    std::memcpy(targets.depth.data, payload, 2 * n);
    std::memcpy(targets.ir.data, payload + 2 * n, n);
    std::memcpy(targets.confidence.data, payload + 3 * n, 2 * n);
    SetHeader(targets.depth, layout.width, layout.height, static_cast<uint32_t>(2 * n), 0.0f, depthRange);
    SetHeader(targets.ir, layout.width, layout.height, static_cast<uint32_t>(n), 0.0f, depthRange);
    targets.ir.pixelFormat = PIXEL_FORMAT_GRAY8;
    SetHeader(targets.confidence, layout.width, layout.height, static_cast<uint32_t>(2 * n), 0.0f, depthRange);
    return true;
}
