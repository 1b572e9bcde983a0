#pragma once
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>

#include "Mutex.h"
#include "Torvane_api.h"

class BaseDevice;

// The live handles of the application and a lifetime guard on their devices.
//
// A handle is an opaque token that names one cell by a per-open instance id; ids are never
// reused, so a closed, copied or made-up handle finds no cell and is refused instead of being
// followed. Several cells may share one device (a camera opened twice). Each call on a device
// holds a use taken under the registry lock; closing the device waits until every other
// thread's use has left before it is destroyed. A close from inside a call on that same
// device (a callback on this thread) cannot wait for itself: the device then goes when that
// outermost call leaves.
class HandleRegistry {
public:
    // Hands a device's ownership from the camera list to the closer; null when the list no
    // longer holds it.
    using Unlink = std::function<std::shared_ptr<BaseDevice>(BaseDevice*)>;

    class Use;

    HandleRegistry() = default;
    HandleRegistry(const HandleRegistry&) = delete;
    HandleRegistry& operator=(const HandleRegistry&) = delete;

    // A new handle for a device that the camera list holds.
    QlDeviceHandle Add(BaseDevice* device) EXCLUDES(m_mutex);
    // 0 with the device held for the call; -3 for a null handle, -15 for one that names no live
    // device.
    int Acquire(QlDeviceHandle handle, Use& use) EXCLUDES(m_mutex);
    // Forgets the handle; the last close of a device unlinks, closes and destroys it. -15 when
    // the handle names no cell, else 0.
    int Close(QlDeviceHandle handle, const Unlink& unlink) EXCLUDES(m_mutex);
    // Closes every device and forgets every handle.
    void CloseAll(const Unlink& unlink) EXCLUDES(m_mutex);

private:
    // Its fields but the device are guarded by the registry's lock, which the analysis cannot
    // name from a nested type.
    struct Lease {
        explicit Lease(BaseDevice* d) : device(d) {}
        BaseDevice* const device;
        bool live = true;
        int inFlight = 0;
        std::shared_ptr<BaseDevice> orphan;  // closed from inside a call on this thread
    };

    void Retire(UniqueLock& lock, const std::shared_ptr<Lease>& lease, const Unlink& unlink) REQUIRES(m_mutex);
    void Leave(const std::shared_ptr<Lease>& lease) EXCLUDES(m_mutex);
    static int OwnUses(const Lease* lease);

    Mutex m_mutex;
    std::condition_variable m_left;
    uint64_t m_nextId GUARDED_BY(m_mutex) = 1;
    std::unordered_map<uint64_t, std::shared_ptr<Lease>> m_cells GUARDED_BY(m_mutex);
    std::unordered_map<BaseDevice*, std::shared_ptr<Lease>> m_live GUARDED_BY(m_mutex);
};

// A device held for one call; released when it goes.
class HandleRegistry::Use {
public:
    Use() = default;
    ~Use();
    Use(const Use&) = delete;
    Use& operator=(const Use&) = delete;

    BaseDevice& Device() const { return *m_lease->device; }

private:
    friend class HandleRegistry;
    HandleRegistry* m_registry = nullptr;
    std::shared_ptr<Lease> m_lease;
};
