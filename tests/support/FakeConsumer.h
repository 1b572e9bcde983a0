#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "Consumer.h"

namespace testsupport {

// Records every frame-ready notice a plug-in gives.
class FakeConsumer : public Consumer {
public:
    int SetSingleFrameReady(HasFrameType bits) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_notices.push_back(bits);
        m_cond.notify_all();
        return 0;
    }
    std::vector<HasFrameType> Notices() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_notices;
    }
    // Waits until at least count notices came, or the time-out passed; true when they came.
    bool WaitForNotices(size_t count, std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_cond.wait_for(lock, timeout, [&] { return m_notices.size() >= count; });
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cond;
    std::vector<HasFrameType> m_notices;
};

}  // namespace testsupport
