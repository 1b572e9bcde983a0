#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "APIImgPreProcess.h"

namespace preproc_test {

// An image that owns its pixels and hands out a descriptor of them.
class Image {
public:
    Image(ALG_ElemType type, int width, int height, uint8_t fill = 0);

    // Refreshed on each call, so a copied image describes its own pixels.
    PreProcImage* Descriptor() {
        m_descriptor.data = m_bytes.data();
        return &m_descriptor;
    }
    int Width() const { return m_descriptor.width; }
    int Height() const { return m_descriptor.height; }
    std::vector<uint8_t>& Bytes() { return m_bytes; }
    const std::vector<uint8_t>& Bytes() const { return m_bytes; }

    uint16_t Depth(int x, int y) const;
    void SetDepth(int x, int y, uint16_t value);
    const uint8_t* Pixel(int x, int y) const;
    uint8_t* Pixel(int x, int y);

private:
    std::vector<uint8_t> m_bytes;
    PreProcImage m_descriptor;
};

// Pinhole camera values for a calibration block.
struct Camera {
    double fx, fy, cx, cy;
    std::array<double, 9> Matrix() const { return {fx, 0, cx, 0, fy, cy, 0, 0, 1}; }
};

// The 64 doubles of SetCalibrationParams.
struct Calibration {
    Camera tof{0, 0, 0, 0};
    std::array<double, 8> tofDistortion{};
    Camera color{0, 0, 0, 0};
    std::array<double, 8> colorDistortion{};
    std::array<double, 9> rotation{1, 0, 0, 0, 1, 0, 0, 0, 1};
    std::array<double, 3> translation{};

    std::array<double, 64> Block() const;
};

// A rotation of `degrees` about the camera's vertical axis.
std::array<double, 9> RotationAboutY(double degrees);

// Both cameras at 640x480 (the colour calibration given for 1600x1200), f = 500 at 640x480.
Calibration SameCameras(double translationX);

std::unique_ptr<APIImgPreProcess> MakePreProcess();

// A colour image whose every pixel encodes its own coordinates; black never occurs.
Image CoordinateImage(int width, int height);
// The coordinates a pixel of CoordinateImage encodes; false for black.
bool DecodeCoordinates(const uint8_t* pixel, int& x, int& y);

}  // namespace preproc_test
