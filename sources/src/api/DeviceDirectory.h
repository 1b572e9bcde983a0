#pragma once
#include <cstdint>
#include <memory>

#include "Torvane_api.h"

class BaseDevice;

// Where the API finds cameras and their devices: the device manager in the kit, a fake in
// tests. Results are internal statuses.
class DeviceDirectory {
public:
    enum class Key { IP, URI, Alias };

    virtual ~DeviceDirectory() = default;
    virtual uint32_t GetCameraCount() = 0;
    virtual int GetDeviceInfoList(QlDeviceInfo* list, uint32_t count) = 0;
    virtual int GetDeviceInfo(QlDeviceInfo* info, uint32_t index) = 0;
    // The keys that need no device.
    virtual int GetProperty(const char* key, void* data, int dataSize) = 0;
    virtual void SetHotPlugStatusCallback(QlHotPlugStatusCallback callback, const void* userData) = 0;
    // The device of the camera named by `text`, opened; null with `status` set otherwise.
    virtual BaseDevice* Open(Key key, const char* text, int& status) = 0;
    // True when the camera named by URI or alias is open already.
    virtual bool IsOpened(Key key, const char* text) = 0;
    // Takes the device out of the camera list; the caller drops it outside every list lock
    // (the last holder destroys it). Null when the list no longer holds it.
    virtual std::shared_ptr<BaseDevice> Unlink(BaseDevice* device) = 0;
};
