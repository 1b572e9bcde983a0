#pragma once
#include <cstdint>

// The ToF command set's range records, as the camera sends them and the decoder keeps them.
struct DualRangeParams {
    int32_t totalRange;
    int32_t range1;  // the range whose frame becomes the fusion reference
    int32_t range2;  // the range whose frame is unwrapped against it
    int32_t range3;
};
static_assert(sizeof(DualRangeParams) == 16, "DualRangeParams wire layout");

#pragma pack(push, 1)
struct MeasuringRange {
    uint8_t range;
    uint16_t effectDepthMax;
    uint16_t effectDepthMin;
    uint16_t depthMax;
};
#pragma pack(pop)
static_assert(sizeof(MeasuringRange) == 7, "MeasuringRange wire layout");
