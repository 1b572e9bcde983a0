#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Scene.h"

namespace camsim {

constexpr uint8_t kRawFullRecordType = 0xB1;
constexpr uint8_t kRawBinnedRecordType = 0xB2;
constexpr uint8_t kComputedFullRecordType = 0xB6;
constexpr uint8_t kComputedBinnedRecordType = 0xB7;
constexpr int kRawDepthRanges = 6;

// The farthest distance a depth range (0 to 5) tells apart: the phase turns once over it,
// so a surface beyond it reads as its distance less this (the raw records wrap).
uint16_t UnambiguousDistanceMm(uint8_t depthRange);
// One line per depth range ("  0  up to 1249 mm"), for a help text.
std::string DepthRangesHelp();
// What a user should know before raw records of the scene go out in this range; empty when
// the scene decodes to its true depth.
std::string RawWrapNotice(const Scene& scene, uint8_t depthRange);

// Encodes the ToF records of a scene. The payloads depend only on the scene,
// the resolution and (raw) the depth range and temperature, so they are built
// once and copied per frame; only the 0xB2 exposure is patched per frame.
class ToFRecords {
public:
    // 0xB6 (640x480) or 0xB7 (320x240): depth, 8-bit IR and confidence planes.
    // The range (0 to 15) goes into the low 4 bits of head byte 4.
    void AppendComputed(std::vector<uint8_t>& out, const Scene& scene, bool binned, uint8_t depthRange);

    // 0xB1 or 0xB2: four-phase taps that decode to the scene's depth in the
    // given range (0 to 5; other values throw std::invalid_argument).
    void AppendRaw(std::vector<uint8_t>& out, const Scene& scene, bool binned, uint8_t depthRange,
                   uint16_t temperatureRaw, uint32_t exposureTime);

private:
    struct Entry {
        Scene scene;
        bool binned;
        uint8_t depthRange;       // raw only
        uint16_t temperatureRaw;  // raw only
        std::vector<uint8_t> payload;
    };

    // Small bounded caches: dual-range modes alternate two raw ranges.
    static constexpr size_t kRawCacheSize = 2;

    const std::vector<uint8_t>& RawPayload(const Scene& scene, bool binned, uint8_t depthRange,
                                           uint16_t temperatureRaw);

    std::optional<Entry> m_computed;
    std::vector<Entry> m_raw;  // at most kRawCacheSize entries, newest last
};

}  // namespace camsim
