#pragma once
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

// Runs the heartbeats of one pass side by side, so that a pass waits one reply time-out
// however many cameras are silent. Workers are made as the passes need them, at most
// kMaxWorkers, kept for the passes that follow, and stopped and joined with their owner.
class HeartbeatWorkers {
public:
    // More silent cameras than this wait a further reply time-out each kMaxWorkers.
    static constexpr size_t kMaxWorkers = 32;

    HeartbeatWorkers();
    // Stops, then joins every worker.
    ~HeartbeatWorkers();
    HeartbeatWorkers(const HeartbeatWorkers&) = delete;
    HeartbeatWorkers& operator=(const HeartbeatWorkers&) = delete;

    // Runs every job and returns once each has run, or, after Stop, once the jobs under way
    // have ended (the others are dropped). One caller at a time.
    void RunAll(std::vector<std::function<void()>> jobs);
    // Drops the jobs not begun and ends the workers after the job in hand; RunAll runs
    // nothing from then on. May be called from a job.
    void Stop();

private:
    class Worker;
    // A worker's loop: takes jobs until its thread is asked to end.
    void Work(const Worker& worker);

    std::mutex m_lock;
    std::condition_variable m_work;  // a job is queued, or the workers are to end
    std::condition_variable m_done;  // a job has ended
    std::deque<std::function<void()>> m_jobs;
    size_t m_running = 0;
    bool m_stopping = false;
    std::vector<std::unique_ptr<Worker>> m_workers;
};
