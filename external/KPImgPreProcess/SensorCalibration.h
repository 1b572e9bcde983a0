#pragma once
#include "LensDistortion.h"
#include "PinholeCamera.h"

namespace kpimg {

// One sensor's calibration: its camera at the image size it was given for, and its lens.
struct SensorCalibration {
    PinholeCamera camera;
    LensDistortion distortion;
    int width = 0;
    int height = 0;

    // The camera at another image size of the same sensor.
    PinholeCamera CameraAt(int imageWidth, int imageHeight) const;
};

}  // namespace kpimg
