#pragma once
#include "RigidTransform.h"
#include "SensorCalibration.h"

namespace kpimg {

enum class Sensor { ToF = 0, Color = 1 };

// Everything the operations depend on. Held as an immutable snapshot: a change makes a
// new one, so a mapping running on another thread keeps a consistent set.
struct PreProcParams {
    // The sizes the raw calibration is made for, until SetSensorIntrinsic names another.
    static constexpr int kToFCalibratedWidth = 640;
    static constexpr int kToFCalibratedHeight = 480;
    static constexpr int kColorCalibratedWidth = 1600;
    static constexpr int kColorCalibratedHeight = 1200;

    PreProcParams();

    SensorCalibration tof;
    SensorCalibration color;
    RigidTransform depthToColor;
    bool distortionCorrection = false;

    SensorCalibration& Of(Sensor sensor) { return sensor == Sensor::ToF ? tof : color; }
    const SensorCalibration& Of(Sensor sensor) const { return sensor == Sensor::ToF ? tof : color; }
};

}  // namespace kpimg
