// A firmware image as the camera's file format lays it out: a 512-byte little-endian header,
// then the payload.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace apie2e {

inline std::string FirmwareImage(const std::string& date, uint8_t version, uint8_t productGroup, size_t payloadSize) {
    std::string payload(payloadSize, '\0');
    uint32_t payloadSum = 0;
    for (size_t i = 0; i < payloadSize; ++i) {
        payload[i] = static_cast<char>(i * 7 + i / 251);
        payloadSum += static_cast<uint8_t>(payload[i]);
    }
    std::string head(512, '\0');
    head[0] = static_cast<char>(productGroup);
    head.replace(2, date.size(), date);
    head[11] = static_cast<char>(version);
    const uint64_t length = head.size() + payload.size();
    for (int i = 0; i < 8; ++i) head[12 + i] = static_cast<char>(length >> (8 * i));
    for (int i = 0; i < 4; ++i) head[20 + i] = static_cast<char>(payloadSum >> (8 * i));
    return head + payload;
}

// The simulated camera runs "SIMFW_20260101_V10"; type 0x11 belongs to product group 11.
inline std::string ImageForTheCamera(size_t payloadSize = 200000) {
    return FirmwareImage("20260101", 10, 11, payloadSize);
}

}  // namespace apie2e
