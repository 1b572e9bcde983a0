#pragma once
#include <cstdint>

#include "../decode/RangeRecords.h"
#include "DSPParameters.h"
#include "FilterParams.h"

// Records of the ToF command set. Their layouts are those of the plug-in's property keys,
// so they are fixed.

#pragma pack(push, 1)
struct ExposureTime {
    // 0 the main exposure, 1 the second, 254 the HDR exposure, 255 the maximum (get only).
    uint8_t range;
    uint32_t exposureTime;
};
#pragma pack(pop)
static_assert(sizeof(ExposureTime) == 5, "ExposureTime layout");

// Depth range index, 0 to 5.
using DepthRange = int32_t;

struct DepthRangeList {
    uint8_t count;
    uint8_t ranges[9];
};
static_assert(sizeof(DepthRangeList) == 10, "DepthRangeList layout");

struct DataModeList {
    uint8_t count;
    uint8_t modes[32];
};
static_assert(sizeof(DataModeList) == 33, "DataModeList layout");

// 0 or 1.
using TestMode = int32_t;

struct TestModeParams {
    int32_t param1;
    int32_t param2;
    int32_t param3;
    int32_t param4;
};
static_assert(sizeof(TestModeParams) == 16, "TestModeParams layout");

// One status poll of a calibration-file transfer, each reply byte read as a signed byte.
struct TransferStatus {
    int type;
    int number;
    int status;  // 1 done, 0 failed, any other value still running
};
