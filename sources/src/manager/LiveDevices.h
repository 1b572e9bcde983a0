#pragma once
#include <memory>
#include <vector>

#include "BaseDevice.h"
#include "Mutex.h"

// The device objects that the manager's camera records point at. Its own short lock lets
// the handle check run while a main-loop pass holds the device-list lock through its
// heartbeats. A device leaves with its record's pointer; whoever holds it from Acquire
// keeps it alive until that call is done.
class LiveDevices {
public:
    // Takes the device; the pointer returned is the one a record holds.
    BaseDevice* Add(std::shared_ptr<BaseDevice> device) EXCLUDES(m_lock);
    bool Contains(const BaseDevice* device) const EXCLUDES(m_lock);
    // Null when the device is not (or no longer) held.
    std::shared_ptr<BaseDevice> Acquire(const BaseDevice* device) const EXCLUDES(m_lock);
    // Unlinks the device; the last holder of the result deletes it.
    std::shared_ptr<BaseDevice> Remove(const BaseDevice* device) EXCLUDES(m_lock);
    std::vector<std::shared_ptr<BaseDevice>> RemoveAll() EXCLUDES(m_lock);

private:
    mutable Mutex m_lock;
    std::vector<std::shared_ptr<BaseDevice>> m_devices GUARDED_BY(m_lock);
};
