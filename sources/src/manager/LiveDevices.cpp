#include "LiveDevices.h"

#include <algorithm>

BaseDevice* LiveDevices::Add(std::shared_ptr<BaseDevice> device) {
    BaseDevice* held = device.get();
    LockGuard lock(m_lock);
    m_devices.push_back(std::move(device));
    return held;
}

bool LiveDevices::Contains(const BaseDevice* device) const { return Acquire(device) != nullptr; }

std::shared_ptr<BaseDevice> LiveDevices::Acquire(const BaseDevice* device) const {
    if (device == nullptr) return nullptr;
    LockGuard lock(m_lock);
    for (const auto& held : m_devices) {
        if (held.get() == device) return held;
    }
    return nullptr;
}

std::shared_ptr<BaseDevice> LiveDevices::Remove(const BaseDevice* device) {
    LockGuard lock(m_lock);
    const auto found = std::find_if(m_devices.begin(), m_devices.end(),
                                    [device](const std::shared_ptr<BaseDevice>& held) { return held.get() == device; });
    if (found == m_devices.end()) return nullptr;
    std::shared_ptr<BaseDevice> removed = std::move(*found);
    m_devices.erase(found);
    return removed;
}

std::vector<std::shared_ptr<BaseDevice>> LiveDevices::RemoveAll() {
    std::vector<std::shared_ptr<BaseDevice>> all;
    LockGuard lock(m_lock);
    all.swap(m_devices);
    return all;
}
