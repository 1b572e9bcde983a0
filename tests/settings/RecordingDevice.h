#pragma once
#include <cstring>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "BaseDevice.h"
#include "ScriptedIO.h"
#include "SettingsWalk.h"

namespace settingstest {

inline DeviceInfo MakeDeviceInfo() {
    DeviceInfo info;
    std::strncpy(info.serialNumber, "SN01", sizeof(info.serialNumber) - 1);
    return info;
}

// A device that writes down every operation the settings reach, in order, and answers
// 0 unless a failure is scripted for that call's position. It keeps the exposure modes it
// was given, so the walk's queries read back what it set.
class RecordingDevice : public BaseDevice {
public:
    RecordingDevice() : BaseDevice(MakeDeviceInfo(), std::make_unique<testsupport::ScriptedIO>()) {}

    std::vector<std::string> calls;
    std::map<size_t, int> failures;  // call position (from 0) -> result
    int colorMode = 0;
    int tofMode = 0;

    FilterSwitches Switches() {
        return {[this](bool enable) { return Record("SetFillHoleFilterEnabled", enable); },
                [this](bool enable) { return Record("SetSpatialFilterEnabled", enable); }};
    }

    int SetHDRModeEnabled(bool enable) override { return Record("SetHDRModeEnabled", enable); }
    int SetColorResolution(int width, int height) override { return Record("SetColorResolution", width, height); }
    int SetFrameRate(int fps) override { return Record("SetFrameRate", fps); }
    int SetIRGMMGain(int gain) override { return Record("SetIRGMMGain", gain); }
    int SetWorkMode(int mode) override { return Record("SetWorkMode", mode); }
    int SetExposureControlMode(SensorType type, int mode) override {
        const int result = Record("SetExposureControlMode", type, mode);
        if (result == 0) (type == SENSOR_TYPE_COLOR ? colorMode : tofMode) = mode;
        return result;
    }
    int GetExposureControlMode(SensorType type, int* mode) override {
        const int result = Record("GetExposureControlMode", type);
        // A failed query leaves rubbish behind, which the walk must not use.
        *mode = result == 0 ? (type == SENSOR_TYPE_COLOR ? colorMode : tofMode) : 77;
        return result;
    }
    int SetExposureTime(SensorType type, ExposureTimeParams params) override {
        return Record("SetExposureTime", type, params.mode, params.exposureTime);
    }
    int SetProperty(const char* key, const void* data, int dataSize) override {
        if (std::strcmp(key, "Py_ColorGain") == 0 && dataSize == 4) {
            float gain = 0;
            std::memcpy(&gain, data, sizeof(gain));
            return Record("SetProperty", key, gain);
        }
        if (std::strcmp(key, "Py_MCUparameters") == 0 && dataSize == 6) {
            MCUParameters p{};
            std::memcpy(&p, data, sizeof(p));
            return Record("SetProperty", key, int(p.signalType), int(p.polarity), int(p.width), int(p.intervalOrDelay));
        }
        return Record("SetProperty", key, dataSize);
    }
    int SetConfidenceFilterParams(ConfidenceFilterParams p) override {
        return Record("SetConfidenceFilterParams", int(p.enable), int(p.threshold));
    }
    int SetFlyingPixelFilterParams(FlyingPixelFilterParams p) override {
        return Record("SetFlyingPixelFilterParams", int(p.enable), int(p.threshold));
    }
    int GetFillHoleFilterParams(FillHoleFilterParams* p) override {
        *p = FillHoleFilterParams{0, 4, 5, 6};
        return Record("GetFillHoleFilterParams");
    }
    int SetFillHoleFilterParams(FillHoleFilterParams p) override {
        return Record("SetFillHoleFilterParams", int(p.enable), int(p.validCount), int(p.deviationShift),
                      int(p.iterations));
    }
    int GetSpatialFilterParams(SpatialFilterParams* p) override {
        *p = SpatialFilterParams{1, 7, 8, 9};
        return Record("GetSpatialFilterParams");
    }
    int SetSpatialFilterParams(SpatialFilterParams p) override {
        return Record("SetSpatialFilterParams", int(p.enable), int(p.validCount), int(p.deviationPercent),
                      int(p.iterations));
    }
    int SetTimeFilterParams(TimeFilterParams p) override {
        return Record("SetTimeFilterParams", int(p.enable), int(p.threshold));
    }

private:
    // "Name(a,b,...)"; the call's scripted result.
    template <typename... Args>
    int Record(const char* name, Args... args) {
        std::ostringstream text;
        text << name << '(';
        [[maybe_unused]] const char* separator = "";
        ((text << separator << args, separator = ","), ...);
        text << ')';
        calls.push_back(text.str());
        const auto failure = failures.find(calls.size() - 1);
        return failure == failures.end() ? 0 : failure->second;
    }
};

}  // namespace settingstest
