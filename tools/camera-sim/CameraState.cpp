#include "CameraState.h"

namespace camsim {

CameraState::CameraState() {
    tofCalibration.intrinsic = {520.0, 0.0, 320.0, 0.0, 520.0, 240.0, 0.0, 0.0, 1.0};
    colourCalibration.intrinsic = {560.0, 0.0, 320.0, 0.0, 560.0, 240.0, 0.0, 0.0, 1.0};
    rotation = {1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0};
    translation = {25.0, 0.0, 0.0};

    exposure = {{0, 1000}, {1, 1000}, {254, 200}, {255, 3000}};

    // Built-in maximum depths of the six depth ranges, in mm.
    const uint16_t depthMax[] = {1249, 1874, 2498, 3123, 3747, 7495};
    for (uint8_t r = 0; r < 6; ++r) {
        measuringRanges[r] = MeasuringRange{depthMax[r], 50, depthMax[r]};
        depthRangeList.push_back(r);
    }
    dataModeList = {0, 1, 2};
    laser = {{0x30, 1}, {0x31, 0}, {0x08, 1}, {0x09, 0}, {0x0A, 0}};

    mcu[1] = McuParameters{1, 1, 100, 33333};
    mcu[2] = McuParameters{2, 1, 100, 0};
}

}  // namespace camsim
