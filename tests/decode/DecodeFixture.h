#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "DepthOracle.h"
#include "FakeConsumer.h"
#include "FakeProducer.h"
#include "Scene.h"
#include "TempDir.h"
#include "ToFRecords.h"
#include "TofDecode.h"

// The built-in measuring ranges of a camera whose list cannot be read.
constexpr uint16_t kDepthMax[6] = {1249, 1874, 2498, 3123, 3747, 7495};
constexpr uint16_t kEffectDepthMax[6] = {1249, 1874, 2498, 3123, 3747, 4500};
constexpr uint16_t kEffectDepthMin[6] = {450, 450, 450, 450, 450, 450};
// A sensor temperature word whose offset is positive in range 0 and negative in the others.
constexpr uint16_t kTemperatureRaw = 0x1F0;
constexpr HasFrameType kAllKinds = HAS_DEPTH_FRAME | HAS_IR_FRAME | HAS_CONFIDENCE_FRAME;

std::vector<uint8_t> RawRecord(const camsim::Scene& scene, bool binned, uint8_t range,
                               uint16_t temperature = kTemperatureRaw, uint32_t exposure = 1000);
std::vector<uint8_t> ComputedRecord(const camsim::Scene& scene, bool binned, uint8_t range);
// A raw record of the given range whose taps are all zero, with valid markers.
std::vector<uint8_t> ZeroTapRecord(bool binned, uint8_t range, uint16_t temperature = kTemperatureRaw);

// The frame a producer would hand over for a record held by the test.
Frame RawFrameOver(std::vector<uint8_t>& record, uint32_t index = 1, HasFrameType bits = kAllKinds);

std::vector<uint16_t> Pixels16(const Frame& frame);
std::vector<uint8_t> Pixels8(const Frame& frame);

// A decoder over its own calibration folder, filters off unless the test adds a
// preprocessing object or a confidence-factor file.
class DecodeTest : public ::testing::Test {
protected:
    void TearDown() override;

    // Builds the decoder; calibration files must be written before.
    TofDecode& Make(APIImgPreProcess* preprocess = nullptr);
    void LoadBuiltInRanges() { decode->InitRangeValue(kDepthMax, kEffectDepthMax, kEffectDepthMin); }
    std::string Folder() const { return dir.Path() + "/"; }
    void WriteTable(const std::string& name, const std::vector<uint16_t>& values) const;

    // Decodes a record held by the test; true when frames came out.
    bool Decode(std::vector<uint8_t>& record, uint32_t index = 1, HasFrameType bits = kAllKinds);
    // The queued frame of that kind, or null when none is queued (no wait).
    Frame* Take(FrameType type);
    // Decoding with every output frame taken and given back.
    void DecodeAndDrop(std::vector<uint8_t>& record);

    oracle::Planes Expected(const std::vector<uint8_t>& record, int maxDepth, bool temperatureOffset = true,
                            const std::vector<uint16_t>* background = nullptr,
                            const std::vector<uint16_t>* table = nullptr) const;

    testsupport::TempDir dir;
    FakeProducer producer;
    testsupport::FakeConsumer consumer;
    std::unique_ptr<TofDecode> decode;
    std::vector<Frame*> taken;
};
