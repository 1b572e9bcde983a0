#include "DepthOracle.h"

#include <cmath>
#include <cstdlib>

namespace oracle {

namespace {

const float kFactor[6] = {198.80605f, 298.20908f, 397.6121f, 497.0151f, 596.41815f, 1192.8363f};

uint16_t Tap(const uint8_t* payload, size_t block, int phase, size_t pixel, int tap) {
    const uint8_t* at = payload + phase * block + pixel * 4 + tap * 2;
    return static_cast<uint16_t>(at[0] | (at[1] << 8));
}

}  // namespace

float Atan2(float y, float x) {
    if (y == 0) {
        return x < 0 ? 3.1415927f : 0.0f;
    }
    float a = std::fabs(y) + 1e-10f;
    float r, base;
    if (x < 0) {
        r = (x + a) / (a - x);
        base = 2.3561945f;
    } else {
        r = (x - a) / (x + a);
        base = 0.7853982f;
    }
    float angle = (0.1963f * r * r - 0.9817f) * r + base;
    if (y > 0) {
        return angle;
    }
    return -angle;
}

int TemperatureOffset(const uint8_t* payload, bool binned, int range) {
    const size_t high = binned ? 309817 : 1233977;
    const size_t low = binned ? 309821 : 1233981;
    int raw = ((payload[high] & 3) << 8) | payload[low];
    int t = (int)((10.0 * raw - 2960.0) / 5.4 + 250.0);
    if (range == 0) {
        return (int)((float)t * -1.9f / 10.0f + 129.51576f + 0.5f);
    }
    return (int)((float)t * -3.4139f / 10.0f + 196.45f + 0.5f);
}

Planes DecodeRaw(const RawInput& in) {
    const size_t n = in.binned ? 320 * 240 : 640 * 480;
    const size_t block = in.binned ? 311040 : 1236480;
    const int offset = in.temperatureOffset ? TemperatureOffset(in.payload, in.binned, in.range) : 0;
    Planes out;
    out.depth.resize(n);
    out.ir.resize(n);
    out.confidence.resize(n);
    for (size_t i = 0; i < n; ++i) {
        int A[4], B[4];
        for (int k = 0; k < 4; ++k) {
            A[k] = Tap(in.payload, block, k, i, 0);
            B[k] = Tap(in.payload, block, k, i, 1);
        }
        int ir = (A[0] + B[0] + A[2] + B[2]) >> 4;
        if (ir > 4095) ir = 4095;
        if (in.background != nullptr) {
            ir -= (*in.background)[i];
            if (ir < 0) ir = 0;
        }
        out.ir[i] = (uint16_t)ir;

        int I = ((A[0] >> 4) - (B[0] >> 4)) - ((A[2] >> 4) - (B[2] >> 4));
        int Q = ((A[1] >> 4) - (B[1] >> 4)) - ((A[3] >> 4) - (B[3] >> 4));
        out.confidence[i] = (uint16_t)(int)std::sqrt((double)I * I + (double)Q * Q);

        float phase = Atan2((float)I, (float)Q);
        if (phase < 0) phase += 6.2831855f;
        int16_t d = (int16_t)((int)(phase * kFactor[in.range]) + offset);
        int wrapped = d;
        if (in.maxDepth > 0) {
            if (wrapped < 0) {
                wrapped += in.maxDepth;
            } else if (wrapped > in.maxDepth) {
                wrapped -= in.maxDepth;
            }
        }
        if (wrapped < 0) wrapped = 0;
        if (in.offsetTable != nullptr) {
            size_t index = (size_t)wrapped;
            if (index >= in.offsetTable->size()) index = in.offsetTable->size() - 1;
            wrapped = (*in.offsetTable)[index];
        }
        out.depth[i] = (uint16_t)wrapped;
    }
    return out;
}

uint16_t Unwrap(uint16_t cur, uint16_t ref, int maxDepth) {
    if (ref == 0) return cur;
    int k = (int)((float)(ref - cur) / (float)maxDepth + 0.5f);
    uint16_t moved = (uint16_t)(cur + k * maxDepth);
    if (std::abs(moved - ref) > 124.9) return 0xFFFF;
    return moved;
}

uint8_t Ir8(uint16_t value, int gain) {
    unsigned v = ((unsigned)value * (unsigned)(gain & 0xFF)) >> 10;
    return (uint8_t)(v > 255 ? 255 : v);
}

}  // namespace oracle
