#pragma once
#include "DeviceDirectory.h"

class DeviceManager;

// The API's camera list in the kit: the device manager's.
class ManagerDirectory : public DeviceDirectory {
public:
    explicit ManagerDirectory(DeviceManager& manager) : m_manager(manager) {}

    uint32_t GetCameraCount() override;
    int GetDeviceInfoList(QlDeviceInfo* list, uint32_t count) override;
    int GetDeviceInfo(QlDeviceInfo* info, uint32_t index) override;
    int GetProperty(const char* key, void* data, int dataSize) override;
    void SetHotPlugStatusCallback(QlHotPlugStatusCallback callback, const void* userData) override;
    BaseDevice* Open(Key key, const char* text, int& status) override;
    bool IsOpened(Key key, const char* text) override;
    std::shared_ptr<BaseDevice> Unlink(BaseDevice* device) override;

private:
    DeviceManager& m_manager;
};
