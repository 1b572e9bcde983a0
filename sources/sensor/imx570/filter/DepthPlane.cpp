#include "DepthPlane.h"

namespace {

uint32_t UsableRows(const Frame& frame) {
    if (frame.data == nullptr || frame.width == 0) {
        return 0;
    }
    const uint32_t rowBytes = frame.width * static_cast<uint32_t>(sizeof(uint16_t));
    const uint32_t rowsInBuffer = frame.capacity / rowBytes;
    return frame.height < rowsInBuffer ? frame.height : rowsInBuffer;
}

}  // namespace

DepthPlane DepthPlane::Of(Frame& frame) {
    DepthPlane plane;
    plane.height = UsableRows(frame);
    if (plane.height == 0) {
        return plane;
    }
    // Frame buffers come from the pools' new[] of bytes, aligned for any scalar.
    plane.pixels = reinterpret_cast<uint16_t*>(frame.data);
    plane.width = frame.width;
    return plane;
}

uint32_t DepthPlane::CountOf(const Frame& frame) { return UsableRows(frame) * frame.width; }
