#pragma once
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <utility>
#include <vector>

#include "Frame.h"

namespace synctest {

// The frame side of a fake plug-in: frames come from a fixed pool, wait in one ready queue
// per type and are counted from GetFrame until RecycleFrame. Thread-safe.
class FakeFrameSource {
public:
    static constexpr uint16_t kWidth = 4;
    static constexpr uint16_t kHeight = 2;
    static constexpr uint32_t kBufferBytes = 64;
    static constexpr uint32_t kPoolSize = 32;

    FakeFrameSource();

    // Queues a frame of the plug-in's usual size and format for its type; its pixels are a
    // pattern of its index and type, its timestamp unique. Null when the pool is empty.
    Frame* Queue(FrameType type, uint32_t index, HasFrameType groupMask);
    // The same, with the format and data length given.
    Frame* Queue(FrameType type, uint32_t index, HasFrameType groupMask, PixelFormat format, uint32_t length);

    // A negative count fails every call.
    void FailGetFrame(int times);

    bool IsFrameReady(FrameType type);
    int GetFrame(FrameType type, Frame** out);
    int RecycleFrame(Frame* frame);

    // Frames handed out and not given back.
    size_t Outstanding() const;
    // Frames given back that were not handed out (twice, or never).
    size_t BadReturns() const;
    // (type, index) of every frame given back, in order.
    std::vector<std::pair<FrameType, uint32_t>> Returned() const;
    size_t QueuedCount() const;
    int GetFrameCalls() const;

    static uint8_t PixelPattern(FrameType type, uint32_t index, uint32_t offset);
    static uint32_t BytesPerPixel(FrameType type, PixelFormat format);

private:
    struct Slot {
        Frame frame{};
        uint8_t buffer[kBufferBytes] = {};
    };

    mutable std::mutex m_mutex;
    std::vector<Slot> m_pool;
    std::vector<Frame*> m_free;
    std::map<FrameType, std::deque<Frame*>> m_ready;
    std::set<const Frame*> m_outstanding;
    std::vector<std::pair<FrameType, uint32_t>> m_returned;
    size_t m_badReturns = 0;
    int m_failures = 0;
    int m_getFrameCalls = 0;
    uint64_t m_nextTimestamp = 1;
};

}  // namespace synctest
