#include "FramePool.h"

#include <algorithm>
#include <cstring>

uint32_t FramePool::BufferSize(FrameType type) {
    switch (type) {
        case FRAME_RAW_TOF: return 4945925;    // the largest ToF record: its 5-byte head and four full phase blocks
        case FRAME_RAW_COLOR: return 2073600;  // 1920 x 1080 bytes, room for one JPEG record
        case FRAME_DEPTH:
        case FRAME_IR:
        case FRAME_CONFIDENCE: return 614400;  // 640 x 480 pixels of 16 bits
        case FRAME_COLOR: return 6220800;      // 1920 x 1080 pixels of 24 bits
        default: return 0;
    }
}

PixelFormat FramePool::FormatOf(FrameType type) {
    switch (type) {
        case FRAME_DEPTH: return PIXEL_FORMAT_DEPTH_MM16;
        case FRAME_IR: return PIXEL_FORMAT_GRAY8;
        case FRAME_COLOR: return PIXEL_FORMAT_RGB;
        case FRAME_CONFIDENCE: return PIXEL_FORMAT_GRAY16;
        default: return PIXEL_FORMAT_RAW;
    }
}

FramePool::FramePool(FrameType type, uint32_t count) : m_type(type), m_capacity(BufferSize(type)), m_slots(count) {
    for (Slot& slot : m_slots) {
        if (m_capacity > 0) {
            slot.buffer = std::make_unique<uint8_t[]>(m_capacity);  // value-initialised: zeroed
        }
        slot.frame = Frame{};
        slot.frame.frameType = type;
        slot.frame.pixelFormat = FormatOf(type);
        slot.frame.data = slot.buffer.get();
        slot.frame.capacity = m_capacity;
        m_freeFrames.push_back(&slot.frame);
    }
}

FramePool::~FramePool() = default;

Frame* FramePool::AllocFrame(FrameType type) {
    if (type != m_type) {
        return nullptr;
    }
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_freeFrames.empty()) {
        return nullptr;
    }
    Frame* frame = m_freeFrames.front();
    m_freeFrames.pop_front();
    return frame;
}

bool FramePool::RecycleFrame(Frame* frame) {
    if (frame == nullptr || frame->frameType != m_type) {
        return false;
    }
    Slot* slot = Find(frame);
    if (slot == nullptr) {
        return false;
    }
    std::lock_guard<std::mutex> guard(m_lock);
    Clear(*slot);
    if (std::find(m_freeFrames.begin(), m_freeFrames.end(), frame) == m_freeFrames.end()) {
        m_freeFrames.push_back(frame);
    }
    return true;
}

uint32_t FramePool::FreeCount() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return static_cast<uint32_t>(m_freeFrames.size());
}

FramePool::Slot* FramePool::Find(const Frame* frame) {
    // Only equality is compared: ordering pointers into different objects is not defined.
    auto found =
        std::find_if(m_slots.begin(), m_slots.end(), [frame](const Slot& slot) { return &slot.frame == frame; });
    return found == m_slots.end() ? nullptr : &*found;
}

void FramePool::Clear(Slot& slot) const {
    Frame& frame = slot.frame;
    frame.frameIndex = 0;
    frame.length = 0;
    frame.exposureTime = 0.0f;
    frame.depthRange = 0;
    frame.width = 0;
    frame.height = 0;
    frame.hasFrameType = 0;
    frame.timestamp = 0;
    // The pool's own record of the buffer bounds the fill, whatever a user wrote into the frame.
    frame.data = slot.buffer.get();
    frame.capacity = m_capacity;
    if (frame.data != nullptr) {
        std::memset(frame.data, 0, m_capacity);
    }
}
