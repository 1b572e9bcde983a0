#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Scene.h"

namespace camsim {

enum class ToFRecordKind {
    None,      // no ToF record in the frame
    Computed,  // depth, IR and confidence computed by the camera (0xB6 / 0xB7)
    Raw,       // four-phase taps (0xB1 / 0xB2)
};

enum class ColourResolution {
    R640x480,    // record '4'
    R800x600,    // record '7'
    R1600x1200,  // record '6'
};

// Largest data-frame payload the host's receive buffer takes.
constexpr size_t kMaxDataFramePayload = 8235454;

struct FrameParams {
    Scene scene = Scene::Wall(1500);
    ToFRecordKind tofKind = ToFRecordKind::Computed;
    // Data modes 14 to 18 are binned: 0xB2 / 0xB7 at 320x240.
    uint8_t dataMode = 0;
    // 0 to 5 for raw records; computed records carry any value 0 to 15.
    uint8_t depthRange = 0;
    // When 0 to 15, frames with an odd frameCounter carry this range instead
    // (the two ranges of a dual-range mode alternate). -1: always depthRange.
    int alternateDepthRange = -1;
    // ToF exposure in the camera's unit (microseconds); 0xB2 records carry it
    // as a sensor clock count, 120 counts per microsecond.
    uint32_t exposureTime = 1000;
    // Sensor temperature word (10 bits) of raw records.
    uint16_t temperatureRaw = 296;
    bool colour = false;
    ColourResolution colourResolution = ColourResolution::R640x480;
    float colourExposure = 0.033f;  // trailing float of a colour record
    uint64_t timestamp = 0;
    uint32_t frameCounter = 0;
    // Non-empty: the frame also carries an error-list record with these texts.
    std::vector<std::string> errors;
};

class ToFRecords;
class ColourRecords;

// Builds the records of one data frame (without the 8-byte data-frame head):
// timestamp, then the error list when asked, then at most one ToF record and
// one colour record. Keeps per-scene tables, so a streaming camera holds one
// builder and one buffer and allocates nothing per frame once warmed up.
class DataFrameBuilder {
public:
    DataFrameBuilder();
    ~DataFrameBuilder();
    DataFrameBuilder(const DataFrameBuilder&) = delete;
    DataFrameBuilder& operator=(const DataFrameBuilder&) = delete;

    // Replaces out's contents with the payload (out's capacity is reused).
    // Throws std::invalid_argument for parameters that cannot be encoded.
    void Build(const FrameParams& params, std::vector<uint8_t>& out);

private:
    std::unique_ptr<ToFRecords> m_tof;
    std::unique_ptr<ColourRecords> m_colour;
};

// One-off convenience for tests; streaming code keeps a DataFrameBuilder.
std::vector<uint8_t> BuildDataFramePayload(const FrameParams& params);

}  // namespace camsim
