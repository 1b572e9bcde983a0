#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// The decode formula written out literally, pixel by pixel, as the reference the decoder must
// equal bit for bit (built with -ffp-contract=off, like the decoder).
namespace oracle {

struct RawInput {
    const uint8_t* payload;  // after the record head
    bool binned;
    int range;
    int maxDepth;  // 0: no wrap
    bool temperatureOffset;
    const std::vector<uint16_t>* background;   // null: none
    const std::vector<uint16_t>* offsetTable;  // null: none
};

struct Planes {
    std::vector<uint16_t> depth;
    std::vector<uint16_t> ir;
    std::vector<uint16_t> confidence;
};

float Atan2(float y, float x);
int TemperatureOffset(const uint8_t* payload, bool binned, int range);
Planes DecodeRaw(const RawInput& input);
// The fusion of a second-range depth against the first range's reference.
uint16_t Unwrap(uint16_t cur, uint16_t ref, int maxDepth);
uint8_t Ir8(uint16_t value, int gain);

}  // namespace oracle
