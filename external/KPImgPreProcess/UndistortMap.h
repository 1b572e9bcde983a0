#pragma once
#include <cstdint>
#include <vector>

#include "APIImgPreProcess.h"
#include "LensDistortion.h"
#include "PinholeCamera.h"

namespace kpimg {

// For every pixel of the corrected image, where the lens put it in the captured image. The
// corrected image is seen through the same camera matrix as the captured one; pixels the
// lens never saw stay 0. Built once per camera, lens and image size.
class UndistortMap {
public:
    enum class Sampling {
        Nearest,   // keeps source values (depth: blending across an edge invents depths)
        Bilinear,  // smooth images (IR, colour)
    };

    // The image must be at least 2 by 2.
    UndistortMap(const PinholeCamera& camera, const LensDistortion& distortion, int width, int height);

    bool IsFor(const PinholeCamera& camera, const LensDistortion& distortion, int width, int height) const;

    // Corrects `image` (of this map's size; 8-bit, 16-bit or 24-bit) in place; `source` is a
    // copy of it.
    void Apply(const uint8_t* source, PreProcImage& image, Sampling sampling) const;

private:
    // Top-left source pixel and the weights, in 1/256, of its right and lower neighbours;
    // index -1 when the pixel falls outside the captured image.
    struct Tap {
        int32_t index;
        uint16_t wx;
        uint16_t wy;
    };

    template <typename Sample, int Channels>
    void Resample(const uint8_t* source, uint8_t* target, Sampling sampling) const;

    PinholeCamera m_camera;
    LensDistortion m_distortion;
    int m_width;
    int m_height;
    std::vector<Tap> m_taps;
};

}  // namespace kpimg
