#pragma once
#include <cstdint>
#include <vector>

#include "FilterParams.h"

// Plain, pixel-by-pixel forms of the depth filters, written straight from their
// definitions (scattered votes, whole-frame copies, doubles), to check the fast ones.
namespace filtertest {

struct Size {
    int width;
    int height;
};

std::vector<uint16_t> FlyingPixelReference(const std::vector<uint16_t>& in, Size size, int32_t threshold);
std::vector<uint16_t> SpatialReference(const std::vector<uint16_t>& in, Size size, const SpatialFilterParams& params,
                                       uint16_t minDepth, uint16_t maxDepth);
std::vector<uint16_t> FillHoleReference(const std::vector<uint16_t>& in, Size size, const FillHoleFilterParams& params,
                                        uint16_t minDepth, uint16_t maxDepth);

}  // namespace filtertest
