#pragma once
#include "DeviceInfo.h"
#include "QlTypes.h"

// The application's view of a camera record: texts zero-filled and NUL-terminated.
QlDeviceInfo ToQlDeviceInfo(const DeviceInfo& record);
