#pragma once
#include <atomic>
#include <cstring>
#include <vector>

#include "FrameQueue.h"
#include "Producer.h"

// A raw-frame source for the decoder: records pushed by the test wait in a bounded queue like
// the plug-in's; frames the decoder gives back are counted. Wake releases a waiting
// GetRawData at once, as the plug-in does when the decoder stops.
class FakeProducer : public Producer {
public:
    FakeProducer() : m_queue(FRAME_RAW_TOF, 2, 3) {}

    // Copies a whole record (head included) into a raw frame and queues it; false when the
    // pool is empty.
    bool Push(const std::vector<uint8_t>& record, uint32_t index, HasFrameType bits) {
        Frame* frame = m_queue.AllocFrame(FRAME_RAW_TOF);
        if (frame == nullptr || record.size() > frame->capacity) {
            return false;
        }
        std::memcpy(frame->data, record.data(), record.size());
        frame->length = static_cast<uint32_t>(record.size());
        frame->frameIndex = index;
        frame->hasFrameType = bits;
        m_queue.Push(frame);
        return true;
    }

    int GetRawData(Frame** out) override {
        *out = m_queue.Pop(FRAME_RAW_TOF);
        return *out != nullptr ? 0 : -1;
    }
    int RecycleRawFrame(Frame* frame) override {
        ++recycled;
        if (frame != nullptr && frame->capacity == FramePool::BufferSize(FRAME_RAW_TOF)) {
            m_queue.RecycleFrame(frame);
        }
        return 0;
    }
    void Wake() { m_queue.Wake(); }

    std::atomic<int> recycled{0};

private:
    FrameQueue m_queue;
};
