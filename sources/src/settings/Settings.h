#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include <json/json.h>

#include "CommandRecords.h"
#include "FilterParams.h"

// What a settings file asks for, typed and checked before anything reaches the camera.
// An absent key is an empty optional; texts stay raw so that the walk judges and logs them
// in file order.
struct ExposureSettings {
    std::optional<bool> hdrMode;
    std::optional<std::string> colorExposureMode;
    std::optional<int32_t> colorExposureTime;
    std::optional<float> colorManualGain;
    std::optional<std::string> tofExposureMode;
    std::optional<int32_t> tofExposureTime;
};

struct ControlSettings {
    std::optional<std::string> colorResolution;
    std::optional<int32_t> frameRate;
    std::optional<int32_t> irGmmGain;
    std::optional<std::string> workMode;
};

struct FilterSettings {
    std::optional<bool> fillHole;
    std::optional<bool> spatial;
    std::optional<ConfidenceFilterParams> confidence;
    std::optional<FlyingPixelFilterParams> flyingPixel;
    std::optional<TimeFilterParams> time;
};

struct SignalSettings {
    std::optional<MCUParameters> input;
    std::optional<MCUParameters> output;
};

struct Settings {
    ExposureSettings exposure;
    ControlSettings control;
    FilterSettings filter;
    SignalSettings signal;
};

// Reads the four sections of a parsed settings file. A root that is not an object with
// members, or a section or known key whose JSON type cannot carry its value, gives -15 with
// a log line tagged `tag`; otherwise 0.
int ReadSettings(const Json::Value& root, const char* tag, Settings* settings);
