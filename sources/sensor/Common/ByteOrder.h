#pragma once
#include <cstdint>

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

}  // namespace byteorder
