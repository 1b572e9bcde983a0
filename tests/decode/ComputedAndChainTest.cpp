#include <cstring>
#include <tuple>

#include "DecodeFixture.h"
#include "IdentityPreProcess.h"

namespace {

using camsim::Scene;

// Records the limits the decoder hands to the preprocessing object.
class RangeRecordingPreProcess : public testsupport::IdentityPreProcess {
public:
    void SetDepthRangeValue(int range, int max, int min) override { ranges.emplace_back(range, max, min); }
    std::vector<std::tuple<int, int, int>> ranges;
};

class ComputedDecode : public DecodeTest, public ::testing::WithParamInterface<bool> {};

TEST_P(ComputedDecode, PlanesAreCopiedWithTheirHeaders) {
    const bool binned = GetParam();
    const int width = binned ? 320 : 640, height = binned ? 240 : 480;
    const size_t n = static_cast<size_t>(width) * height;
    Make();
    LoadBuiltInRanges();
    std::vector<uint8_t> record = ComputedRecord(Scene::Ramp(500, 4000), binned, 3);
    ASSERT_TRUE(Decode(record, 7));
    Frame* depth = Take(FRAME_DEPTH);
    Frame* ir = Take(FRAME_IR);
    Frame* confidence = Take(FRAME_CONFIDENCE);
    ASSERT_NE(depth, nullptr);
    ASSERT_NE(ir, nullptr);
    ASSERT_NE(confidence, nullptr);
    EXPECT_EQ(std::memcmp(depth->data, record.data() + 5, 2 * n), 0);
    EXPECT_EQ(std::memcmp(ir->data, record.data() + 5 + 2 * n, n), 0);
    EXPECT_EQ(std::memcmp(confidence->data, record.data() + 5 + 3 * n, 2 * n), 0);
    EXPECT_EQ(depth->length, 2 * n);
    EXPECT_EQ(ir->length, n);
    EXPECT_EQ(ir->pixelFormat, PIXEL_FORMAT_GRAY8);
    EXPECT_EQ(confidence->length, 2 * n);
    for (const Frame* frame : {depth, ir, confidence}) {
        EXPECT_EQ(frame->width, width);
        EXPECT_EQ(frame->height, height);
        EXPECT_EQ(frame->depthRange, 3u);
        EXPECT_EQ(frame->exposureTime, 0.0f);
        EXPECT_EQ(frame->frameIndex, 7u);
        EXPECT_EQ(static_cast<uint64_t>(frame->timestamp), 1007u);  // a copy: the field is packed
        EXPECT_EQ(frame->hasFrameType, kAllKinds);
    }
    EXPECT_EQ(consumer.Notices(), (std::vector<HasFrameType>{HAS_DEPTH_FRAME, HAS_IR_FRAME, HAS_CONFIDENCE_FRAME}));
}

INSTANTIATE_TEST_SUITE_P(Resolutions, ComputedDecode, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Binned" : "Full"; });

TEST_F(DecodeTest, ComputedRecordOfRange6GivesNoFrame) {
    Make();
    std::vector<uint8_t> record = ComputedRecord(Scene::Wall(1000), false, 6);
    EXPECT_FALSE(Decode(record));
    EXPECT_FALSE(decode->IsFrameReady(FRAME_DEPTH));
    EXPECT_TRUE(consumer.Notices().empty());
}

TEST_F(DecodeTest, OnlyTheRecordsKindsAreHandedOut) {
    Make();
    std::vector<uint8_t> record = ComputedRecord(Scene::Wall(1000), false, 0);
    ASSERT_TRUE(Decode(record, 1, HAS_DEPTH_FRAME | HAS_IR_FRAME));
    EXPECT_EQ(consumer.Notices(), (std::vector<HasFrameType>{HAS_DEPTH_FRAME, HAS_IR_FRAME}));
    EXPECT_FALSE(decode->IsFrameReady(FRAME_CONFIDENCE));
    // The confidence frame is kept and filled again by the next record.
    ASSERT_TRUE(Decode(record, 2, HAS_CONFIDENCE_FRAME));
    Frame* confidence = Take(FRAME_CONFIDENCE);
    ASSERT_NE(confidence, nullptr);
    EXPECT_EQ(confidence->frameIndex, 2u);
}

TEST_F(DecodeTest, FlushFlagGivesDecodedFramesBack) {
    Make();
    std::vector<uint8_t> record = ComputedRecord(Scene::Wall(1000), false, 0);
    decode->RecycleCache();
    EXPECT_TRUE(Decode(record));
    EXPECT_TRUE(consumer.Notices().empty());
    for (FrameType type : {FRAME_DEPTH, FRAME_IR, FRAME_CONFIDENCE}) {
        EXPECT_FALSE(decode->IsFrameReady(type));
    }
}

TEST_F(DecodeTest, FrameHandOutByType) {
    Make();
    EXPECT_TRUE(decode->IsFrameReady(FRAME_COLOR));
    EXPECT_FALSE(decode->IsFrameReady(FRAME_DEPTH));
    Frame* frame = nullptr;
    EXPECT_EQ(decode->GetFrame(FRAME_COLOR, &frame), -1);
    EXPECT_EQ(frame, nullptr);
    EXPECT_EQ(decode->GetFrame(FRAME_DEPTH, nullptr), -1);
    Frame colour{};
    colour.frameType = FRAME_COLOR;
    EXPECT_EQ(decode->RecycleFrame(&colour), -1);
    EXPECT_EQ(decode->RecycleFrame(nullptr), -1);

    std::vector<uint8_t> record = ComputedRecord(Scene::Wall(1000), false, 0);
    ASSERT_TRUE(Decode(record));
    ASSERT_EQ(decode->GetFrame(FRAME_IR, &frame), 0);
    EXPECT_EQ(frame->frameType, FRAME_IR);
    EXPECT_EQ(decode->RecycleFrame(frame), 0);
}

TEST_F(DecodeTest, QueuesKeepTheNewestTwoFramesAndPoolsRefill) {
    Make();
    std::vector<uint8_t> record = ComputedRecord(Scene::Wall(1000), false, 0);
    for (uint32_t index = 1; index <= 20; ++index) {
        ASSERT_TRUE(Decode(record, index));
    }
    Frame* first = Take(FRAME_DEPTH);
    Frame* second = Take(FRAME_DEPTH);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(first->frameIndex, 19u);
    EXPECT_EQ(second->frameIndex, 20u);
    EXPECT_EQ(Take(FRAME_DEPTH), nullptr);
}

TEST_F(DecodeTest, EmptyPoolDropsTheRecord) {
    Make();
    std::vector<uint8_t> record = ComputedRecord(Scene::Wall(1000), false, 0);
    // Hold every depth frame: two queued, six taken by the application.
    std::vector<Frame*> held;
    for (uint32_t index = 1; index <= 8; ++index) {
        ASSERT_TRUE(Decode(record, index));
        if (index > 2) {
            Frame* frame = nullptr;
            ASSERT_EQ(decode->GetFrame(FRAME_DEPTH, &frame), 0);
            held.push_back(frame);
        }
    }
    // The application holds six frames, two are queued: this record takes the pool's last.
    EXPECT_TRUE(Decode(record, 9));
    const size_t notices = consumer.Notices().size();
    EXPECT_FALSE(Decode(record, 10));  // no depth frame to fill: dropped
    EXPECT_EQ(consumer.Notices().size(), notices);
    for (Frame* frame : held) {
        decode->RecycleFrame(frame);
    }
    EXPECT_FALSE(Decode(record, 11));  // the missing frame is taken now; this record still drops
    EXPECT_TRUE(Decode(record, 12));
}

// Without a preprocessing object and factor file no filter runs; with the identity object
// the whole raw chain runs and a flat wall passes it unchanged.
TEST_F(DecodeTest, RawChainWithIdentityPreprocessingKeepsAFlatWall) {
    testsupport::IdentityPreProcess preprocess;
    Make(&preprocess);
    LoadBuiltInRanges();
    std::vector<uint8_t> record = RawRecord(Scene::Wall(2200), false, 2);
    for (int pass = 0; pass < 2; ++pass) {  // the second pass runs the time filter on history
        ASSERT_TRUE(Decode(record));
        Frame* depth = Take(FRAME_DEPTH);
        ASSERT_NE(depth, nullptr);
        EXPECT_EQ(Pixels16(*depth), Expected(record, kDepthMax[2]).depth);
    }
    EXPECT_EQ(preprocess.processDepthCalls, 2);
    // IR and (distortion correction on) confidence go through ProcessImage.
    EXPECT_EQ(preprocess.processImageCalls, 4);
}

TEST_F(DecodeTest, ConfidenceFilterRunsOnRawRecordsOnly) {
    // Factors of 0 make every amplitude too low: depths 100 to 4999 become invalid.
    WriteTable("ConfidenceFactor.bin", std::vector<uint16_t>(640 * 480, 0));
    Make();
    LoadBuiltInRanges();
    std::vector<uint8_t> raw = RawRecord(Scene::Wall(900), false, 0);
    ASSERT_TRUE(Decode(raw));
    Frame* depth = Take(FRAME_DEPTH);
    ASSERT_NE(depth, nullptr);
    EXPECT_EQ(Pixels16(*depth), std::vector<uint16_t>(640 * 480, 0xFFFF));

    std::vector<uint8_t> computed = ComputedRecord(Scene::Wall(900), false, 0);
    ASSERT_TRUE(Decode(computed));
    depth = Take(FRAME_DEPTH);
    ASSERT_NE(depth, nullptr);
    EXPECT_EQ(Pixels16(*depth), std::vector<uint16_t>(640 * 480, 900));
}

TEST_F(DecodeTest, DistortionCorrectionOffSkipsTheConfidenceImage) {
    testsupport::IdentityPreProcess preprocess;
    Make(&preprocess);
    LoadBuiltInRanges();
    EXPECT_EQ(decode->SetDistortionCorrectionEnabled(false), 0);
    EXPECT_FALSE(decode->GetDistortionCorrectionEnabled());
    std::vector<uint8_t> record = RawRecord(Scene::Wall(2200), false, 2);
    ASSERT_TRUE(Decode(record));
    EXPECT_EQ(preprocess.processImageCalls, 1);  // IR only
}

struct RangeFollowCase {
    const char* name;
    int dataMode;
    bool binned;
    bool rawDepthCut;
    std::vector<std::tuple<int, int, int>> expected;
};

class ComputedRangeFollow : public DecodeTest, public ::testing::WithParamInterface<RangeFollowCase> {};

TEST_P(ComputedRangeFollow, NewRangeIsHandedToTheFilters) {
    const RangeFollowCase c = GetParam();
    RangeRecordingPreProcess preprocess;
    Make(&preprocess);
    LoadBuiltInRanges();
    decode->SetDataMode(c.dataMode);
    decode->SetRawDepthCut(c.rawDepthCut);
    preprocess.ranges.clear();
    std::vector<uint8_t> record = ComputedRecord(Scene::Wall(1000), c.binned, 5);
    ASSERT_TRUE(Decode(record));
    ASSERT_TRUE(Decode(record));  // the same range again changes nothing
    EXPECT_EQ(preprocess.ranges, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, ComputedRangeFollow,
    ::testing::Values(RangeFollowCase{"DepthMax", 2, false, false, {{5, 7495, 0}}},
                      RangeFollowCase{"EffectiveMaxWithCut", 2, false, true, {{5, 4500, 0}}},
                      RangeFollowCase{"MultiFrequencyFull", 5, false, false, {}},
                      RangeFollowCase{"MultiFrequencyBinned", 17, true, false, {}},
                      RangeFollowCase{"BinnedMode15FollowsRange", 15, true, false, {{5, 7495, 0}}}),
    [](const ::testing::TestParamInfo<RangeFollowCase>& info) { return std::string(info.param.name); });

TEST_F(DecodeTest, RangeOperationsHandLimitsOn) {
    RangeRecordingPreProcess preprocess;
    Make(&preprocess);
    LoadBuiltInRanges();
    decode->SetDepthRange(2);
    decode->SetRawDepthCut(true);
    decode->adaptRangeValue(5);
    decode->adaptRangeValue(7);  // beyond the ranges: 0
    decode->SetDataMode(9);      // into a multi-frequency mode: range 5 first
    decode->SetDataMode(9);      // no change, no call
    decode->SetDepthRange(1);    // ignored in a multi-frequency mode
    decode->SetDualFreqFusionEnable(true);
    using T = std::tuple<int, int, int>;
    EXPECT_EQ(preprocess.ranges,
              (std::vector<T>{T{2, 2498, 0}, T{5, 4500, 0}, T{7, 0, 0}, T{5, 4500, 0}, T{5, 4500, 0}}));
}

TEST_F(DecodeTest, MeasuringRangeLists) {
    Make();
    EXPECT_EQ(decode->GetSonyMaxDepth(0), 0);
    decode->InitRangeValue(std::vector<MeasuringRange>{{2, 100, 10, 1000}, {2, 200, 20, 2000}, {3, 0, 0, 3000}});
    EXPECT_EQ(decode->GetSonyMaxDepth(2), 2000);  // the last record of the range
    EXPECT_EQ(decode->GetSonyMaxDepth(3), 3000);
    EXPECT_EQ(decode->GetSonyMaxDepth(0), 0);
    decode->InitRangeValue(std::vector<MeasuringRange>{});
    EXPECT_EQ(decode->GetSonyMaxDepth(2), 0);

    // The table form fills the six positions whose depthMax is not 0.
    decode->InitRangeValue(std::vector<MeasuringRange>(6, MeasuringRange{0, 0, 0, 0}));
    const uint16_t depthMax[6] = {0, 1874, 0, 0, 0, 7495};
    decode->InitRangeValue(depthMax, kEffectDepthMax, kEffectDepthMin);
    EXPECT_EQ(decode->GetSonyMaxDepth(1), 1874);
    EXPECT_EQ(decode->GetSonyMaxDepth(5), 7495);
    EXPECT_EQ(decode->GetSonyMaxDepth(0), 0);
}

}  // namespace
