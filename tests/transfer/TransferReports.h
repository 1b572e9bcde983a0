#pragma once
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

namespace transfertest {

using Report = std::pair<int, int>;

// What the application's callback saw, and the end of the transfer.
class Reports {
public:
    static void Callback(int status, int params, void* user) { static_cast<Reports*>(user)->Add(status, params); }

    void Add(int status, int params) {
        std::function<void(Report)> hook;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_reports.emplace_back(status, params);
            hook = onReport;
        }
        m_changed.notify_all();
        if (hook) hook({status, params});
    }
    void Ended() {
        {
            std::lock_guard<std::mutex> guard(m_lock);
            ++m_ended;
        }
        m_changed.notify_all();
    }
    bool WaitEnded() {
        return WaitFor([this] { return m_ended > 0; });
    }
    bool WaitReport(Report r) {
        return WaitFor([&] {
            for (const Report& got : m_reports)
                if (got == r) return true;
            return false;
        });
    }
    std::vector<Report> Got() const {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_reports;
    }
    int EndedCount() const {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_ended;
    }
    void Reset() {
        std::lock_guard<std::mutex> guard(m_lock);
        m_reports.clear();
        m_ended = 0;
    }
    // Set before the worker starts.
    std::function<void(Report)> onReport;

private:
    template <typename Pred>
    bool WaitFor(Pred pred) {
        std::unique_lock<std::mutex> lock(m_lock);
        return m_changed.wait_for(lock, std::chrono::seconds(10), pred);
    }

    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<Report> m_reports;
    int m_ended = 0;
};

}  // namespace transfertest
