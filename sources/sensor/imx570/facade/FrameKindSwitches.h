#pragma once
#include <atomic>

#include "Frame.h"

// Which frame kinds the plug-in pushes and announces. The receive thread reads them for
// every record while the application switches them.
class FrameKindSwitches {
public:
    // Depth (0), IR (1) and confidence (8) have a switch; other types change nothing. 0.
    int Set(FrameType type, bool enable);
    // Any other type reads false. -12 for a null out.
    int Get(FrameType type, bool* out) const;
    // Depth and IR always go together; confidence brings both with it.
    HasFrameType Reported() const;

private:
    std::atomic<bool> m_depthFrameEnable{true};
    std::atomic<bool> m_irFrameEnable{true};
    std::atomic<bool> m_confidenceFrameEnable{false};
};
