#pragma once
#include <cstdint>
#include <cstring>
#include <limits>

// The camera's wire and records are little-endian; fields sit at unaligned positions.
namespace byteorder {

inline uint32_t GetLe16(const uint8_t* at) { return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8; }

inline uint32_t GetLe24(const uint8_t* at) { return GetLe16(at) | static_cast<uint32_t>(at[2]) << 16; }

inline uint32_t GetLe32(const uint8_t* at) { return GetLe24(at) | static_cast<uint32_t>(at[3]) << 24; }

inline uint64_t GetLe64(const uint8_t* at) {
    return static_cast<uint64_t>(GetLe32(at)) | static_cast<uint64_t>(GetLe32(at + 4)) << 32;
}

inline void PutLe16(uint8_t* at, uint32_t value) {
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

inline void PutLe32(uint8_t* at, uint32_t value) {
    PutLe16(at, value);
    PutLe16(at + 2, value >> 16);
}

inline void PutLe64(uint8_t* at, uint64_t value) {
    PutLe32(at, static_cast<uint32_t>(value));
    PutLe32(at + 4, static_cast<uint32_t>(value >> 32));
}

// Floats and doubles travel as the bits of the unsigned integer of their width.
static_assert(std::numeric_limits<float>::is_iec559 && sizeof(float) == sizeof(uint32_t), "float is IEEE binary32");
static_assert(std::numeric_limits<double>::is_iec559 && sizeof(double) == sizeof(uint64_t), "double is IEEE binary64");

inline float GetLeFloat(const uint8_t* at) {
    const uint32_t bits = GetLe32(at);
    float value;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
}

inline double GetLeDouble(const uint8_t* at) {
    const uint64_t bits = GetLe64(at);
    double value;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
}

inline void PutLeFloat(uint8_t* at, float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof(bits));
    PutLe32(at, bits);
}

inline void PutLeDouble(uint8_t* at, double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof(bits));
    PutLe64(at, bits);
}

}  // namespace byteorder
