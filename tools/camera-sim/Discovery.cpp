#include "Discovery.h"

#include <algorithm>

namespace camsim {

namespace {

constexpr size_t kHeaderOffset = 0;
constexpr size_t kBccOffset = 1;
constexpr size_t kLenOffset = 2;
constexpr size_t kTofOffset = 3;
constexpr size_t kRgbOffset = 4;
constexpr size_t kIpOffset = 5;
constexpr size_t kIpWidth = 16;
constexpr size_t kDeviceTypeOffset = 21;
constexpr size_t kSerialOffset = 22;
constexpr size_t kSerialWidth = 30;
constexpr size_t kStateOffset = 52;
constexpr size_t kPeerIpOffset = 53;
constexpr size_t kAliasOffset = 69;
constexpr size_t kAliasWidth = 20;

void PutText(DiscoveryDatagram& datagram, size_t offset, size_t width, const std::string& text) {
    const size_t length = std::min(text.size(), width - 1);
    std::copy(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(length), datagram.begin() + offset);
}

}  // namespace

DiscoveryDatagram BuildDiscoveryDatagram(const DiscoveryInfo& info) {
    DiscoveryDatagram datagram{};
    datagram[kHeaderOffset] = info.header;
    datagram[kLenOffset] = info.len;
    datagram[kTofOffset] = static_cast<uint8_t>(info.tof);
    datagram[kRgbOffset] = static_cast<uint8_t>(info.rgb);
    PutText(datagram, kIpOffset, kIpWidth, info.ip);
    datagram[kDeviceTypeOffset] = info.deviceType;
    PutText(datagram, kSerialOffset, kSerialWidth, info.serialNumber);
    datagram[kStateOffset] = static_cast<uint8_t>(info.state);
    PutText(datagram, kPeerIpOffset, kIpWidth, info.peerIp);
    PutText(datagram, kAliasOffset, kAliasWidth, info.alias);
    uint8_t bcc = 0;
    for (size_t i = 0; i < datagram.size(); ++i) {
        if (i != kBccOffset) {
            bcc ^= datagram[i];
        }
    }
    datagram[kBccOffset] = bcc;
    return datagram;
}

}  // namespace camsim
