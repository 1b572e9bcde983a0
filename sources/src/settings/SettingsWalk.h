#pragma once
#include <functional>
#include <string>

#include "BaseDevice.h"
#include "Settings.h"

// The fill-hole and spatial filter switches, which the API offers as functions of its own
// (they change only the enable flag of the device's filter record). Both must be set.
struct FilterSwitches {
    std::function<int(bool)> setFillHoleEnabled;
    std::function<int(bool)> setSpatialEnabled;
};

// Applies settings to one device in a fixed order: HDR first, then "Control",
// "ExposureTime", "Filter" and "SignalParams". The first operation that fails ends the walk
// with its unmapped result; what was applied before stays applied.
class SettingsWalk {
public:
    // Borrows the device and the switches for the walk.
    SettingsWalk(BaseDevice& device, const FilterSwitches& switches);

    int Apply(const Settings& settings);

private:
    int ApplyHDR(const ExposureSettings& exposure);
    int ApplyControl(const ControlSettings& control);
    int ApplyExposure(const ExposureSettings& exposure);
    int ApplyColorExposure(const ExposureSettings& exposure);
    int ApplyToFExposure(const ExposureSettings& exposure);
    int ApplyFilter(const FilterSettings& filter);
    int ApplySignals(const SignalSettings& signal);
    // The sensor's current exposure control mode; when the device cannot say, the mode
    // this walk last set for that sensor, else automatic (0).
    int ExposureMode(SensorType sensor);
    int KnownMode(SensorType sensor) const;

    BaseDevice& m_device;
    const FilterSwitches& m_switches;
    const std::string m_tag;
    int m_colorMode = 0;  // the exposure modes this walk set
    int m_tofMode = 0;
};
