#pragma once
#include <cstdint>
#include <string>

// USB identifiers of one HID device.
struct HidrawIds {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
};

// Asks a hidraw node for its raw HID information. The node is opened non-blocking (a busy
// or odd node must not hold up the watcher) and closed again on every path; false when it
// cannot be opened or is no hidraw node.
bool ReadHidrawIds(const std::string& nodePath, HidrawIds* ids);
