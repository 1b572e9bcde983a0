#include "HeartbeatWorkers.h"

#include <algorithm>
#include <chrono>

#include "StoppableThread.h"

namespace {

// How often an idle worker looks whether its thread is asked to end.
constexpr std::chrono::milliseconds kIdleCheck{100};

}  // namespace

class HeartbeatWorkers::Worker : public StoppableThread {
public:
    explicit Worker(HeartbeatWorkers& owner) : StoppableThread("Heartbeat"), m_owner(owner) {}
    ~Worker() override {
        Stop();
        Join();
    }

protected:
    void Run() override { m_owner.Work(*this); }

private:
    HeartbeatWorkers& m_owner;
};

HeartbeatWorkers::HeartbeatWorkers() = default;

HeartbeatWorkers::~HeartbeatWorkers() {
    Stop();
    // Joined outside the lock: a worker ends its job, and that takes the lock.
    std::vector<std::unique_ptr<Worker>> workers;
    {
        LockGuard lock(m_lock);
        workers.swap(m_workers);
    }
    workers.clear();
}

void HeartbeatWorkers::RunAll(std::vector<std::function<void()>> jobs) {
    UniqueLock lock(m_lock);
    if (m_stopping) return;
    const size_t wanted = std::min(kMaxWorkers, jobs.size());
    while (m_workers.size() < wanted) {
        m_workers.push_back(std::make_unique<Worker>(*this));
        m_workers.back()->Start();
    }
    for (auto& job : jobs) m_jobs.push_back(std::move(job));
    m_work.notify_all();
    m_done.wait(lock.Native(), [this]() REQUIRES(m_lock) { return m_jobs.empty() && m_running == 0; });
}

void HeartbeatWorkers::Stop() {
    LockGuard lock(m_lock);
    m_stopping = true;
    m_jobs.clear();
    for (const auto& worker : m_workers) worker->Stop();
    m_work.notify_all();
    m_done.notify_all();
}

void HeartbeatWorkers::Work(const Worker& worker) {
    UniqueLock lock(m_lock);
    while (worker.IsRunning()) {
        if (m_jobs.empty()) {
            m_work.wait_for(lock.Native(), kIdleCheck);
            continue;
        }
        std::function<void()> job = std::move(m_jobs.front());
        m_jobs.pop_front();
        ++m_running;
        lock.unlock();
        job();
        lock.lock();
        --m_running;
        m_done.notify_all();
    }
}
