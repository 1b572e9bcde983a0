#include "HandleRegistry.h"

#include <algorithm>
#include <vector>

#include "BaseDevice.h"
#include "StatusCodes.h"
#include "log.h"

namespace {

// The leases this thread is inside, innermost last.
thread_local std::vector<const void*> t_uses;

uint64_t IdOf(QlDeviceHandle handle) { return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(handle)); }

QlDeviceHandle HandleOf(uint64_t id) { return reinterpret_cast<QlDeviceHandle>(static_cast<uintptr_t>(id)); }

}  // namespace

QlDeviceHandle HandleRegistry::Add(BaseDevice* device) {
    LockGuard lock(m_mutex);
    std::shared_ptr<Lease>& lease = m_live[device];
    if (!lease) lease = std::make_shared<Lease>(device);
    const uint64_t id = m_nextId++;
    m_cells.emplace(id, lease);
    return HandleOf(id);
}

int HandleRegistry::Acquire(QlDeviceHandle handle, Use& use) {
    if (handle == nullptr) {
        LOG_PRINTF("handle is null");
        return status::kNullHandle;
    }
    LockGuard lock(m_mutex);
    const auto cell = m_cells.find(IdOf(handle));
    if (cell == m_cells.end() || !cell->second->live) {
        LOG_PRINTF("handle:%p is not in the device list", static_cast<void*>(handle));
        return status::kInvalidParameter;
    }
    ++cell->second->inFlight;
    t_uses.push_back(cell->second.get());
    use.m_registry = this;
    use.m_lease = cell->second;
    return 0;
}

HandleRegistry::Use::~Use() {
    if (m_registry) m_registry->Leave(m_lease);
}

void HandleRegistry::Leave(const std::shared_ptr<Lease>& lease) {
    std::shared_ptr<BaseDevice> orphan;
    {
        LockGuard lock(m_mutex);
        --lease->inFlight;
        t_uses.pop_back();
        if (lease->inFlight == 0) orphan = std::move(lease->orphan);
    }
    m_left.notify_all();
    // Destroyed outside the lock: its threads are joined.
    orphan.reset();
}

int HandleRegistry::OwnUses(const Lease* lease) {
    return static_cast<int>(std::count(t_uses.begin(), t_uses.end(), lease));
}

int HandleRegistry::Close(QlDeviceHandle handle, const Unlink& unlink) {
    UniqueLock lock(m_mutex);
    const auto cell = m_cells.find(IdOf(handle));
    if (cell == m_cells.end()) {
        LOG_PRINTF("handle:%p is not in the device list", static_cast<void*>(handle));
        return status::kInvalidParameter;
    }
    const std::shared_ptr<Lease> lease = cell->second;
    m_cells.erase(cell);
    // A device closed through another handle is gone already.
    if (lease->live) Retire(lock, lease, unlink);
    return 0;
}

void HandleRegistry::CloseAll(const Unlink& unlink) {
    UniqueLock lock(m_mutex);
    m_cells.clear();
    while (!m_live.empty()) {
        const std::shared_ptr<Lease> lease = m_live.begin()->second;  // Retire erases the entry
        Retire(lock, lease, unlink);
    }
}

// Not analysed: it lets go of and retakes the caller's lock, which the analysis cannot follow.
void HandleRegistry::Retire(UniqueLock& lock, const std::shared_ptr<Lease>& lease,
                            const Unlink& unlink) NO_THREAD_SAFETY_ANALYSIS {
    lease->live = false;  // no new call enters
    m_live.erase(lease->device);
    lock.unlock();
    std::shared_ptr<BaseDevice> device = unlink(lease->device);
    // Wakes a frame-ready query that another thread waits in.
    if (device) device->Close();
    lock.lock();
    const int own = OwnUses(lease.get());
    m_left.wait(lock.Native(), [&] { return lease->inFlight == own; });
    if (own > 0) {
        lease->orphan = std::move(device);
        return;
    }
    lock.unlock();
    device.reset();
    lock.lock();
}
