#include "HotplugRecorder.h"

namespace managertest {

void HotplugRecorder::Callback(const QlDeviceInfo* info, int message, void* recorder) {
    auto* self = static_cast<HotplugRecorder*>(recorder);
    std::lock_guard<std::mutex> lock(self->m_lock);
    self->m_entries.push_back({info->serialNumber, message, info->status});
    self->m_arrived.notify_all();
}

std::vector<HotplugRecorder::Entry> HotplugRecorder::Entries() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_entries;
}

std::vector<HotplugRecorder::Entry> HotplugRecorder::Of(int message) const {
    std::vector<Entry> of;
    for (const Entry& e : Entries()) {
        if (e.message == message) of.push_back(e);
    }
    return of;
}

bool HotplugRecorder::WaitFor(size_t count, std::chrono::milliseconds bound) const {
    std::unique_lock<std::mutex> lock(m_lock);
    return m_arrived.wait_for(lock, bound, [&] { return m_entries.size() >= count; });
}

}  // namespace managertest
