#include "SettingsWalk.h"

#include <cstring>
#include <optional>

#include "PropertyKeys.h"
#include "log.h"

namespace {

constexpr int kManualExposure = 1;
constexpr int kActiveMode = 0;
constexpr const propertykeys::Key& kSignalKey = propertykeys::Of(propertykeys::Id::MCUparameters);
constexpr const propertykeys::Key& kColorGainKey = propertykeys::Of(propertykeys::Id::ColorGain);

struct NamedValue {
    const char* text;
    int value;
};
const NamedValue kExposureModes[] = {{"Auto", 0}, {"Manual", 1}};
const NamedValue kWorkModes[] = {{"ActiveMode", 0}, {"HardwareTriggerMode", 1}, {"SoftwareTriggerMode", 2}};

struct NamedResolution {
    const char* text;
    int width;
    int height;
};
const NamedResolution kResolutions[] = {{"640*480", 640, 480}, {"800*600", 800, 600}, {"1600*1200", 1600, 1200}};

template <typename Entry, size_t N>
const Entry* Find(const Entry (&table)[N], const std::string& text) {
    for (const Entry& entry : table)
        if (text == entry.text) return &entry;
    return nullptr;
}

}  // namespace

SettingsWalk::SettingsWalk(BaseDevice& device, const FilterSwitches& switches)
    : m_device(device), m_switches(switches), m_tag(device.GetDeviceInfo().serialNumber) {}

int SettingsWalk::Apply(const Settings& settings) {
    int result = ApplyHDR(settings.exposure);
    if (result == 0) result = ApplyControl(settings.control);
    if (result == 0) result = ApplyExposure(settings.exposure);
    if (result == 0) result = ApplyFilter(settings.filter);
    if (result == 0) result = ApplySignals(settings.signal);
    return result;
}

int SettingsWalk::ApplyHDR(const ExposureSettings& exposure) {
    if (!exposure.hdrMode) return 0;
    const int result = m_device.SetHDRModeEnabled(*exposure.hdrMode);
    if (result != 0) LOG_DEVICE(m_tag.c_str(), "SetHDRModeEnabled fail : %d ", result);
    return result;
}

int SettingsWalk::ApplyControl(const ControlSettings& control) {
    const char* tag = m_tag.c_str();
    if (control.colorResolution) {
        const NamedResolution* resolution = Find(kResolutions, *control.colorResolution);
        if (resolution == nullptr) {
            LOG_DEVICE(tag, "ColorResolution set fail: %s", control.colorResolution->c_str());
        } else if (const int result = m_device.SetColorResolution(resolution->width, resolution->height)) {
            LOG_DEVICE(tag, "SetColorResolution fail : %d", result);
            return result;
        }
    }
    if (control.frameRate && *control.frameRate != 0) {
        if (const int result = m_device.SetFrameRate(*control.frameRate)) {
            LOG_DEVICE(tag, "SetFrameRate fail : %d  ", result);
            return result;
        }
    }
    if (control.irGmmGain) {
        if (const int result = m_device.SetIRGMMGain(*control.irGmmGain)) {
            LOG_DEVICE(tag, "SetIRGMMGain fail : %d  ", result);
            return result;
        }
    }
    if (control.workMode) {
        const NamedValue* mode = Find(kWorkModes, *control.workMode);
        if (mode == nullptr) LOG_DEVICE(tag, "WorkMode set fail: %s", control.workMode->c_str());
        if (const int result = m_device.SetWorkMode(mode != nullptr ? mode->value : kActiveMode)) {
            LOG_DEVICE(tag, "SetWorkMode fail: %d", result);
            return result;
        }
    }
    return 0;
}

int SettingsWalk::ApplyExposure(const ExposureSettings& exposure) {
    const int result = ApplyColorExposure(exposure);
    return result != 0 ? result : ApplyToFExposure(exposure);
}

int SettingsWalk::ApplyColorExposure(const ExposureSettings& exposure) {
    const char* tag = m_tag.c_str();
    if (exposure.colorExposureMode) {
        const NamedValue* mode = Find(kExposureModes, *exposure.colorExposureMode);
        if (mode == nullptr) {
            LOG_DEVICE(tag, "Color_ExposureMode set fail: %s", exposure.colorExposureMode->c_str());
        } else if (const int result = m_device.SetExposureControlMode(SENSOR_TYPE_COLOR, mode->value)) {
            LOG_DEVICE(tag, "SetExposureControlMode - Color_ExposureMode fail: %d ", result);
            return result;
        } else {
            m_colorMode = mode->value;
        }
    }
    if (exposure.colorExposureTime) {
        const ExposureTimeParams params{ExposureMode(SENSOR_TYPE_COLOR), *exposure.colorExposureTime};
        if (const int result = m_device.SetExposureTime(SENSOR_TYPE_COLOR, params)) {
            LOG_DEVICE(tag, "SetExposureTime - Color_ExposureTime fail : %d ", result);
            return result;
        }
    }
    if (exposure.colorManualGain && ExposureMode(SENSOR_TYPE_COLOR) == kManualExposure) {
        const float gain = *exposure.colorManualGain;
        if (const int result = m_device.SetProperty(kColorGainKey.name, &gain, kColorGainKey.size)) {
            LOG_DEVICE(tag, "SetColorGain fail : %d ", result);
            return result;
        }
    }
    return 0;
}

int SettingsWalk::ApplyToFExposure(const ExposureSettings& exposure) {
    const char* tag = m_tag.c_str();
    if (exposure.tofExposureMode) {
        const NamedValue* mode = Find(kExposureModes, *exposure.tofExposureMode);
        if (mode == nullptr) {
            LOG_DEVICE(tag, "ToF_ExposureMode set fail: %s", exposure.tofExposureMode->c_str());
        } else if (const int result = m_device.SetExposureControlMode(SENSOR_TYPE_TOF, mode->value)) {
            LOG_DEVICE(tag, "SetExposureControlMode - ToF_ExposureMode fail: %d", result);
            return result;
        } else {
            m_tofMode = mode->value;
        }
    }
    if (exposure.tofExposureTime && ExposureMode(SENSOR_TYPE_TOF) == kManualExposure) {
        const ExposureTimeParams params{kManualExposure, *exposure.tofExposureTime};
        if (const int result = m_device.SetExposureTime(SENSOR_TYPE_TOF, params)) {
            LOG_DEVICE(tag, "SetExposureTime - ToF_ExposureTime fail : %d ", result);
            return result;
        }
    }
    return 0;
}

int SettingsWalk::ApplyFilter(const FilterSettings& filter) {
    const char* tag = m_tag.c_str();
    if (filter.fillHole) {
        if (const int result = m_switches.setFillHoleEnabled(*filter.fillHole)) {
            LOG_DEVICE(tag, "QL_SetFillHoleFilterEnabled fail!  Fillhole: %d  ", *filter.fillHole);
            return result;
        }
    }
    if (filter.spatial) {
        if (const int result = m_switches.setSpatialEnabled(*filter.spatial)) {
            LOG_DEVICE(tag, "SetSpatialFilterEnabled fail! SpatialFilter: %d ", *filter.spatial);
            return result;
        }
    }
    if (filter.confidence) {
        const ConfidenceFilterParams params = *filter.confidence;
        if (const int result = m_device.SetConfidenceFilterParams(params)) {
            LOG_DEVICE(tag, "SetConfidenceFilterParams fail : %d ConfidenceFilter: %d ConfidenceFilter_Threshold: %d",
                       result, params.enable, static_cast<int>(params.threshold));
            return result;
        }
    }
    if (filter.flyingPixel) {
        const FlyingPixelFilterParams params = *filter.flyingPixel;
        if (const int result = m_device.SetFlyingPixelFilterParams(params)) {
            LOG_DEVICE(tag,
                       "SetFlyingPixelFilterParams fail : %d FlyingPixelFilter: %d FlyingPixelFilter_Threshold: %d",
                       result, params.enable, static_cast<int>(params.threshold));
            return result;
        }
    }
    if (filter.time) {
        const TimeFilterParams params = *filter.time;
        if (const int result = m_device.SetTimeFilterParams(params)) {
            LOG_DEVICE(tag, "SetTimeFilterParams fail : %d  TimeFilter: %d  TimeFilter_Threshold: %d", result,
                       params.enable, static_cast<int>(params.threshold));
            return result;
        }
    }
    return 0;
}

int SettingsWalk::ApplySignals(const SignalSettings& signal) {
    const char* tag = m_tag.c_str();
    if (signal.input) {
        const MCUParameters record = *signal.input;
        if (const int result = m_device.SetProperty(kSignalKey.name, &record, kSignalKey.size)) {
            LOG_DEVICE(tag, "SetInputSignalParamsForHWTrigger fail : %d ", result);
            return result;
        }
    }
    if (signal.output) {
        const MCUParameters record = *signal.output;
        if (const int result = m_device.SetProperty(kSignalKey.name, &record, kSignalKey.size)) {
            LOG_DEVICE(tag, "SetOutputSignalParamsForHWTrigger fail : %d ", result);
            return result;
        }
    }
    return 0;
}

int SettingsWalk::ExposureMode(SensorType sensor) {
    const int known = KnownMode(sensor);
    int mode = known;
    if (const int result = m_device.GetExposureControlMode(sensor, &mode)) {
        LOG_DEVICE(m_tag.c_str(), "GetExposureControlMode of sensor %d fail : %d, mode %d kept",
                   static_cast<int>(sensor), result, known);
        return known;
    }
    return mode;
}

int SettingsWalk::KnownMode(SensorType sensor) const { return sensor == SENSOR_TYPE_COLOR ? m_colorMode : m_tofMode; }
