#include "DecodeKernels.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "RawPixelLoop.h"

namespace tofdecode {

#ifdef TOF_DECODE_X86_VARIANTS
// Built with wider instruction sets in their own files.
void DecodeRawPixelsAvx2(const uint8_t* const phase[4], size_t n, const RawPixelParams& params, uint16_t* depth,
                         uint16_t* ir, uint16_t* confidence);
void DecodeRawPixelsAvx512(const uint8_t* const phase[4], size_t n, const RawPixelParams& params, uint16_t* depth,
                           uint16_t* ir, uint16_t* confidence);
#endif

float atan2_optimize(float y, float x) { return Atan2Optimize(y, x); }

int FloorSqrt(int value) { return SquareRootFloor(value); }

namespace {

// The sensor's 10-bit temperature word reads 296 at 25.0 degrees C and rises 5.4 counts a
// degree; the temperature is taken in tenths of a degree.
constexpr double kTenthsPerDegree = 10.0;
constexpr double kCountAt25Degrees = 296.0;
constexpr double kCountsPerDegree = 5.4;
constexpr double kTenthsAt25Degrees = 250.0;

// The depth the sensor adds with its temperature, a straight line per range: range 0 loses
// 1.9 mm a degree from 129.51576 mm at 0 degrees, the longer ranges 3.4139 mm from 196.45 mm.
constexpr float kRange0DriftMmPerDegree = -1.9f;
constexpr float kRange0OffsetMmAt0Degrees = 129.51576f;
constexpr float kDriftMmPerDegree = -3.4139f;
constexpr float kOffsetMmAt0Degrees = 196.45f;
constexpr float kRoundToNearest = 0.5f;  // the offset is positive, so truncating rounds

// A fused pixel further than this from its reference is taken as unwrapped into the wrong
// period: a tenth of the 1249 mm period of range 0, the range the dual-range modes unwrap.
constexpr float kUnwrapToleranceMm = 124.9f;

}  // namespace

int TemperatureOffset(uint8_t highByte, uint8_t lowByte, int depthRange) {
    const int raw = ((highByte & 3) << 8) | lowByte;
    const int t = static_cast<int>((kTenthsPerDegree * raw - kTenthsPerDegree * kCountAt25Degrees) / kCountsPerDegree +
                                   kTenthsAt25Degrees);
    const float temperature = static_cast<float>(t);
    constexpr float kTenths = static_cast<float>(kTenthsPerDegree);
    if (depthRange == 0) {
        return static_cast<int>(temperature * kRange0DriftMmPerDegree / kTenths + kRange0OffsetMmAt0Degrees +
                                kRoundToNearest);
    }
    return static_cast<int>(temperature * kDriftMmPerDegree / kTenths + kOffsetMmAt0Degrees + kRoundToNearest);
}

bool IsSupported(PixelIsa isa) {
    switch (isa) {
        case PixelIsa::Baseline: return true;
#ifdef TOF_DECODE_X86_VARIANTS
        case PixelIsa::Avx2: return __builtin_cpu_supports("avx2");
        case PixelIsa::Avx512:
            return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                   __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512dq");
#endif
        default: return false;
    }
}

PixelIsa BestPixelIsa() {
    static const PixelIsa best = IsSupported(PixelIsa::Avx512) ? PixelIsa::Avx512
                                 : IsSupported(PixelIsa::Avx2) ? PixelIsa::Avx2
                                                               : PixelIsa::Baseline;
    return best;
}

void DecodeRawPixels(const uint8_t* const phase[4], size_t n, const RawPixelParams& params, uint16_t* depth,
                     uint16_t* ir, uint16_t* confidence, PixelIsa isa) {
    switch (isa) {
#ifdef TOF_DECODE_X86_VARIANTS
        case PixelIsa::Avx512: DecodeRawPixelsAvx512(phase, n, params, depth, ir, confidence); return;
        case PixelIsa::Avx2: DecodeRawPixelsAvx2(phase, n, params, depth, ir, confidence); return;
#endif
        default: RawPixels(phase, n, params, depth, ir, confidence); return;
    }
}

void ApplyRangeOffset(uint16_t* depth, size_t n, const uint16_t* table, size_t tableLength) {
    if (tableLength == 0) {
        return;
    }
    const size_t last = tableLength - 1;
    for (size_t i = 0; i < n; ++i) {
        depth[i] = table[std::min<size_t>(depth[i], last)];
    }
}

void UnwrapAgainstReference(uint16_t* __restrict depth, const uint16_t* __restrict reference, size_t n, int maxDepth) {
    const float period = static_cast<float>(maxDepth);
    for (size_t i = 0; i < n; ++i) {
        const int ref = reference[i];
        const int cur = depth[i];
        const int k = static_cast<int>(static_cast<float>(ref - cur) / period + 0.5f);
        const uint16_t moved = static_cast<uint16_t>(cur + k * maxDepth);
        const bool far = static_cast<float>(std::abs(moved - ref)) > kUnwrapToleranceMm;
        depth[i] = ref == 0 ? static_cast<uint16_t>(cur) : (far ? uint16_t{0xFFFF} : moved);
    }
}

void ConvertIrTo8Bit(uint8_t* data, size_t n, int gain) {
    const uint32_t g = static_cast<uint32_t>(gain) & 0xFF;
    // Each chunk is read out before its 8-bit values are written over the bytes already read,
    // which also lets the inner loop run without aliasing.
    constexpr size_t kChunk = 512;
    uint16_t chunk[kChunk];
    for (size_t start = 0; start < n; start += kChunk) {
        const size_t count = std::min(kChunk, n - start);
        std::memcpy(chunk, data + 2 * start, 2 * count);
        uint8_t* out = data + start;
        for (size_t j = 0; j < count; ++j) {
            out[j] = static_cast<uint8_t>(std::min<uint32_t>(255, (chunk[j] * g) >> 10));
        }
    }
}

}  // namespace tofdecode
