#pragma once
#include <cstdint>

// Little-endian fields of the camera's records, read from unaligned positions.
namespace byteorder {

inline uint32_t GetLe16(const uint8_t* at) { return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8; }

inline uint32_t GetLe24(const uint8_t* at) { return GetLe16(at) | static_cast<uint32_t>(at[2]) << 16; }

inline uint32_t GetLe32(const uint8_t* at) { return GetLe24(at) | static_cast<uint32_t>(at[3]) << 24; }

inline uint64_t GetLe64(const uint8_t* at) {
    return static_cast<uint64_t>(GetLe32(at)) | static_cast<uint64_t>(GetLe32(at + 4)) << 32;
}

}  // namespace byteorder
