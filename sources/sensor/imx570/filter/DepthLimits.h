#pragma once
#include <cstdint>

// The depth limits of the current range, as one filter run sees them.
struct DepthLimits {
    uint16_t minDepth = 0;
    uint16_t maxDepth = 0;

    bool Within(uint32_t v) const { return v >= minDepth && v <= maxDepth; }
    // Strictly between the limits: what the neighbourhood filters count as a usable value.
    bool Inside(uint32_t v) const { return v > minDepth && v < maxDepth; }
};
