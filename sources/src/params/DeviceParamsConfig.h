#pragma once
#include <cstdint>
#include <string>

class IniConfig;

// Per-model depth-processing parameters with built-in defaults, optionally filled from the
// model's INI file. The kit reads only LogToConsole (the log's console flag). Created and
// released on the application's thread by initialisation and shut-down; no lock.
class DeviceParamsConfig {
public:
    struct DualFreqMode {
        int32_t totalRange, range1, range2, range3;
    };
    static constexpr int kFilterThresholdCount = 11;  // the filter keys GetFilterThreshold hands over
    struct FilterThreshold {
        uint16_t values[kFilterThresholdCount];
    };
    static constexpr int kIntrinsicCount = 9;   // the 3 x 3 camera matrix
    static constexpr int kDistortionCount = 8;  // the distortion coefficients
    static constexpr int32_t kNotSet = -255;    // a session key that no INI file has set

    static DeviceParamsConfig* GetInstance();
    static void Release();

    // Reads "<config folder>/config_<model>.ini" for a product type (the camera's one-byte
    // device type); the second form takes the folder, so tests need not touch the home folder.
    void ReadIni(int type, int session);
    void ReadIni(const std::string& configFolder, int type, int session);
    // Reads the keys of section "session<session + 1>"; 1.
    int InitParamsFormINI(IniConfig& ini, int session);

    bool IsCheckedInfoOK() const { return m_checkedInfoOK; }
    DualFreqMode GetDualFreqMode() const;
    FilterThreshold GetFilterThreshold() const;

    // The INI file could be opened; it fits the camera.
    bool m_iniLoaded = false;
    bool m_checkedInfoOK = true;

    // Section "settings".
    bool LogToConsole = false;
    int32_t ReleaseVersion = 0;
    int32_t DeviceType = 0;
    int32_t SessionCount = 0;

    // Session keys.
    int32_t DataMode = kNotSet;
    std::string ValidOutMode, ValidRange;
    int32_t DepthRange = kNotSet, RGB_Resolution = kNotSet, BG_Threshold = kNotSet, PulseCount = kNotSet,
            GmmGain = kNotSet;
    bool S2_BG = true;
    bool Sync = false, MapperDepthToRGBEnabled = false, MapperRGBToDepthEnabled = false, MapperRGBToIREnabled = false;
    int32_t t1_totalRange = 3, t1_range1 = 0, t1_range1Count = 0, t1_range2 = 0, t1_range2Count = 0, t1_range3 = 0,
            t1_range3Count = 0, t1_threshold1 = 1300, t1_threshold2 = 3200;
    bool ComputeRealDepthEnabled = true, DepthDistortionEnabled = true, IRDistortionEnabled = true,
         RGBDistortionEnabled = true, RGBCorrectionEnabled = false, SmoothingFilterEnabled = true,
         TimeFilterEnabled = true, SpatialFilterEnabled = true;
    int32_t timeFilterThreshold = 6, timeShiftRatio = 3, fillHoleThreshold = 3, badBlockThreshold = 4,
            firstSpatialThreshold = 5, twiceSpatialThrehold = 5, spatialSwitchThreshold = 0,
            spatialSwitchThresholdEdge = 5, spatialCount = 2, fillHoleCount = 1, outputAscend = 0, outofMaxRange = 0;
    bool timeFilterDepth = false;
    int32_t algoType = 0;
    double DepthIntrinsic[kIntrinsicCount] = {};
    double DepthDistortion[kDistortionCount] = {};
};
