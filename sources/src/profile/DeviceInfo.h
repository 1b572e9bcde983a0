#pragma once
#include <cstdint>

#include "DeviceTypeConfig.h"
#include "QlTypes.h"

class BaseDevice;

// One known camera in the manager's list, which owns it. Texts are NUL-terminated within
// their fields; a new record is zeroed, available, without a device and with no event. The
// names are as wide as the public QlDeviceInfo's fields; the addresses hold an IPv4 text.
struct DeviceInfo {
    int32_t deviceType = 0;
    char productName[64] = {};
    char uri[256] = {};
    char alias[64] = {};
    char serialNumber[64] = {};
    char ip[16] = {};
    char hostIP[16] = {};
    char subnetMask[16] = {};
    char ifName[256] = {};
    bool sameSubnet = false;
    int32_t ifIndex = 0;
    QlDeviceStatus status = QlDeviceAvailable;
    DeviceTypeConfig config;
    BaseDevice* device = nullptr;  // deleted by closing the device, never with the record
    int32_t heartBeatMissCount = 0;
    int32_t missCount = 0;
    int32_t pendingEvent = -1;   // -1 none, 0 an appearance to report, 1 a loss to report
    int32_t reportedEvent = -1;  // -1 none yet, 0 last reported an appearance, 1 a loss
};
