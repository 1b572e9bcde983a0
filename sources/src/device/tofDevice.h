#pragma once
#include <memory>

#include "APIImgPreProcess.h"
#include "PreProcessFactory.h"
#include "SensorDevice.h"

// The device of a camera with a ToF sensor only: its pipeline hands every sensor record to
// the ToF plug-in and hands out depth, IR and confidence frames.
class tofDevice : public SensorDevice {
public:
    // Owns the plug-in, the transport and the preprocessing object (null when the library
    // gave none) from then on.
    tofDevice(const DeviceInfo& info, std::unique_ptr<ToF_API> tof, std::unique_ptr<IO> io,
              std::unique_ptr<APIImgPreProcess> preProcess = NewPreProcess(),
              linktiming::SleepFunction sleep = linktiming::SleepFor);
    ~tofDevice() override;

    // Tells the camera to fetch the file, then hands the path to the JSON controller; -19
    // without a JSON status callback (the camera was told all the same).
    int SetJsonPath_P(const char* path) override;

protected:
    void ReadCalibration() override;
};
