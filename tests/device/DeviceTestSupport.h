#pragma once
#include <cstring>

#include "DeviceInfo.h"

namespace devicetest {

// A field of a packed record by value: the test macros bind references, which a packed
// field cannot give.
template <typename T>
T Unpacked(T field) {
    return field;
}

// A camera record as discovery would fill it for a camera on 127.0.0.2.
inline DeviceInfo MakeDeviceInfo(const char* serial = "SN01") {
    DeviceInfo info;
    std::strncpy(info.serialNumber, serial, sizeof(info.serialNumber) - 1);
    std::strncpy(info.ip, "127.0.0.2", sizeof(info.ip) - 1);
    std::strncpy(info.hostIP, "127.0.0.1", sizeof(info.hostIP) - 1);
    return info;
}

}  // namespace devicetest
