#pragma once

// The plug-in's property keys. The numbers are the keys' identities in the dispatch.
enum class ToFKey {
    TemperatureOffsetEnable = 1,
    WDRStyle,
    Register,
    DualFreqParams,
    MeasuringRange,
    DataMode,
    DepthRange,
    LDState,
    CDMAEnable,
    APCState,
    LDDriverChipType,
    LDType,
    DepthRangeList,
    DataModeList,
    DSP,
    TransferFile,
    IRPixelFormat,
    SaveRawToFImg,
    ToFExposureTimeMax,
    TestMode,
    HDRExposureTime,
    PhaseTiming,
    IRBG,
};

struct ToFPropertyKey {
    static constexpr int kAnySize = -1;

    ToFKey key;
    int size;  // kAnySize: not checked
    bool settable;
    bool gettable;
};

// The entry of a key text, null for a key the plug-in does not know.
const ToFPropertyKey* FindToFPropertyKey(const char* text);
