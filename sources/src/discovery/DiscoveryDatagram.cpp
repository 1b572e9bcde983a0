#include "DiscoveryDatagram.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t kIpOffset = 5;
constexpr size_t kTypeOffset = 21;
constexpr size_t kSnOffset = 22;
constexpr size_t kStateOffset = 52;
constexpr size_t kPeerIpOffset = 53;
constexpr size_t kAliasOffset = 69;

// Copies a text field up to its first NUL or its width; the target holds width + 1 bytes.
void CopyText(const uint8_t* bytes, size_t offset, size_t width, char* out) {
    const auto* start = reinterpret_cast<const char*>(bytes + offset);
    const size_t length = strnlen(start, width);
    std::memcpy(out, start, length);
    out[length] = '\0';
}

}  // namespace

DiscoveryDatagram ParseDiscoveryDatagram(const uint8_t* data, size_t size) {
    uint8_t bytes[DiscoveryDatagram::kSize] = {};
    if (data != nullptr) std::memcpy(bytes, data, std::min(size, sizeof(bytes)));
    DiscoveryDatagram d;
    d.header = bytes[0];
    d.bcc = bytes[1];
    d.len = bytes[2];
    d.tof = static_cast<int8_t>(bytes[3]);
    d.rgb = static_cast<int8_t>(bytes[4]);
    CopyText(bytes, kIpOffset, DiscoveryDatagram::kIpWidth, d.ip);
    d.deviceType = bytes[kTypeOffset];
    CopyText(bytes, kSnOffset, DiscoveryDatagram::kSnWidth, d.sn);
    d.camerastate = static_cast<int8_t>(bytes[kStateOffset]);
    CopyText(bytes, kPeerIpOffset, DiscoveryDatagram::kIpWidth, d.peerip);
    CopyText(bytes, kAliasOffset, DiscoveryDatagram::kAliasWidth, d.alias);
    return d;
}
