#pragma once
#include <cstdint>

// Per-pixel arithmetic shared by the baseline decode loop and its AVX2 and AVX-512 builds.
// Internal linkage on purpose: each translation unit keeps its own copy compiled for its own
// instruction set, so the linker can never hand a wide-instruction copy to baseline code.
// Builtins instead of <cmath> and <algorithm> calls, for the same reason.
namespace tofdecode {
namespace {

constexpr float kTwoPi = 6.2831855f;

// A polynomial arc tangent, accurate to about 0.01 rad. Both operands of the quotient are
// chosen first so that one division runs unconditionally and the loop can be vectorised.
__attribute__((always_inline)) inline float Atan2Optimize(float y, float x) {
    const float a = __builtin_fabsf(y) + 1e-10f;
    const bool negativeX = x < 0.0f;
    const float numerator = negativeX ? x + a : x - a;
    const float denominator = negativeX ? a - x : x + a;
    const float r = numerator / denominator;
    const float base = negativeX ? 2.3561945f : 0.7853982f;
    const float angle = (0.1963f * r * r - 0.9817f) * r + base;
    if (y == 0.0f) {
        return negativeX ? 3.1415927f : 0.0f;
    }
    return y > 0.0f ? angle : -angle;
}

// The truncated square root, as the double square root gives it, for 0 to 2^27 (the amplitude
// of 12-bit taps). The single-precision root is within 0.002 of the true one there, so one
// step each way corrects it; single precision runs twice the lanes of double.
__attribute__((always_inline)) inline int SquareRootFloor(int value) {
    int root = static_cast<int>(__builtin_sqrtf(static_cast<float>(value)));
    root = root * root > value ? root - 1 : root;
    return (root + 1) * (root + 1) <= value ? root + 1 : root;
}

}  // namespace
}  // namespace tofdecode
