#include "CameraState.h"

#include "CameraRig.h"

namespace camsim {

CameraState::CameraState() {
    // The calibration describes the rig the scenes are rendered with: the colour camera's
    // for its full sensor, which the host scales to the resolution it reads out.
    const CameraRig& rig = Rig();
    tofCalibration.intrinsic = rig.depth.Matrix();
    colourCalibration.intrinsic = rig.colour.Matrix();
    rotation = {1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0};
    translation = rig.depthToColour;

    exposure = {{0, 1000}, {1, 1000}, {254, 200}, {255, 3000}};  // microseconds

    // Built-in maximum depths of the six depth ranges, in mm.
    const uint16_t depthMax[] = {1249, 1874, 2498, 3123, 3747, 7495};
    for (uint8_t r = 0; r < 6; ++r) {
        measuringRanges[r] = MeasuringRange{depthMax[r], 50, depthMax[r]};  // nothing is seen nearer than 50 mm
        depthRangeList.push_back(r);
    }
    dataModeList = {0, 1, 2};
    laser = {{cmd::kSystemLdState, 1},
             {cmd::kSystemCdmaState, 0},
             {cmd::kSensorInfoApcState, 1},
             {cmd::kSensorInfoLdDriverChip, 0},
             {cmd::kSensorInfoLdType, 0}};

    // Pulses of 100 us; the input's interval is one frame at 30 fps, in microseconds.
    mcu[1] = McuParameters{1, 1, 100, 33333};
    mcu[2] = McuParameters{2, 1, 100, 0};
}

}  // namespace camsim
