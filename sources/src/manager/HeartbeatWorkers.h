#pragma once
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

#include "Mutex.h"

// Runs the heartbeats of one pass side by side, so that a pass waits one reply time-out
// however many cameras are silent. Workers are made as the passes need them, at most
// kMaxWorkers, kept for the passes that follow, and stopped and joined with their owner.
class HeartbeatWorkers {
public:
    // More silent cameras than this wait a further reply time-out each kMaxWorkers.
    static constexpr size_t kMaxWorkers = 32;

    HeartbeatWorkers();
    // Stops, then joins every worker.
    ~HeartbeatWorkers() EXCLUDES(m_lock);
    HeartbeatWorkers(const HeartbeatWorkers&) = delete;
    HeartbeatWorkers& operator=(const HeartbeatWorkers&) = delete;

    // Runs every job and returns once each has run, or, after Stop, once the jobs under way
    // have ended (the others are dropped). One caller at a time.
    void RunAll(std::vector<std::function<void()>> jobs) EXCLUDES(m_lock);
    // Drops the jobs not begun and ends the workers after the job in hand; RunAll runs
    // nothing from then on. May be called from a job.
    void Stop() EXCLUDES(m_lock);

private:
    class Worker;
    // A worker's loop: takes jobs until its thread is asked to end.
    void Work(const Worker& worker) EXCLUDES(m_lock);

    Mutex m_lock;
    std::condition_variable m_work;  // a job is queued, or the workers are to end
    std::condition_variable m_done;  // a job has ended
    std::deque<std::function<void()>> m_jobs GUARDED_BY(m_lock);
    size_t m_running GUARDED_BY(m_lock) = 0;
    bool m_stopping GUARDED_BY(m_lock) = false;
    std::vector<std::unique_ptr<Worker>> m_workers GUARDED_BY(m_lock);
};
