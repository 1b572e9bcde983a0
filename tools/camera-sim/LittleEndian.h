// Little-endian integers and IEEE 754 values as the camera's wire carries them, byte by
// byte so that the result does not depend on the machine the simulator runs on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace camsim {

// The low `width` bytes of `value`, least significant first.
inline void PutLe(uint8_t* at, uint64_t value, size_t width) {
    for (size_t i = 0; i < width; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

inline uint64_t GetLe(const uint8_t* at, size_t width) {
    uint64_t value = 0;
    for (size_t i = width; i-- > 0;) value = (value << 8) | at[i];
    return value;
}

inline void PutLe16(uint8_t* at, uint16_t value) { PutLe(at, value, 2); }
inline void PutLe24(uint8_t* at, uint32_t value) { PutLe(at, value, 3); }
inline void PutLe32(uint8_t* at, uint32_t value) { PutLe(at, value, 4); }
inline void PutLe64(uint8_t* at, uint64_t value) { PutLe(at, value, 8); }

inline uint16_t GetLe16(const uint8_t* at) { return static_cast<uint16_t>(GetLe(at, 2)); }
inline uint32_t GetLe32(const uint8_t* at) { return static_cast<uint32_t>(GetLe(at, 4)); }
inline uint64_t GetLe64(const uint8_t* at) { return GetLe(at, 8); }

// Writes at `offset`, growing `out` when it is shorter.
inline void PutLe16(std::vector<uint8_t>& out, size_t offset, uint16_t value) {
    if (out.size() < offset + 2) out.resize(offset + 2);
    PutLe16(out.data() + offset, value);
}

inline void PutLe32(std::vector<uint8_t>& out, size_t offset, uint32_t value) {
    if (out.size() < offset + 4) out.resize(offset + 4);
    PutLe32(out.data() + offset, value);
}

inline void AppendLe32(std::vector<uint8_t>& out, uint32_t value) { PutLe32(out, out.size(), value); }

inline void AppendLe64(std::vector<uint8_t>& out, uint64_t value) {
    const size_t at = out.size();
    out.resize(at + 8);
    PutLe64(out.data() + at, value);
}

// Floats and doubles travel as their IEEE 754 bit patterns.
inline uint32_t FloatBits(float value) {
    static_assert(sizeof(float) == 4, "a float travels as 32 bits");
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof(bits));
    return bits;
}

inline float FloatFromBits(uint32_t bits) {
    float value = 0;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
}

inline void AppendLeDoubles(std::vector<uint8_t>& out, const double* values, size_t count) {
    static_assert(sizeof(double) == 8, "a double travels as 64 bits");
    for (size_t i = 0; i < count; ++i) {
        uint64_t bits = 0;
        std::memcpy(&bits, &values[i], sizeof(bits));
        AppendLe64(out, bits);
    }
}

inline void GetLeDoubles(const uint8_t* at, double* values, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const uint64_t bits = GetLe64(at + 8 * i);
        std::memcpy(&values[i], &bits, sizeof(bits));
    }
}

}  // namespace camsim
