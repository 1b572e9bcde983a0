#pragma once
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// A discovery datagram as a camera sends it.
struct DatagramBytes {
    std::vector<uint8_t> bytes = std::vector<uint8_t>(89, 0);
    DatagramBytes& Text(size_t offset, size_t width, const std::string& text) {
        std::memcpy(bytes.data() + offset, text.data(), text.size() < width ? text.size() : width);
        return *this;
    }
    DatagramBytes& Ip(const std::string& ip) { return Text(5, 16, ip); }
    DatagramBytes& Type(uint8_t type) {
        bytes[21] = type;
        return *this;
    }
    DatagramBytes& Sn(const std::string& sn) { return Text(22, 30, sn); }
    DatagramBytes& State(int8_t state) {
        bytes[52] = static_cast<uint8_t>(state);
        return *this;
    }
    DatagramBytes& PeerIp(const std::string& ip) { return Text(53, 16, ip); }
    DatagramBytes& Alias(const std::string& alias) { return Text(69, 20, alias); }
};
