#include "FrameKindSwitches.h"

#include "StatusCodes.h"

int FrameKindSwitches::Set(FrameType type, bool enable) {
    switch (type) {
        case FRAME_DEPTH: m_depthFrameEnable = enable; break;
        case FRAME_IR: m_irFrameEnable = enable; break;
        case FRAME_CONFIDENCE: m_confidenceFrameEnable = enable; break;
        default: break;
    }
    return 0;
}

int FrameKindSwitches::Get(FrameType type, bool* out) const {
    if (out == nullptr) {
        return status::kNullArgument;
    }
    switch (type) {
        case FRAME_DEPTH: *out = m_depthFrameEnable; break;
        case FRAME_IR: *out = m_irFrameEnable; break;
        case FRAME_CONFIDENCE: *out = m_confidenceFrameEnable; break;
        default: *out = false; break;
    }
    return 0;
}

HasFrameType FrameKindSwitches::Reported() const {
    if (m_confidenceFrameEnable) {
        return HAS_DEPTH_FRAME | HAS_IR_FRAME | HAS_CONFIDENCE_FRAME;
    }
    if (m_depthFrameEnable || m_irFrameEnable) {
        return HAS_DEPTH_FRAME | HAS_IR_FRAME;
    }
    return 0;
}
