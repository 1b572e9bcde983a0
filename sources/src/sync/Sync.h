#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>

#include "Color_API.h"
#include "Consumer.h"
#include "Frame.h"
#include "Mutex.h"
#include "StoppableThread.h"
#include "SyncFrame.h"
#include "ThreadRole.h"
#include "ToF_API.h"

// Groups the frames that the plug-ins decode by the frame index of their data frame and
// publishes the newest complete group for the application's frame request. Every frame it
// takes goes back to its plug-in exactly once: when its group is taken, replaced by a newer
// publication, abandoned, flushed, or when the frame itself is refused.
class Sync : public StoppableThread, public Consumer {
public:
    // Milliseconds of a monotonic clock; ages of publications are measured with it.
    using Clock = std::function<uint64_t()>;

    static constexpr int kQueueSize = 6;  // groups gathered at once; a seventh reuses the oldest slot
    // Bounds every wait of the thread, so that a stream stop or a flush request is noticed
    // within this time.
    static constexpr uint16_t kDefaultWaitMs = 133;
    // A publication older than this is still handed out, with result 2.
    static constexpr uint64_t kStaleMs = 1000;
    // Consecutive GetFrame failures for one kind before a pass gives up on it.
    static constexpr int kGetFrameAttempts = 3;

    // The plug-ins are borrowed and must outlive this object; color is null on a ToF-only
    // device. An empty clock means the steady clock.
    Sync(ToF_API& tof, Color_API* color, Clock clock = Clock());
    ~Sync() override;
    Sync(const Sync&) = delete;
    Sync& operator=(const Sync&) = delete;

    // Consumer: called on the plug-ins' decode threads.
    int SetSingleFrameReady(HasFrameType bits) override EXCLUDES(m_frameReadyMutex);

    // Called before the thread is started; lets waits block again after a Stop (the
    // thread's start does the same).
    int Init();
    // Asks the thread to end and wakes every wait of this object at once. It hides the
    // base's Stop, which cannot wake these waits: stop a Sync through its own type.
    void Stop() EXCLUDES(m_frameReadyMutex, m_outputMutex);

    // Switching on also flushes; only while the thread does not run.
    int SetSyncEnable(bool enable);
    // With the stream off every pass flushes.
    void SetStream(bool enable);
    // Asks the thread to flush on its next pass.
    void RecycleCache() EXCLUDES(m_frameReadyMutex);
    // Gives back every frame held; never beside a running thread.
    void RecycleFrame() EXCLUDES(m_outputMutex);

    // Waits up to the wait time for announced bits and takes them; 0 when none came.
    HasFrameType GetSingleFrameReady() EXCLUDES(m_frameReadyMutex);
    // Copies the published group into the frames that `out` points to (each bounded by the
    // destination's capacity) and gives the group back. 1 fresh group, 0 nothing published
    // within waitMs, 2 a group published more than kStaleMs earlier.
    int GetSyncFrame(unsigned short waitMs, SyncFrame& out) EXCLUDES(m_outputMutex);
    void SetWaitTime(unsigned short waitMs);

    // One pass of the thread body; the thread is a loop over it.
    void RunOnce() EXCLUDES(m_frameReadyMutex, m_outputMutex);

    // Bytes per pixel of a format; 0 (with a log line) for one that carries no pixels.
    static uint32_t getElementSize(PixelFormat format);
    // Whether a frame's data length matches its size for its kind.
    static bool HasValidLength(const Frame& frame);

protected:
    void Run() override;

private:
    static constexpr int kNoSlot = -1;  // no group can take the frame

    // Takes the frames of one kind while the plug-in has them ready.
    template <typename Api>
    void TakeFrames(Api& api, FrameType type) REQUIRES(m_pass);
    void StoreFrame(FrameType type, Frame* frame) REQUIRES(m_pass);
    // The slot of the group with this index, a fresh slot for a newer one, or kNoSlot.
    int FindSyncQueueIndex(unsigned index) REQUIRES(m_pass);
    void SetSyncFrame(int slot) REQUIRES(m_pass);
    void Publish(SyncFrame& slot) REQUIRES(m_pass) EXCLUDES(m_outputMutex);
    void AbandonOlderThan(int slot, uint32_t index) REQUIRES(m_pass);
    void RecycleSyncFrame(SyncFrame& group);
    // Back to the plug-in that hands out frames of this kind; null is ignored.
    void GiveBack(FrameType kind, Frame* frame);
    Frame*& CurrentFrame(FrameType type) REQUIRES(m_pass);

    std::atomic<bool> m_syncEnable{false};
    // The groups being gathered and the frames in hand are the pass's alone: the thread's,
    // or a caller's while the thread does not run. No lock guards them.
    ThreadRole m_pass;
    int32_t m_head GUARDED_BY(m_pass) = 0;
    int32_t m_tail GUARDED_BY(m_pass) = 0;
    // Index of the last publication since the last flush; older frames would hand the
    // application a group older than one it may have seen.
    uint32_t m_lastPublished GUARDED_BY(m_pass) = 0;
    uint8_t m_pendingBits GUARDED_BY(m_frameReadyMutex) = 0;
    std::condition_variable m_frameReadyCond;
    std::condition_variable m_outputCond;
    Mutex m_frameReadyMutex;
    Mutex m_outputMutex;
    SyncFrame m_queue[kQueueSize] GUARDED_BY(m_pass) = {};
    SyncFrame m_output GUARDED_BY(m_outputMutex) = {};
    ToF_API* const m_tofApi;
    Color_API* const m_colorApi;
    Frame* m_curDepth GUARDED_BY(m_pass) = nullptr;
    Frame* m_curIR GUARDED_BY(m_pass) = nullptr;
    Frame* m_curConfidence GUARDED_BY(m_pass) = nullptr;
    Frame* m_curColor GUARDED_BY(m_pass) = nullptr;
    std::atomic<bool> m_stream{true};
    std::atomic<bool> m_recycleRequest{false};
    std::atomic<uint16_t> m_waitTime{kDefaultWaitMs};
    std::atomic<uint64_t> m_publishTime{0};
    std::atomic<bool> m_stopping{false};
    const Clock m_clock;
};
