#pragma once
#include <cstddef>
#include <cstdint>

// Byte layouts of the ToF sensor records: a 5-byte head (type, 24-bit length, depth range in
// the low 4 bits of byte 4), then the payload.
namespace tofrecord {

constexpr uint8_t kRawFull = 0xB1;
constexpr uint8_t kRawBinned = 0xB2;
constexpr uint8_t kComputedFull = 0xB6;
constexpr uint8_t kComputedBinned = 0xB7;

constexpr size_t kHeadSize = 5;
constexpr int kDepthRangeCount = 6;  // ranges 0 to 5

// Four phase blocks, each the pixels' A/B taps (two little-endian uint16) and embedded data.
struct RawLayout {
    int width;
    int height;
    size_t blockSize;
    size_t markers[4];  // must read 0, 1, 2, 3
    size_t temperatureHigh;
    size_t temperatureLow;
    bool hasExposure;
    size_t exposure[4];  // most significant byte first
};

constexpr RawLayout kRawFullLayout = {640,     480,     1236480, {1231433, 2467913, 3704393, 4940873},
                                      1233977, 1233981, false,   {0, 0, 0, 0}};
constexpr RawLayout kRawBinnedLayout = {320,    240,    311040, {308553, 619593, 930633, 1241673},
                                        309817, 309821, true,   {313717, 313721, 313725, 313729}};

// uint16 depth, uint8 IR, uint16 confidence planes.
struct ComputedLayout {
    int width;
    int height;
};
constexpr ComputedLayout kComputedFullLayout = {640, 480};
constexpr ComputedLayout kComputedBinnedLayout = {320, 240};

// The only payload length a record of the type may have; 0 for a type that is not ToF.
constexpr size_t PayloadLength(uint8_t type) {
    switch (type) {
        case kRawFull: return 4 * kRawFullLayout.blockSize;
        case kRawBinned: return 4 * kRawBinnedLayout.blockSize;
        case kComputedFull: return 5 * static_cast<size_t>(kComputedFullLayout.width) * kComputedFullLayout.height;
        case kComputedBinned:
            return 5 * static_cast<size_t>(kComputedBinnedLayout.width) * kComputedBinnedLayout.height;
        default: return 0;
    }
}
static_assert(PayloadLength(kRawFull) == 4945920, "0xB1 payload");
static_assert(PayloadLength(kRawBinned) == 1244160, "0xB2 payload");
static_assert(PayloadLength(kComputedFull) == 1536000, "0xB6 payload");
static_assert(PayloadLength(kComputedBinned) == 384000, "0xB7 payload");

// The depth range of a record head: bits 24-27 of the little-endian word at bytes 1-4.
constexpr int HeadDepthRange(const uint8_t* head) { return head[4] & 0x0F; }

// Data modes: 14 to 18 deliver 320 by 240; the multi-frequency modes fix the depth range;
// the dual-range ones fuse two ranges.
constexpr bool IsBinnedMode(int mode) { return mode >= 14 && mode <= 18; }
constexpr bool IsMultiFrequencyMode(int mode) {
    return mode == 5 || mode == 7 || mode == 9 || mode == 10 || mode == 15 || mode == 17;
}
constexpr bool IsDualRangeMode(int mode) { return mode == 9 || mode == 10 || mode == 15; }

}  // namespace tofrecord
