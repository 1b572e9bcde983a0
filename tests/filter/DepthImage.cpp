#include "DepthImage.h"

#include <random>

namespace filtertest {

DepthImage::DepthImage(uint16_t width, uint16_t height, uint16_t fill)
    : m_pixels(static_cast<size_t>(width) * height, fill) {
    m_frame.width = width;
    m_frame.height = height;
    Bind();
}

DepthImage::DepthImage(uint16_t width, std::initializer_list<uint16_t> pixels) : m_pixels(pixels) {
    m_frame.width = width;
    m_frame.height = static_cast<uint16_t>(m_pixels.size() / width);
    Bind();
}

void DepthImage::Assign(const std::vector<uint16_t>& pixels) {
    m_pixels = pixels;
    Bind();
}

void DepthImage::Bind() {
    m_frame.frameType = FRAME_DEPTH;
    m_frame.data = reinterpret_cast<uint8_t*>(m_pixels.data());
    m_frame.capacity = static_cast<uint32_t>(m_pixels.size() * sizeof(uint16_t));
    m_frame.length = m_frame.capacity;
}

std::vector<uint16_t> RandomDepth(uint32_t count, uint32_t seed, uint16_t low, uint16_t high, double invalidShare) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> depth(low, high);
    std::uniform_real_distribution<double> share(0.0, 1.0);
    std::vector<uint16_t> pixels(count);
    for (uint16_t& p : pixels) {
        const double roll = share(random);
        if (roll < invalidShare / 2) {
            p = 0;
        } else if (roll < invalidShare) {
            p = 0xFFFF;
        } else {
            p = static_cast<uint16_t>(depth(random));
        }
    }
    return pixels;
}

}  // namespace filtertest
