#pragma once
#include <cstddef>
#include <cstdint>

#include "QlEnums.h"

// Frame-kind bits of the sync machinery; a value is any combination of them.
using HasFrameType = uint32_t;
constexpr HasFrameType HAS_DEPTH_FRAME = 0x1;
constexpr HasFrameType HAS_IR_FRAME = 0x2;
constexpr HasFrameType HAS_COLOR_FRAME = 0x4;
constexpr HasFrameType HAS_CONFIDENCE_FRAME = 0x8;

// The image record that crosses the plug-in boundary: its layout must not change.
#pragma pack(push, 1)
struct Frame {
    uint32_t frameIndex;
    FrameType frameType;
    PixelFormat pixelFormat;
    uint8_t* data;  // owned by the frame's pool
    uint32_t length;
    uint32_t capacity;
    float exposureTime;
    uint32_t depthRange;
    uint16_t width;
    uint16_t height;
    HasFrameType hasFrameType;
    uint64_t timestamp;
};
#pragma pack(pop)

static_assert(sizeof(void*) == 8, "the frame layout assumes 64-bit pointers");
static_assert(sizeof(Frame) == 52, "Frame layout is part of the plug-in boundary");
static_assert(offsetof(Frame, frameIndex) == 0, "Frame layout");
static_assert(offsetof(Frame, frameType) == 4, "Frame layout");
static_assert(offsetof(Frame, pixelFormat) == 8, "Frame layout");
static_assert(offsetof(Frame, data) == 12, "Frame layout");
static_assert(offsetof(Frame, length) == 20, "Frame layout");
static_assert(offsetof(Frame, capacity) == 24, "Frame layout");
static_assert(offsetof(Frame, exposureTime) == 28, "Frame layout");
static_assert(offsetof(Frame, depthRange) == 32, "Frame layout");
static_assert(offsetof(Frame, width) == 36, "Frame layout");
static_assert(offsetof(Frame, height) == 38, "Frame layout");
static_assert(offsetof(Frame, hasFrameType) == 40, "Frame layout");
static_assert(offsetof(Frame, timestamp) == 44, "Frame layout");

// Passed by value with every sensor record to a plug-in.
struct FrameSyncInfo {
    uint32_t frameIndex;  // first data frame is 1
    HasFrameType hasFrameType;
    uint64_t timestamp;  // 0 when the data frame carries none
};
static_assert(sizeof(FrameSyncInfo) == 16, "FrameSyncInfo is passed across the plug-in boundary");
static_assert(offsetof(FrameSyncInfo, hasFrameType) == 4, "FrameSyncInfo layout");
static_assert(offsetof(FrameSyncInfo, timestamp) == 8, "FrameSyncInfo layout");
