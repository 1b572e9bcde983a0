#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace camsim {

constexpr size_t kDiscoveryDatagramSize = 89;
constexpr uint16_t kDiscoveryPort = 9007;

enum class AnnouncedState : int8_t {
    Normal = 0,
    Leaving = 2,
    UpgradeWaiting = 3,
};

struct DiscoveryInfo {
    uint8_t header = 0xAA;  // marks a camera's announcement
    uint8_t len = static_cast<uint8_t>(kDiscoveryDatagramSize);
    int8_t tof = 1;  // the camera has a ToF sensor
    int8_t rgb = 0;  // and no colour sensor
    std::string ip;  // the camera's address, e.g. "127.0.0.2"
    uint8_t deviceType = 0x11;
    std::string serialNumber;
    AnnouncedState state = AnnouncedState::Normal;
    std::string peerIp;
    std::string alias;
};

using DiscoveryDatagram = std::array<uint8_t, kDiscoveryDatagramSize>;

// Lays the announcement out at its fixed offsets. Texts longer than their field
// are cut so that each field keeps its terminating zero; bcc is the XOR of
// every other byte.
DiscoveryDatagram BuildDiscoveryDatagram(const DiscoveryInfo& info);

}  // namespace camsim
