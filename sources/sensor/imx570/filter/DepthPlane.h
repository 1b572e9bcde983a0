#pragma once
#include <cstdint>

#include "Frame.h"

// The 16-bit pixels of a frame that its buffer really holds: rows that the buffer's
// capacity cannot carry are left out, so a header that claims more never leads a filter
// past the end of the buffer.
struct DepthPlane {
    uint16_t* pixels = nullptr;
    uint32_t width = 0;
    uint32_t height = 0;

    uint32_t Count() const { return width * height; }
    uint16_t* Row(uint32_t y) const { return pixels + static_cast<uint64_t>(y) * width; }

    static DepthPlane Of(Frame& frame);
    // Read-only use of a frame such as the confidence frame.
    static uint32_t CountOf(const Frame& frame);
};
