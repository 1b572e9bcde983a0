#include "UndistortMap.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kpimg {

namespace {

constexpr int kWeightBits = 8;
constexpr uint32_t kWeightOne = 1u << kWeightBits;

// Splits a source coordinate in [0, size - 1] into a left pixel with a right neighbour
// inside the image and the weight of that neighbour.
void Split(double position, int size, int32_t& base, uint16_t& weight) {
    base = std::min(static_cast<int32_t>(position), size - 2);
    weight = static_cast<uint16_t>(std::lround((position - base) * kWeightOne));
}

template <typename Sample>
Sample Load(const uint8_t* pixels, size_t index) {
    Sample value;
    std::memcpy(&value, pixels + sizeof(Sample) * index, sizeof value);
    return value;
}

template <typename Sample>
void Store(uint8_t* pixels, size_t index, Sample value) {
    std::memcpy(pixels + sizeof(Sample) * index, &value, sizeof value);
}

}  // namespace

UndistortMap::UndistortMap(const PinholeCamera& camera, const LensDistortion& distortion, int width, int height)
    : m_camera(camera),
      m_distortion(distortion),
      m_width(width),
      m_height(height),
      m_taps(static_cast<size_t>(width) * height) {
    size_t at = 0;
    for (int v = 0; v < height; ++v) {
        const double yn = (v - camera.cy) / camera.fy;
        for (int u = 0; u < width; ++u, ++at) {
            const double xn = (u - camera.cx) / camera.fx;
            double xd, yd;
            distortion.Distort(xn, yn, xd, yd);
            const double xs = camera.fx * xd + camera.cx;
            const double ys = camera.fy * yd + camera.cy;
            // Inside a captured pixel's area; also false for NaN.
            if (!(xs >= -0.5 && xs < width - 0.5 && ys >= -0.5 && ys < height - 0.5)) {
                m_taps[at] = Tap{-1, 0, 0};
                continue;
            }
            int32_t x0, y0;
            uint16_t wx, wy;
            Split(std::clamp(xs, 0.0, width - 1.0), width, x0, wx);
            Split(std::clamp(ys, 0.0, height - 1.0), height, y0, wy);
            m_taps[at] = Tap{y0 * width + x0, wx, wy};
        }
    }
}

bool UndistortMap::IsFor(const PinholeCamera& camera, const LensDistortion& distortion, int width, int height) const {
    return m_camera == camera && m_distortion == distortion && m_width == width && m_height == height;
}

void UndistortMap::Apply(const uint8_t* source, PreProcImage& image, Sampling sampling) const {
    switch (image.elemType) {
        case ALG_ELEM_8U: Resample<uint8_t, 1>(source, image.data, sampling); break;
        case ALG_ELEM_16U: Resample<uint16_t, 1>(source, image.data, sampling); break;
        case ALG_ELEM_8UC3: Resample<uint8_t, 3>(source, image.data, sampling); break;
    }
}

template <typename Sample, int Channels>
void UndistortMap::Resample(const uint8_t* source, uint8_t* target, Sampling sampling) const {
    const size_t down = static_cast<size_t>(m_width) * Channels;
    for (size_t at = 0; at < m_taps.size(); ++at) {
        const Tap tap = m_taps[at];
        const size_t out = at * Channels;
        if (tap.index < 0) {
            for (int c = 0; c < Channels; ++c) Store<Sample>(target, out + c, 0);
            continue;
        }
        const size_t in = static_cast<size_t>(tap.index) * Channels;
        if (sampling == Sampling::Nearest) {
            const size_t pick = in + (tap.wx * 2 >= kWeightOne ? Channels : 0) + (tap.wy * 2 >= kWeightOne ? down : 0);
            for (int c = 0; c < Channels; ++c) Store<Sample>(target, out + c, Load<Sample>(source, pick + c));
            continue;
        }
        const uint32_t w11 = uint32_t{tap.wx} * tap.wy;
        const uint32_t w10 = uint32_t{tap.wx} * (kWeightOne - tap.wy);
        const uint32_t w01 = (kWeightOne - tap.wx) * uint32_t{tap.wy};
        const uint32_t w00 = (kWeightOne - tap.wx) * (kWeightOne - tap.wy);
        for (int c = 0; c < Channels; ++c) {
            // The weights sum to 2^16, so a 16-bit sample's sum stays below 2^32.
            const uint32_t sum = w00 * Load<Sample>(source, in + c) + w10 * Load<Sample>(source, in + Channels + c) +
                                 w01 * Load<Sample>(source, in + down + c) +
                                 w11 * Load<Sample>(source, in + down + Channels + c);
            Store<Sample>(target, out + c,
                          static_cast<Sample>((sum + (1u << (2 * kWeightBits - 1))) >> (2 * kWeightBits)));
        }
    }
}

}  // namespace kpimg
