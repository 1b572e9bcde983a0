#include "ManagerDirectory.h"

#include "BaseDevice.h"
#include "DeviceManager.h"

uint32_t ManagerDirectory::GetCameraCount() { return m_manager.GetCameraCount(); }

int ManagerDirectory::GetDeviceInfoList(QlDeviceInfo* list, uint32_t count) {
    return m_manager.GetDeviceInfoList(list, count);
}

int ManagerDirectory::GetDeviceInfo(QlDeviceInfo* info, uint32_t index) { return m_manager.GetDeviceInfo(info, index); }

int ManagerDirectory::GetProperty(const char* key, void* data, int dataSize) {
    return m_manager.GetProperty(key, data, dataSize);
}

void ManagerDirectory::SetHotPlugStatusCallback(QlHotPlugStatusCallback callback, const void* userData) {
    m_manager.SetHotPlugStatusCallback(callback, userData);
}

BaseDevice* ManagerDirectory::Open(Key key, const char* text, int& status) {
    switch (key) {
        case Key::IP: return m_manager.OpenDeviceByIP(text, status);
        case Key::URI: return m_manager.OpenDeviceByURI(text, status);
        case Key::Alias: return m_manager.OpenDeviceByAlias(text, status);
    }
    return nullptr;
}

bool ManagerDirectory::IsOpened(Key key, const char* text) {
    return key == Key::URI ? m_manager.checkOpenedByURI(text) : m_manager.checkOpenedByAlias(text);
}

std::shared_ptr<BaseDevice> ManagerDirectory::Unlink(BaseDevice* device) {
    // Held across the release, so the device outlives it until the caller drops it.
    std::shared_ptr<BaseDevice> held = m_manager.AcquireDevice(device);
    m_manager.ReleaseDevice(device);
    return held;
}
