#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>

#include "Frame.h"
#include "FramePool.h"
#include "Mutex.h"

// A bounded queue of ready frames over its own pool. When full, the oldest queued frame
// goes back to the pool, so a slow consumer always gets the newest images.
class FrameQueue {
public:
    // What Push answers on every path, a null frame included. A push cannot fail (a full queue
    // makes room by dropping its oldest frame), so the answer carries nothing and no caller
    // reads it; it stays -1, the value the queue has always given.
    static constexpr int kPushResult = -1;

    // A capacity of 0 is taken as 1: a queue that can hold nothing would drop every frame.
    FrameQueue(FrameType type, uint32_t capacity, uint32_t poolCount);
    virtual ~FrameQueue();
    FrameQueue(const FrameQueue&) = delete;
    FrameQueue& operator=(const FrameQueue&) = delete;

    Frame* AllocFrame(FrameType type);
    // Always 0.
    int RecycleFrame(Frame* frame);
    // Always kPushResult.
    int Push(Frame* frame) EXCLUDES(m_lock);
    // The oldest queued frame, waiting up to the wait time; null when none arrived or the
    // queue is woken.
    Frame* Pop(FrameType type) EXCLUDES(m_lock);
    uint32_t Size() EXCLUDES(m_lock);
    void SetWaitTime(uint16_t milliseconds);

    // Makes every waiting and later Pop return null at once, so a stopping worker is not
    // held for the wait time; Rearm lets Pop wait again.
    void Wake() EXCLUDES(m_lock);
    void Rearm() EXCLUDES(m_lock);

    uint32_t Capacity() const { return m_capacity; }
    const FramePool& Pool() const { return m_pool; }

private:
    // Pop's wait until SetWaitTime: a polling consumer does not spin, yet sees a stop soon.
    static constexpr uint16_t kDefaultWaitMs = 200;

    FramePool m_pool;
    std::deque<Frame*> m_frames GUARDED_BY(m_lock);  // oldest first
    Mutex m_lock;
    std::condition_variable m_frameQueued;
    const uint32_t m_capacity;
    std::atomic<uint16_t> m_waitTimeMs;
    std::atomic<bool> m_woken;
};
