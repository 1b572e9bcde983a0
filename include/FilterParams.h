#pragma once
#include <cstdint>

// The depth filters' settings as the device and the ToF plug-in pass them: packed, enable first.
#pragma pack(push, 1)
struct TimeFilterParams {
    uint8_t enable;
    int32_t threshold;
};
struct ConfidenceFilterParams {
    uint8_t enable;
    int32_t threshold;
};
struct FlyingPixelFilterParams {
    uint8_t enable;
    int32_t threshold;
};
struct SpatialFilterParams {
    uint8_t enable;
    int32_t validCount;
    int32_t deviationPercent;
    int32_t iterations;
};
struct FillHoleFilterParams {
    uint8_t enable;
    int32_t validCount;
    int32_t deviationShift;
    int32_t iterations;
};
#pragma pack(pop)

static_assert(sizeof(TimeFilterParams) == 5, "filter record layout");
static_assert(sizeof(ConfidenceFilterParams) == 5, "filter record layout");
static_assert(sizeof(FlyingPixelFilterParams) == 5, "filter record layout");
static_assert(sizeof(SpatialFilterParams) == 13, "filter record layout");
static_assert(sizeof(FillHoleFilterParams) == 13, "filter record layout");
