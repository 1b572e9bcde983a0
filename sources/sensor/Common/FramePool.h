#pragma once
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "Frame.h"

// A fixed set of preallocated frames of one type. The pool owns every frame it created,
// wherever the frame currently is, so frames must not outlive their pool.
class FramePool {
public:
    FramePool(FrameType type, uint32_t count);
    virtual ~FramePool();
    FramePool(const FramePool&) = delete;
    FramePool& operator=(const FramePool&) = delete;

    // Null when the type is not the pool's or no frame is free.
    Frame* AllocFrame(FrameType type);
    // Clears the frame and lists it as free; false for null or a frame of another pool.
    bool RecycleFrame(Frame* frame);

    FrameType Type() const { return m_type; }
    uint32_t Count() const { return static_cast<uint32_t>(m_slots.size()); }
    uint32_t FreeCount() const;

    // Buffer bytes of a frame of the given type.
    static uint32_t BufferSize(FrameType type);
    static PixelFormat FormatOf(FrameType type);

private:
    struct Slot {
        Frame frame;
        std::unique_ptr<uint8_t[]> buffer;
    };

    Slot* Find(const Frame* frame);
    void Clear(Slot& slot) const;

    const FrameType m_type;
    const uint32_t m_capacity;
    std::vector<Slot> m_slots;  // never resized, so frame addresses stay put
    std::deque<Frame*> m_freeFrames;
    mutable std::mutex m_lock;
};
