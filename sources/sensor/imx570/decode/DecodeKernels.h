#pragma once
#include <cstddef>
#include <cstdint>

// Per-pixel arithmetic of the ToF decode, free of frames and threads. Every result must be
// bit-identical to the scalar formula, so this code is built with -ffp-contract=off.
namespace tofdecode {

// Phase-to-millimetre factor of each depth range.
constexpr float kPhaseFactor[6] = {198.80605f, 298.20908f, 397.6121f, 497.0151f, 596.41815f, 1192.8363f};

// A polynomial arc tangent, accurate to about 0.01 rad.
float atan2_optimize(float y, float x);
// The truncated square root of 0 to 2^27, equal to the truncated double square root.
int FloorSqrt(int value);

// Depth offset in millimetres from the sensor's 10-bit temperature word.
int TemperatureOffset(uint8_t highByte, uint8_t lowByte, int depthRange);

struct RawPixelParams {
    float factor;
    int offset;                  // temperature offset, added to every depth
    int maxDepth;                // wrap-around distance; 0 leaves depths unwrapped
    const uint16_t* background;  // IR background per pixel, or null
};

// Builds of the raw decode loop; every build gives the same bits.
enum class PixelIsa { Baseline, Avx2, Avx512 };
bool IsSupported(PixelIsa isa);
// The widest build the processor runs.
PixelIsa BestPixelIsa();

// Decodes n pixels of four phase blocks (each pixel a little-endian uint16 tap A and tap B)
// into depth, IR and confidence. A depth still negative after the wrap becomes 0. The build
// must be supported.
void DecodeRawPixels(const uint8_t* const phase[4], size_t n, const RawPixelParams& params, uint16_t* depth,
                     uint16_t* ir, uint16_t* confidence, PixelIsa isa = BestPixelIsa());

// Replaces each depth d by table[d]; indexes beyond the table take its last entry.
void ApplyRangeOffset(uint16_t* depth, size_t n, const uint16_t* table, size_t tableLength);

// Moves each depth by the whole number of maxDepth periods that brings it nearest the
// reference; a pixel still more than 124.9 mm away becomes invalid (0xFFFF). Pixels whose
// reference is 0 stay. maxDepth must be positive.
void UnwrapAgainstReference(uint16_t* depth, const uint16_t* reference, size_t n, int maxDepth);

// Converts 16-bit IR to 8 bits in place: min(255, (v * (gain & 0xFF)) >> 10).
void ConvertIrTo8Bit(uint8_t* data, size_t n, int gain);

}  // namespace tofdecode
