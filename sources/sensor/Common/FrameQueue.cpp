#include "FrameQueue.h"

#include <algorithm>
#include <chrono>

FrameQueue::FrameQueue(FrameType type, uint32_t capacity, uint32_t poolCount)
    : m_pool(type, poolCount),
      m_capacity(std::max<uint32_t>(capacity, 1)),
      m_waitTimeMs(kDefaultWaitMs),
      m_woken(false) {}

FrameQueue::~FrameQueue() = default;

Frame* FrameQueue::AllocFrame(FrameType type) { return m_pool.AllocFrame(type); }

int FrameQueue::RecycleFrame(Frame* frame) {
    if (frame != nullptr) {
        m_pool.RecycleFrame(frame);
    }
    return 0;
}

int FrameQueue::Push(Frame* frame) {
    if (frame == nullptr) {
        return kPushResult;
    }
    {
        LockGuard guard(m_lock);
        while (m_frames.size() >= m_capacity) {
            m_pool.RecycleFrame(m_frames.front());
            m_frames.pop_front();
        }
        m_frames.push_back(frame);
    }
    m_frameQueued.notify_one();
    return kPushResult;
}

Frame* FrameQueue::Pop(FrameType /*type*/) {
    UniqueLock guard(m_lock);
    // A steady clock, so that setting the system time cannot stretch the wait.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_waitTimeMs.load());
    const bool ready = m_frameQueued.wait_until(guard.Native(), deadline,
                                                [this]() REQUIRES(m_lock) { return m_woken || !m_frames.empty(); });
    if (!ready || m_woken) {
        return nullptr;
    }
    Frame* frame = m_frames.front();
    m_frames.pop_front();
    return frame;
}

uint32_t FrameQueue::Size() {
    LockGuard guard(m_lock);
    return static_cast<uint32_t>(m_frames.size());
}

void FrameQueue::SetWaitTime(uint16_t milliseconds) { m_waitTimeMs = milliseconds; }

void FrameQueue::Wake() {
    {
        // Set under the lock so that a Pop between its check and its wait cannot miss it.
        LockGuard guard(m_lock);
        m_woken = true;
    }
    m_frameQueued.notify_all();
}

void FrameQueue::Rearm() {
    LockGuard guard(m_lock);
    m_woken = false;
}
