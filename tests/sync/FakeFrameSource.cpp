#include "FakeFrameSource.h"

namespace synctest {

FakeFrameSource::FakeFrameSource() : m_pool(kPoolSize) {
    for (Slot& slot : m_pool) {
        m_free.push_back(&slot.frame);
    }
}

uint32_t FakeFrameSource::BytesPerPixel(FrameType type, PixelFormat format) {
    if (type == FRAME_COLOR) {
        return 3;
    }
    return format == PIXEL_FORMAT_GRAY8 ? 1 : 2;
}

uint8_t FakeFrameSource::PixelPattern(FrameType type, uint32_t index, uint32_t offset) {
    return static_cast<uint8_t>(index * 16 + static_cast<uint32_t>(type) * 5 + offset);
}

Frame* FakeFrameSource::Queue(FrameType type, uint32_t index, HasFrameType groupMask) {
    const PixelFormat format = type == FRAME_COLOR   ? PIXEL_FORMAT_RGB
                               : type == FRAME_DEPTH ? PIXEL_FORMAT_DEPTH_MM16
                                                     : PIXEL_FORMAT_GRAY16;
    return Queue(type, index, groupMask, format, kWidth * kHeight * BytesPerPixel(type, format));
}

Frame* FakeFrameSource::Queue(FrameType type, uint32_t index, HasFrameType groupMask, PixelFormat format,
                              uint32_t length) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_free.empty() || length > kBufferBytes) {
        return nullptr;
    }
    Frame* frame = m_free.back();
    m_free.pop_back();
    uint8_t* data = nullptr;
    for (Slot& slot : m_pool) {
        if (&slot.frame == frame) {
            data = slot.buffer;
        }
    }
    for (uint32_t i = 0; i < length; ++i) {
        data[i] = PixelPattern(type, index, i);
    }
    *frame = Frame{};
    frame->frameIndex = index;
    frame->frameType = type;
    frame->pixelFormat = format;
    frame->data = data;
    frame->length = length;
    frame->capacity = kBufferBytes;
    frame->exposureTime = 1.5f;
    frame->depthRange = 2;
    frame->width = kWidth;
    frame->height = kHeight;
    frame->hasFrameType = groupMask;
    frame->timestamp = m_nextTimestamp++;
    m_ready[type].push_back(frame);
    return frame;
}

void FakeFrameSource::FailGetFrame(int times) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_failures = times;
}

bool FakeFrameSource::IsFrameReady(FrameType type) {
    std::lock_guard<std::mutex> lock(m_mutex);
    return !m_ready[type].empty();
}

int FakeFrameSource::GetFrame(FrameType type, Frame** out) {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_getFrameCalls;
    *out = nullptr;
    std::deque<Frame*>& ready = m_ready[type];
    if (m_failures != 0 || ready.empty()) {
        if (m_failures > 0) {
            --m_failures;
        }
        return -1;
    }
    *out = ready.front();
    ready.pop_front();
    m_outstanding.insert(*out);
    return 0;
}

int FakeFrameSource::RecycleFrame(Frame* frame) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_outstanding.erase(frame) == 0) {
        ++m_badReturns;
        return -1;
    }
    m_returned.emplace_back(frame->frameType, frame->frameIndex);
    m_free.push_back(frame);
    return 0;
}

size_t FakeFrameSource::Outstanding() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_outstanding.size();
}

size_t FakeFrameSource::BadReturns() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_badReturns;
}

std::vector<std::pair<FrameType, uint32_t>> FakeFrameSource::Returned() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_returned;
}

size_t FakeFrameSource::QueuedCount() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    size_t count = 0;
    for (const auto& entry : m_ready) {
        count += entry.second.size();
    }
    return count;
}

int FakeFrameSource::GetFrameCalls() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_getFrameCalls;
}

}  // namespace synctest
