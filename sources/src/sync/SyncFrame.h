#pragma once
#include <cstddef>
#include <cstdint>

#include "Frame.h"

// One group of frames that share a frame index. Inside Sync the frames are borrowed from
// the plug-ins; in a frame request the pointers name the caller's destination frames.
#pragma pack(push, 1)
struct SyncFrame {
    uint32_t frameIndex;  // 0: the record is empty
    Frame* colorFrame;
    Frame* depthFrame;
    Frame* irFrame;
    Frame* confidenceFrame;
    uint8_t hasDepth;
    uint8_t hasIR;
    uint8_t hasConfidence;
    uint8_t hasColor;
    // HasFrameType bits the group needs; in a published group, the kinds it holds.
    HasFrameType mask;
};
#pragma pack(pop)

static_assert(sizeof(SyncFrame) == 44, "SyncFrame layout");
static_assert(offsetof(SyncFrame, hasDepth) == 36, "SyncFrame layout");
static_assert(offsetof(SyncFrame, mask) == 40, "SyncFrame layout");
