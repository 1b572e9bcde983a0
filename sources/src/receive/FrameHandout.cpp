#include "FrameHandout.h"

#include "StatusCodes.h"
#include "log.h"

FrameHandout::FrameHandout(std::initializer_list<DeviceFrameSpec> frames, const char* tag, receive::Clock clock)
    : m_tag(tag), m_clock(std::move(clock)) {
    m_slots.reserve(frames.size());
    for (const DeviceFrameSpec& spec : frames) {
        Slot slot{spec, std::make_unique<uint8_t[]>(spec.capacity), Frame{}, false};
        slot.frame.frameType = spec.type;
        slot.frame.pixelFormat = spec.pixelFormat;
        slot.frame.data = slot.buffer.get();
        slot.frame.length = spec.capacity;
        slot.frame.capacity = spec.capacity;
        m_slots.push_back(std::move(slot));
    }
}

FrameHandout::Slot* FrameHandout::Find(FrameType type) {
    for (Slot& slot : m_slots) {
        if (slot.spec.type == type) return &slot;
    }
    return nullptr;
}

Frame* FrameHandout::Destination(FrameType type) {
    Slot* slot = Find(type);
    if (slot == nullptr) return nullptr;
    // A copy takes the source's header; the buffer and its size stay the device's.
    slot->frame.data = slot->buffer.get();
    slot->frame.capacity = slot->spec.capacity;
    return &slot->frame;
}

void FrameHandout::ClearReady() {
    for (Slot& slot : m_slots) slot.ready = false;
}

void FrameHandout::SetReady(FrameType type, bool ready) {
    if (Slot* slot = Find(type)) slot->ready = ready;
}

FrameReady FrameHandout::ReadyBits() const {
    FrameReady bits = 0;
    for (const Slot& slot : m_slots) {
        if (slot.ready) bits |= slot.spec.readyBit;
    }
    return bits;
}

void FrameHandout::MarkPrepared() { m_lastPrepareTime = m_clock(); }

int FrameHandout::Take(FrameType type, Frame* out) {
    Slot* slot = Find(type);
    if (slot == nullptr) {
        LOG_DEVICE(m_tag, "frameType:%d is invalid", static_cast<int>(type));
        return status::kFrameNotReady;
    }
    if (!slot->ready) return status::kFrameNotReady;
    *out = slot->frame;
    slot->ready = false;
    const uint64_t age = m_clock() - m_lastPrepareTime;
    if (age > kMaxAgeMs) {
        LOG_PRINTF("difftime %d", static_cast<int>(age));
        return status::kFrameTooOld;
    }
    return 0;
}
