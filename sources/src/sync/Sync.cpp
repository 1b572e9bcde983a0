#include "Sync.h"

#include <chrono>
#include <cstring>

#include "log.h"

namespace {

uint64_t SteadyNowMs() {
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
            .count());
}

// Distance of two clock readings, whichever comes first.
uint64_t DistanceMs(uint64_t a, uint64_t b) { return a > b ? a - b : b - a; }

// While synchronisation is off the thread only idles, woken by a stop.
constexpr uint16_t kIdleWaitMs = 5;

constexpr HasFrameType kAllKinds = HAS_DEPTH_FRAME | HAS_IR_FRAME | HAS_COLOR_FRAME | HAS_CONFIDENCE_FRAME;

// The frame kinds a group holds, in the order a frame request copies them.
struct KindSlot {
    FrameType type;
    HasFrameType bit;
    uint8_t SyncFrame::*present;
};
constexpr KindSlot kKinds[] = {
    {FRAME_DEPTH, HAS_DEPTH_FRAME, &SyncFrame::hasDepth},
    {FRAME_IR, HAS_IR_FRAME, &SyncFrame::hasIR},
    {FRAME_CONFIDENCE, HAS_CONFIDENCE_FRAME, &SyncFrame::hasConfidence},
    {FRAME_COLOR, HAS_COLOR_FRAME, &SyncFrame::hasColor},
};

// The record is packed, so its frame pointers are reached by name only: a pointer to
// member would load them as if they were aligned.
Frame* FrameOf(const SyncFrame& group, FrameType type) {
    switch (type) {
        case FRAME_IR: return group.irFrame;
        case FRAME_CONFIDENCE: return group.confidenceFrame;
        case FRAME_COLOR: return group.colorFrame;
        default: return group.depthFrame;
    }
}

void SetFrameOf(SyncFrame& group, FrameType type, Frame* frame) {
    switch (type) {
        case FRAME_IR: group.irFrame = frame; break;
        case FRAME_CONFIDENCE: group.confidenceFrame = frame; break;
        case FRAME_COLOR: group.colorFrame = frame; break;
        default: group.depthFrame = frame; break;
    }
}

// Only the four kinds above ever reach a group.
const KindSlot& SlotOf(FrameType type) {
    for (const KindSlot& kind : kKinds) {
        if (kind.type == type) {
            return kind;
        }
    }
    return kKinds[0];
}

// The HasFrameType bits of the kinds a group holds.
HasFrameType PresentBits(const SyncFrame& group) {
    HasFrameType bits = 0;
    for (const KindSlot& kind : kKinds) {
        bits |= group.*kind.present ? kind.bit : 0;
    }
    return bits;
}

// Copies pixels and header of a frame into a destination frame, keeping the destination's
// buffer; false (nothing written) when the destination cannot hold the pixels.
bool CopyFrame(const Frame& source, Frame* destination) {
    if (destination == nullptr || (source.length > 0 && destination->data == nullptr) ||
        source.length > destination->capacity) {
        LOG_PRINTF("frameType:%d length:%u does not fit the destination", static_cast<int>(source.frameType),
                   source.length);
        return false;
    }
    if (source.length > 0) {
        std::memcpy(destination->data, source.data, source.length);
    }
    uint8_t* const data = destination->data;
    const uint32_t capacity = destination->capacity;
    *destination = source;
    destination->data = data;
    destination->capacity = capacity;
    return true;
}

}  // namespace

Sync::Sync(ToF_API& tof, Color_API* color, Clock clock)
    : StoppableThread("Sync"), m_tofApi(&tof), m_colorApi(color), m_clock(clock ? std::move(clock) : SteadyNowMs) {}

Sync::~Sync() {
    Stop();
    Join();
    RecycleFrame();
}

int Sync::SetSingleFrameReady(HasFrameType bits) {
    {
        LockGuard lock(m_frameReadyMutex);
        m_pendingBits |= static_cast<uint8_t>(bits & kAllKinds);
    }
    m_frameReadyCond.notify_all();
    return 0;
}

int Sync::Init() {
    m_stopping = false;
    return 0;
}

void Sync::Stop() {
    StoppableThread::Stop();
    // Set under each lock so that no waiter can miss it between its check and its wait.
    {
        LockGuard lock(m_frameReadyMutex);
        m_stopping = true;
    }
    m_frameReadyCond.notify_all();
    { LockGuard lock(m_outputMutex); }
    m_outputCond.notify_all();
}

int Sync::SetSyncEnable(bool enable) {
    m_syncEnable = enable;
    if (enable) {
        RecycleFrame();
    }
    return 0;
}

void Sync::SetStream(bool enable) { m_stream = enable; }

void Sync::RecycleCache() {
    {
        LockGuard lock(m_frameReadyMutex);
        m_recycleRequest = true;
    }
    m_frameReadyCond.notify_all();
}

void Sync::RecycleFrame() {
    // The thread's pass flushes, or a caller while the thread does not run.
    m_pass.Assume();
    LockGuard lock(m_outputMutex);
    RecycleSyncFrame(m_output);
    for (SyncFrame& slot : m_queue) {
        RecycleSyncFrame(slot);
    }
    m_head = 0;
    m_tail = 0;
    m_lastPublished = 0;
    m_curDepth = m_curIR = m_curConfidence = m_curColor = nullptr;
}

void Sync::SetWaitTime(unsigned short waitMs) { m_waitTime = waitMs; }

HasFrameType Sync::GetSingleFrameReady() {
    HasFrameType bits;
    {
        UniqueLock lock(m_frameReadyMutex);
        // A flush request or a stop ends the wait too, so the pass can act on it at once.
        m_frameReadyCond.wait_for(
            lock.Native(), std::chrono::milliseconds(m_waitTime.load()),
            [this]() REQUIRES(m_frameReadyMutex) { return m_pendingBits != 0 || m_recycleRequest || m_stopping; });
        bits = m_pendingBits;
        m_pendingBits = 0;
    }
    if (!m_syncEnable) {
        // Without grouping the caller takes frames itself; a long-gone publication is worth a line.
        const uint64_t publishTime = m_publishTime;
        const uint64_t age = DistanceMs(m_clock(), publishTime);
        if (publishTime != 0 && age > kStaleMs) {
            LOG_PRINTF("difftime %d", static_cast<int>(age));
        }
    }
    return bits;
}

int Sync::GetSyncFrame(unsigned short waitMs, SyncFrame& out) {
    UniqueLock lock(m_outputMutex);
    m_outputCond.wait_for(lock.Native(), std::chrono::milliseconds(waitMs),
                          [this]() REQUIRES(m_outputMutex) { return m_output.mask != 0 || m_stopping; });
    if (m_output.mask == 0) {
        return 0;
    }
    out.frameIndex = m_output.frameIndex;
    out.mask = 0;
    for (const KindSlot& kind : kKinds) {
        out.*kind.present = 0;
        if (m_output.*kind.present && CopyFrame(*FrameOf(m_output, kind.type), FrameOf(out, kind.type))) {
            out.*kind.present = 1;
            out.mask |= kind.bit;
        }
    }
    RecycleSyncFrame(m_output);
    const uint64_t age = DistanceMs(m_clock(), m_publishTime);
    if (age > kStaleMs) {
        LOG_PRINTF("difftime %d", static_cast<int>(age));
        return 2;
    }
    return 1;
}

void Sync::Run() {
    m_stopping = false;  // a Stop before this start is already seen by IsRunning
    while (IsRunning()) {
        RunOnce();
    }
}

void Sync::RunOnce() {
    // Run by the thread, or by hand while it does not run.
    m_pass.Assume();
    if (!m_syncEnable) {
        UniqueLock lock(m_frameReadyMutex);
        m_frameReadyCond.wait_for(lock.Native(), std::chrono::milliseconds(kIdleWaitMs),
                                  [this] { return m_stopping.load(); });
        return;
    }
    if (m_recycleRequest.exchange(false)) {
        RecycleFrame();
    }
    const HasFrameType bits = GetSingleFrameReady();
    if ((bits & HAS_COLOR_FRAME) != 0 && m_colorApi != nullptr) {
        TakeFrames(*m_colorApi, FRAME_COLOR);
    }
    if ((bits & HAS_DEPTH_FRAME) != 0) {
        TakeFrames(*m_tofApi, FRAME_DEPTH);
    }
    if ((bits & HAS_IR_FRAME) != 0) {
        TakeFrames(*m_tofApi, FRAME_IR);
    }
    if ((bits & HAS_CONFIDENCE_FRAME) != 0) {
        TakeFrames(*m_tofApi, FRAME_CONFIDENCE);
    }
    if (!m_stream) {
        RecycleFrame();
    }
}

template <typename Api>
void Sync::TakeFrames(Api& api, FrameType type) {
    Frame*& current = CurrentFrame(type);
    int failures = 0;
    while (!m_stopping && api.IsFrameReady(type)) {
        current = nullptr;
        const int ret = api.GetFrame(type, &current);
        if (ret != 0 || current == nullptr) {
            // A plug-in that says ready but keeps failing must not hold the pass for ever.
            if (++failures >= kGetFrameAttempts) {
                LOG_PRINTF("GetFrame type:%d failed %d times, ret:%d", static_cast<int>(type), failures, ret);
                current = nullptr;
                return;
            }
            continue;
        }
        failures = 0;
        StoreFrame(type, current);
        current = nullptr;
    }
}

void Sync::StoreFrame(FrameType type, Frame* frame) {
    if (frame->frameType != type || !HasValidLength(*frame) || frame->frameIndex < m_queue[m_head].frameIndex ||
        frame->frameIndex <= m_lastPublished) {
        GiveBack(type, frame);
        return;
    }
    const int slot = FindSyncQueueIndex(frame->frameIndex);
    if (slot == kNoSlot) {
        GiveBack(type, frame);
        return;
    }
    SyncFrame& group = m_queue[slot];
    const KindSlot& kind = SlotOf(type);
    GiveBack(type, FrameOf(group, type));  // a repeated kind replaces the earlier frame
    SetFrameOf(group, type, frame);
    group.*kind.present = 1;
    group.frameIndex = frame->frameIndex;
    group.mask = frame->hasFrameType;
    SetSyncFrame(slot);
}

int Sync::FindSyncQueueIndex(unsigned index) {
    const int newest = (m_tail + kQueueSize - 1) % kQueueSize;
    if (index > m_queue[newest].frameIndex) {
        const int slot = m_tail;
        RecycleSyncFrame(m_queue[slot]);
        m_tail = (m_tail + 1) % kQueueSize;
        if (m_tail == m_head) {
            m_head = (m_head + 1) % kQueueSize;
        }
        return slot;
    }
    for (int slot = 0; slot < kQueueSize; ++slot) {
        if (m_queue[slot].frameIndex == index) {
            return slot;
        }
    }
    return kNoSlot;
}

void Sync::SetSyncFrame(int slot) {
    SyncFrame& group = m_queue[slot];
    if ((group.mask & kAllKinds & ~PresentBits(group)) != 0) {
        return;  // still waiting for a kind
    }
    const uint32_t index = group.frameIndex;
    Publish(group);
    m_lastPublished = index;
    m_head = (slot + 1) % kQueueSize;
    AbandonOlderThan(slot, index);
}

void Sync::Publish(SyncFrame& slot) {
    {
        LockGuard lock(m_outputMutex);
        // An unread older publication: the newest complete group wins.
        RecycleSyncFrame(m_output);
        m_output = slot;
        m_output.mask = PresentBits(slot);
        m_publishTime = m_clock();
        slot = SyncFrame{};  // its frames now belong to m_output
    }
    m_outputCond.notify_one();
}

void Sync::AbandonOlderThan(int slot, uint32_t index) {
    for (int step = 1; step < kQueueSize; ++step) {
        SyncFrame& group = m_queue[(slot + kQueueSize - step) % kQueueSize];
        if (group.frameIndex == 0 || group.frameIndex >= index) {
            return;
        }
        LOG_PRINTF("abondon: %d %d %d %d %d %d", static_cast<int>(group.frameIndex), static_cast<int>(group.mask),
                   group.hasDepth, group.hasIR, group.hasColor, group.hasConfidence);
        RecycleSyncFrame(group);
    }
}

void Sync::RecycleSyncFrame(SyncFrame& group) {
    for (const KindSlot& kind : kKinds) {
        GiveBack(kind.type, FrameOf(group, kind.type));
    }
    group = SyncFrame{};
}

void Sync::GiveBack(FrameType kind, Frame* frame) {
    if (frame == nullptr) {
        return;
    }
    // Colour frames come only from the colour plug-in, so one exists whenever such a frame does.
    if (kind == FRAME_COLOR) {
        m_colorApi->RecycleFrame(frame);
    } else {
        m_tofApi->RecycleFrame(frame);
    }
}

Frame*& Sync::CurrentFrame(FrameType type) {
    switch (type) {
        case FRAME_COLOR: return m_curColor;
        case FRAME_IR: return m_curIR;
        case FRAME_CONFIDENCE: return m_curConfidence;
        default: return m_curDepth;
    }
}

uint32_t Sync::getElementSize(PixelFormat format) {
    switch (format) {
        case PIXEL_FORMAT_DEPTH_MM16:
        case PIXEL_FORMAT_GRAY16: return 2;
        case PIXEL_FORMAT_GRAY8: return 1;
        case PIXEL_FORMAT_RGB:
        case PIXEL_FORMAT_BGR: return 3;
        default: LOG_PRINTF("pixelFormat:%d is invalid", static_cast<int>(format)); return 0;
    }
}

bool Sync::HasValidLength(const Frame& frame) {
    uint64_t bytesPerPixel;
    switch (frame.frameType) {
        case FRAME_COLOR: bytesPerPixel = 3; break;
        case FRAME_IR: bytesPerPixel = getElementSize(frame.pixelFormat); break;
        default: bytesPerPixel = 2; break;
    }
    return frame.length == static_cast<uint64_t>(frame.width) * frame.height * bytesPerPixel;
}
