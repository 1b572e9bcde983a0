#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "DecodeKernels.h"
#include "PixelMath.h"

// The raw four-phase decode loop, included by each instruction-set build (internal linkage,
// see PixelMath.h).
namespace tofdecode {
namespace {

__attribute__((always_inline)) inline uint32_t Load32(const uint8_t* at) {
    uint32_t word;
    __builtin_memcpy(&word, at, sizeof(word));  // the payload sits at an odd address
    return word;
}

// One instance per background case, so neither loop carries a test per pixel.
template <bool kBackground>
__attribute__((always_inline)) inline void RawPixelLoop(const uint8_t* const phase[4], size_t n,
                                                        const RawPixelParams& params, uint16_t* __restrict depth,
                                                        uint16_t* __restrict ir, uint16_t* __restrict confidence) {
    const uint8_t* __restrict phase0 = phase[0];
    const uint8_t* __restrict phase1 = phase[1];
    const uint8_t* __restrict phase2 = phase[2];
    const uint8_t* __restrict phase3 = phase[3];
    const uint16_t* __restrict background = params.background;
    const float factor = params.factor;
    const int offset = params.offset;
    const int maxDepth = params.maxDepth;
    for (size_t i = 0; i < n; ++i) {
        const uint32_t w0 = Load32(phase0 + 4 * i);
        const uint32_t w1 = Load32(phase1 + 4 * i);
        const uint32_t w2 = Load32(phase2 + 4 * i);
        const uint32_t w3 = Load32(phase3 + 4 * i);
        const int a0 = static_cast<int>(w0 & 0xFFFF), b0 = static_cast<int>(w0 >> 16);
        const int a1 = static_cast<int>(w1 & 0xFFFF), b1 = static_cast<int>(w1 >> 16);
        const int a2 = static_cast<int>(w2 & 0xFFFF), b2 = static_cast<int>(w2 >> 16);
        const int a3 = static_cast<int>(w3 & 0xFFFF), b3 = static_cast<int>(w3 >> 16);

        const int sum = (a0 + b0 + a2 + b2) >> 4;
        int infrared = sum > 4095 ? 4095 : sum;
        if (kBackground) {
            infrared -= background[i];
            infrared = infrared < 0 ? 0 : infrared;
        }
        ir[i] = static_cast<uint16_t>(infrared);

        const int inPhase = ((a0 >> 4) - (b0 >> 4)) - ((a2 >> 4) - (b2 >> 4));
        const int quadrature = ((a1 >> 4) - (b1 >> 4)) - ((a3 >> 4) - (b3 >> 4));
        // Both differences fit 16 bits: a widening 16-bit multiply gives the exact squares.
        const int16_t i16 = static_cast<int16_t>(inPhase), q16 = static_cast<int16_t>(quadrature);
        confidence[i] = static_cast<uint16_t>(SquareRootFloor(i16 * i16 + q16 * q16));

        float angle = Atan2Optimize(static_cast<float>(inPhase), static_cast<float>(quadrature));
        angle = angle < 0.0f ? angle + kTwoPi : angle;
        int d = static_cast<int16_t>(static_cast<int>(angle * factor) + offset);
        d = d < 0 ? d + maxDepth : (d > maxDepth ? d - maxDepth : d);
        depth[i] = static_cast<uint16_t>(d < 0 ? 0 : d);
    }
}

__attribute__((always_inline)) inline void RawPixels(const uint8_t* const phase[4], size_t n,
                                                     const RawPixelParams& params, uint16_t* depth, uint16_t* ir,
                                                     uint16_t* confidence) {
    if (params.background != nullptr) {
        RawPixelLoop<true>(phase, n, params, depth, ir, confidence);
    } else {
        RawPixelLoop<false>(phase, n, params, depth, ir, confidence);
    }
}

}  // namespace
}  // namespace tofdecode
