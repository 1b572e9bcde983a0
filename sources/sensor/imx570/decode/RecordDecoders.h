#pragma once
#include <cstdint>

#include "Frame.h"
#include "RangeTable.h"
#include "ToFRecordLayout.h"

// The frames one record is decoded into; the caller owns them.
struct DecodeTargets {
    Frame& depth;
    Frame& ir;
    Frame& confidence;
};

struct RawRecordSettings {
    int depthRange;                              // 0 to 5
    uint16_t maxDepth;                           // wrap-around distance; 0 leaves depths unwrapped
    const RangeTable::OffsetTable* offsetTable;  // null: depths as decoded
    bool temperatureOffset;
    const uint16_t* background;  // per-pixel IR background, or null
};

// Decodes a raw four-phase payload into 16-bit depth, IR and confidence with their headers.
// False, with the frames left as they were, when the phase-block markers are wrong or a
// frame cannot hold the image.
bool DecodeRawRecord(const uint8_t* payload, const tofrecord::RawLayout& layout, const RawRecordSettings& settings,
                     DecodeTargets& targets);

// Copies the camera-computed depth, 8-bit IR and confidence planes with their headers. False
// when a frame cannot hold the image.
bool DecodeComputedRecord(const uint8_t* payload, const tofrecord::ComputedLayout& layout, int depthRange,
                          DecodeTargets& targets);
