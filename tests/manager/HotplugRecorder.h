#pragma once
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "QlTypes.h"

namespace managertest {

// The application's hot-plug callback: keeps every report it gets.
class HotplugRecorder {
public:
    struct Entry {
        std::string serialNumber;
        int message;
        int status;
    };

    // The callback; the user pointer is the recorder.
    static void Callback(const QlDeviceInfo* info, int message, void* recorder);

    std::vector<Entry> Entries() const;
    // The reports of one kind; reports run on threads of their own, in no fixed order.
    std::vector<Entry> Of(int message) const;
    // Waits until this many reports arrived; false when they did not within the bound.
    bool WaitFor(size_t count, std::chrono::milliseconds bound = std::chrono::seconds(10)) const;

private:
    mutable std::mutex m_lock;
    mutable std::condition_variable m_arrived;
    std::vector<Entry> m_entries;
};

}  // namespace managertest
