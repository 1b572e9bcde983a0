#pragma once
#include <cstdint>
#include <vector>

#include "Frame.h"
#include "SyncFrame.h"

namespace synctest {

// The device's own frames that a frame request copies into. Each buffer has guard bytes
// past its capacity, so a copy beyond the capacity shows.
class DestinationFrames {
public:
    static constexpr uint32_t kCapacity = 64;
    static constexpr uint32_t kGuardBytes = 16;
    static constexpr uint8_t kGuard = 0xA5;

    DestinationFrames() {
        for (int i = 0; i < 4; ++i) {
            m_buffers[i].assign(kCapacity + kGuardBytes, kGuard);
            m_frames[i] = Frame{};
            m_frames[i].data = m_buffers[i].data();
            m_frames[i].capacity = kCapacity;
        }
    }
    DestinationFrames(const DestinationFrames&) = delete;
    DestinationFrames& operator=(const DestinationFrames&) = delete;

    Frame& Depth() { return m_frames[0]; }
    Frame& IR() { return m_frames[1]; }
    Frame& Confidence() { return m_frames[2]; }
    Frame& Color() { return m_frames[3]; }

    // A request record naming the four frames.
    SyncFrame Record() {
        SyncFrame record{};
        record.depthFrame = &Depth();
        record.irFrame = &IR();
        record.confidenceFrame = &Confidence();
        record.colorFrame = &Color();
        return record;
    }

    // True while nothing was written past any buffer's capacity.
    bool GuardsIntact() const {
        for (const std::vector<uint8_t>& buffer : m_buffers) {
            for (uint32_t i = kCapacity; i < buffer.size(); ++i) {
                if (buffer[i] != kGuard) {
                    return false;
                }
            }
        }
        return true;
    }

private:
    std::vector<uint8_t> m_buffers[4];
    Frame m_frames[4];
};

}  // namespace synctest
