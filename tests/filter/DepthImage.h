#pragma once
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "Frame.h"

namespace filtertest {

// A depth frame over its own pixel buffer, sized exactly to width x height.
class DepthImage {
public:
    DepthImage(uint16_t width, uint16_t height, uint16_t fill = 0);
    // Rows top to bottom; every row must have `width` values.
    DepthImage(uint16_t width, std::initializer_list<uint16_t> pixels);
    DepthImage(const DepthImage&) = delete;
    DepthImage& operator=(const DepthImage&) = delete;

    Frame& frame() { return m_frame; }
    uint16_t& at(uint32_t y, uint32_t x) { return m_pixels[y * m_frame.width + x]; }
    const std::vector<uint16_t>& pixels() const { return m_pixels; }
    void Assign(const std::vector<uint16_t>& pixels);

private:
    void Bind();

    std::vector<uint16_t> m_pixels;
    Frame m_frame{};
};

// Deterministic depth values in [low, high], with a share of 0 and 0xFFFF pixels.
std::vector<uint16_t> RandomDepth(uint32_t count, uint32_t seed, uint16_t low, uint16_t high, double invalidShare);

}  // namespace filtertest
