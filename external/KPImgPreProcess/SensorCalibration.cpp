#include "SensorCalibration.h"

namespace kpimg {

PinholeCamera SensorCalibration::CameraAt(int imageWidth, int imageHeight) const {
    if (width <= 0 || height <= 0) return PinholeCamera{};
    return camera.ScaledBy(static_cast<double>(imageWidth) / width, static_cast<double>(imageHeight) / height);
}

}  // namespace kpimg
