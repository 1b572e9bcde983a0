#pragma once
#include <cstddef>
#include <cstdint>

// What a camera broadcasts to port 9007. Texts are copied within their field widths and
// always NUL-terminated here, whatever the camera sent.
struct DiscoveryDatagram {
    static constexpr size_t kSize = 89;
    static constexpr size_t kIpWidth = 16;
    static constexpr size_t kSnWidth = 30;
    static constexpr size_t kAliasWidth = 20;

    uint8_t header = 0;
    uint8_t bcc = 0;
    uint8_t len = 0;
    int8_t tof = 0;
    int8_t rgb = 0;
    char ip[kIpWidth + 1] = {};
    uint8_t deviceType = 0;
    char sn[kSnWidth + 1] = {};
    int8_t camerastate = 0;
    char peerip[kIpWidth + 1] = {};
    char alias[kAliasWidth + 1] = {};
};

// A shorter datagram reads as if padded with zeros; bytes after the 89th are ignored.
DiscoveryDatagram ParseDiscoveryDatagram(const uint8_t* data, size_t size);
