#pragma once
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

#include "Frame.h"
#include "ReceiveClock.h"

// One of the device's own frames: what it holds first and the ready bit it reports.
struct DeviceFrameSpec {
    FrameType type;
    PixelFormat pixelFormat;
    FrameReady readyBit;
    uint32_t capacity;  // bytes of its preallocated buffer
};

// The device's own frames, into which a frame request copies the latest group, and the
// rule that hands each prepared frame out once. Used under the device's stream lock.
class FrameHandout {
public:
    // A frame taken this long after its request is stale: the application has fallen behind.
    static constexpr uint64_t kMaxAgeMs = 1000;

    FrameHandout(std::initializer_list<DeviceFrameSpec> frames, const char* tag, receive::Clock clock);

    // The frame of that kind, or null when this path has none.
    Frame* Destination(FrameType type);
    void ClearReady();
    void SetReady(FrameType type, bool ready);
    FrameReady ReadyBits() const;
    // A frame request succeeded: the age of what it prepared counts from now.
    void MarkPrepared();
    // Copies the prepared frame's record to `out` (its data stays in the device's buffer)
    // and hands it out once: -4 when it is not ready, or of a kind this path does not have;
    // -23 (with `out` filled) when the last successful request is more than kMaxAgeMs old.
    int Take(FrameType type, Frame* out);

private:
    struct Slot {
        DeviceFrameSpec spec;
        std::unique_ptr<uint8_t[]> buffer;
        Frame frame;
        bool ready;
    };
    Slot* Find(FrameType type);

    std::vector<Slot> m_slots;
    const char* m_tag;
    receive::Clock m_clock;
    uint64_t m_lastPrepareTime = 0;
};
