#include "PreProcTestImages.h"

#include <cmath>
#include <cstring>

namespace preproc_test {

Image::Image(ALG_ElemType type, int width, int height, uint8_t fill)
    : m_bytes(static_cast<size_t>(width) * height *
                  (type == ALG_ELEM_8U    ? 1
                   : type == ALG_ELEM_16U ? 2
                                          : 3),
              fill),
      m_descriptor{m_bytes.data(), type, width, height} {}

uint16_t Image::Depth(int x, int y) const {
    uint16_t value;
    std::memcpy(&value, &m_bytes[2 * (static_cast<size_t>(y) * Width() + x)], 2);
    return value;
}

void Image::SetDepth(int x, int y, uint16_t value) {
    std::memcpy(&m_bytes[2 * (static_cast<size_t>(y) * Width() + x)], &value, 2);
}

const uint8_t* Image::Pixel(int x, int y) const { return &m_bytes[3 * (static_cast<size_t>(y) * Width() + x)]; }
uint8_t* Image::Pixel(int x, int y) { return &m_bytes[3 * (static_cast<size_t>(y) * Width() + x)]; }

std::array<double, 64> Calibration::Block() const {
    std::array<double, 64> block{};
    const auto tofK = tof.Matrix();
    const auto colorK = color.Matrix();
    std::copy(tofK.begin(), tofK.end(), block.begin());
    std::copy(tofDistortion.begin(), tofDistortion.end(), block.begin() + 9);
    std::copy(colorK.begin(), colorK.end(), block.begin() + 17);
    std::copy(colorDistortion.begin(), colorDistortion.end(), block.begin() + 26);
    std::copy(rotation.begin(), rotation.end(), block.begin() + 34);
    std::copy(translation.begin(), translation.end(), block.begin() + 43);
    return block;
}

std::array<double, 9> RotationAboutY(double degrees) {
    const double a = degrees * M_PI / 180.0;
    return {std::cos(a), 0, std::sin(a), 0, 1, 0, -std::sin(a), 0, std::cos(a)};
}

Calibration SameCameras(double translationX) {
    Calibration calibration;
    calibration.tof = Camera{500, 500, 319.5, 239.5};
    // The same camera at 1600x1200, which is 2.5 times 640x480.
    calibration.color = Camera{1250, 1250, 799.5, 599.5};
    calibration.translation = {translationX, 0, 0};
    return calibration;
}

std::unique_ptr<APIImgPreProcess> MakePreProcess() {
    return std::unique_ptr<APIImgPreProcess>(Get_APIImgPreProcess(""));
}

Image CoordinateImage(int width, int height) {
    Image image(ALG_ELEM_8UC3, width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* p = image.Pixel(x, y);
            p[0] = static_cast<uint8_t>(x & 0xFF);
            p[1] = static_cast<uint8_t>(y & 0xFF);
            p[2] = static_cast<uint8_t>(0x80 | ((x >> 8) & 0x7) | (((y >> 8) & 0x7) << 4));
        }
    }
    return image;
}

bool DecodeCoordinates(const uint8_t* pixel, int& x, int& y) {
    if ((pixel[2] & 0x80) == 0) return false;
    x = pixel[0] | ((pixel[2] & 0x7) << 8);
    y = pixel[1] | (((pixel[2] >> 4) & 0x7) << 8);
    return true;
}

}  // namespace preproc_test
