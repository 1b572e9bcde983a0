#pragma once
#include <memory>

#include "BaseDevice.h"
#include "DeviceInfo.h"

// The device object of a camera record: loads the plug-ins that the record's product
// profile names from the driver list and builds the transport and the device class. Null
// when the profile names no ToF module, no ToF plug-in loads, or the link is not a socket.
std::unique_ptr<BaseDevice> CreateDevice(DeviceInfo& info);
