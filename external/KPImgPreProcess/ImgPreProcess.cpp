#include "ImgPreProcess.h"

#include <cstring>

#include "ImageCheck.h"
#include "ImageMapping.h"
#include "ImageOrientation.h"
#include "PreProcStatus.h"
#include "ScratchBuffer.h"

namespace kpimg {

namespace {

// Where SetCalibrationParams finds each part in its 64 doubles.
constexpr int kToFMatrixAt = 0;
constexpr int kToFDistortionAt = 9;
constexpr int kColorMatrixAt = 17;
constexpr int kColorDistortionAt = 26;
constexpr int kRotationAt = 34;
constexpr int kTranslationAt = 43;

// Nothing may leave through the library boundary: a failed allocation is a failed call.
template <typename Operation>
int Guarded(Operation&& operation) noexcept {
    try {
        return operation();
    } catch (...) {
        return kRefused;
    }
}

}  // namespace

void ImgPreProcess::SetCalibrationParams(const double* params, int /*flags*/) {
    if (params == nullptr) return;
    Guarded([&] {
        m_params.Update([params](PreProcParams& p) {
            p.tof.camera = PinholeCamera::FromMatrix(params + kToFMatrixAt);
            p.tof.distortion = LensDistortion(params + kToFDistortionAt);
            p.tof.width = PreProcParams::kToFCalibratedWidth;
            p.tof.height = PreProcParams::kToFCalibratedHeight;
            p.color.camera = PinholeCamera::FromMatrix(params + kColorMatrixAt);
            p.color.distortion = LensDistortion(params + kColorDistortionAt);
            p.color.width = PreProcParams::kColorCalibratedWidth;
            p.color.height = PreProcParams::kColorCalibratedHeight;
            std::memcpy(p.depthToColor.rotation.data(), params + kRotationAt, sizeof p.depthToColor.rotation);
            std::memcpy(p.depthToColor.translation.data(), params + kTranslationAt, sizeof p.depthToColor.translation);
        });
        return kDone;
    });
}

void ImgPreProcess::SetSensorIntrinsic(int sensor, const double* K, int width, int height) {
    if (K == nullptr || (sensor != 0 && sensor != 1) || width <= 0 || height <= 0 || width > kMaxImageSide ||
        height > kMaxImageSide) {
        return;
    }
    Guarded([&] {
        m_params.Update([&](PreProcParams& p) {
            SensorCalibration& calibration = p.Of(static_cast<Sensor>(sensor));
            calibration.camera = PinholeCamera::FromMatrix(K);
            calibration.width = width;
            calibration.height = height;
        });
        return kDone;
    });
}

void ImgPreProcess::SetDepthRangeValue(int, int, int) {
    // Nothing here depends on the measuring range: pixels without depth arrive as 0 or 65535.
}

void ImgPreProcess::SetDistortionCorrection(bool enable) {
    Guarded([&] {
        m_params.Update([enable](PreProcParams& p) { p.distortionCorrection = enable; });
        return kDone;
    });
}

int ImgPreProcess::ProcessImage(PreProcImage* image) {
    if (!IsUsable(image, ALG_ELEM_8U) && !IsUsable(image, ALG_ELEM_16U)) return kRefused;
    return Undistort(Sensor::ToF, *image, UndistortMap::Sampling::Bilinear);
}

int ImgPreProcess::ProcessDepthImage(PreProcImage* image) {
    if (!IsUsable(image, ALG_ELEM_16U)) return kRefused;
    return Undistort(Sensor::ToF, *image, UndistortMap::Sampling::Nearest);
}

int ImgPreProcess::ProcessColorImage(PreProcImage* image) {
    if (!IsUsable(image, ALG_ELEM_8UC3)) return kRefused;
    return Undistort(Sensor::Color, *image, UndistortMap::Sampling::Bilinear);
}

int ImgPreProcess::Undistort(Sensor sensor, PreProcImage& image, UndistortMap::Sampling sampling) {
    return Guarded([&] {
        const auto params = m_params.Snapshot();
        const SensorCalibration& calibration = params->Of(sensor);
        if (!params->distortionCorrection || calibration.distortion.IsZero()) return kDone;
        const PinholeCamera camera = calibration.CameraAt(image.width, image.height);
        if (!camera.IsCalibrated() || !calibration.distortion.IsFinite() || image.width < 2 || image.height < 2) {
            return kRefused;
        }
        const auto map =
            m_undistort[static_cast<int>(sensor)].Get(camera, calibration.distortion, image.width, image.height);
        const size_t bytes = ByteCount(image);
        uint8_t* source = ScratchBuffer::ForThisThread(bytes);
        std::memcpy(source, image.data, bytes);
        map->Apply(source, image, sampling);
        return kDone;
    });
}

int ImgPreProcess::MapDepthPointToColor(QlDepthVector3 depthPoint, QlVector2u16 colorSize, QlVector2u16* colorPoint) {
    if (colorPoint == nullptr) return kRefused;
    return Guarded(
        [&] { return kpimg::MapDepthPointToColor(*m_params.Snapshot(), depthPoint, colorSize, *colorPoint); });
}

int ImgPreProcess::MapDepthToColor(const PreProcImage* color, const PreProcImage* depth, PreProcImage* output) {
    if (color == nullptr || depth == nullptr || output == nullptr) return kRefused;
    return Guarded([&] { return kpimg::MapDepthToColor(*m_params.Snapshot(), *color, *depth, *output); });
}

int ImgPreProcess::MapColorToDepth(const PreProcImage* depth, const PreProcImage* color, PreProcImage* output) {
    if (color == nullptr || depth == nullptr || output == nullptr) return kRefused;
    return Guarded([&] { return kpimg::MapColorToDepth(*m_params.Snapshot(), *depth, *color, *output); });
}

int ImgPreProcess::Flip(PreProcImage* image, int flipCode) {
    if (!IsUsable(image)) return kRefused;
    return kpimg::Flip(*image, flipCode);
}

int ImgPreProcess::Rotate(PreProcImage* image, int rotationMode) {
    if (!IsUsable(image)) return kRefused;
    return Guarded([&] { return kpimg::Rotate(*image, rotationMode); });
}

int ImgPreProcess::AdjustIntrinsic(double* K, const double* D, int packedSize) {
    const int width = packedSize & 0xFFFF;
    const int height = (packedSize >> 16) & 0xFFFF;
    if (K == nullptr || D == nullptr || width == 0 || height == 0) return kRefused;
    // Undistortion keeps the camera matrix of the image it corrects (see UndistortMap), so
    // the matrix of the corrected image at this size is K itself.
    return kDone;
}

void ImgPreProcess::SetDeviceTag(const char*) {
    // The library writes no log, so it has no use for the camera's tag.
}

}  // namespace kpimg
