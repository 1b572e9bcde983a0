#include <algorithm>
#include <cmath>
#include <string>

#include "DecodeFixture.h"
#include "DecodeKernels.h"

namespace {

using camsim::Scene;

struct WallCase {
    int range;
    bool binned;
    uint16_t wall;
};

std::string Name(const ::testing::TestParamInfo<WallCase>& info) {
    return "Range" + std::to_string(info.param.range) + (info.param.binned ? "Binned" : "Full") + "Wall" +
           std::to_string(info.param.wall);
}

// Walls near the start, the middle and the end of each range, and one beyond its end, whose
// phase has turned once more: it folds back by the range's maximum depth.
std::vector<WallCase> WallCases() {
    std::vector<WallCase> cases;
    for (int range = 0; range < 6; ++range) {
        for (bool binned : {false, true}) {
            for (double fraction : {0.1, 0.5, 0.9, 1.2}) {
                cases.push_back({range, binned, static_cast<uint16_t>(fraction * kDepthMax[range])});
            }
        }
    }
    return cases;
}

class RawWall : public DecodeTest, public ::testing::WithParamInterface<WallCase> {};

TEST_P(RawWall, EqualsTheFormulaAndFindsTheWall) {
    const WallCase c = GetParam();
    Make();
    LoadBuiltInRanges();
    decode->SetIRPixelFormat(1);
    std::vector<uint8_t> record = RawRecord(Scene::Wall(c.wall), c.binned, static_cast<uint8_t>(c.range));
    ASSERT_TRUE(Decode(record));
    Frame* depth = Take(FRAME_DEPTH);
    Frame* ir = Take(FRAME_IR);
    Frame* confidence = Take(FRAME_CONFIDENCE);
    ASSERT_NE(depth, nullptr);
    ASSERT_NE(ir, nullptr);
    ASSERT_NE(confidence, nullptr);

    const uint16_t width = c.binned ? 320 : 640, height = c.binned ? 240 : 480;
    for (const Frame* frame : {depth, ir, confidence}) {
        EXPECT_EQ(frame->width, width);
        EXPECT_EQ(frame->height, height);
        EXPECT_EQ(frame->length, 2u * width * height);
        EXPECT_EQ(frame->depthRange, static_cast<uint32_t>(c.range));
    }
    EXPECT_EQ(ir->pixelFormat, PIXEL_FORMAT_GRAY16);
    EXPECT_EQ(confidence->frameType, FRAME_CONFIDENCE);

    const oracle::Planes expected = Expected(record, kDepthMax[c.range]);
    EXPECT_EQ(Pixels16(*depth), expected.depth);
    EXPECT_EQ(Pixels16(*ir), expected.ir);
    EXPECT_EQ(Pixels16(*confidence), expected.confidence);

    const int tolerance = static_cast<int>(std::ceil(0.0102 * tofdecode::kPhaseFactor[c.range])) + 2;
    const int seen = c.wall > kDepthMax[c.range] ? c.wall - kDepthMax[c.range] : c.wall;
    int worst = 0;
    for (uint16_t d : expected.depth) {
        worst = std::max(worst, std::abs(static_cast<int>(d) - seen));
    }
    EXPECT_LE(worst, tolerance);
}

INSTANTIATE_TEST_SUITE_P(Ranges, RawWall, ::testing::ValuesIn(WallCases()), Name);

TEST_F(DecodeTest, ToleranceGrowsWithTheRangeFactor) {
    const int expected[6] = {5, 6, 7, 8, 9, 15};
    for (int r = 0; r < 6; ++r) {
        EXPECT_EQ(static_cast<int>(std::ceil(0.0102 * tofdecode::kPhaseFactor[r])) + 2, expected[r]) << r;
    }
}

TEST_F(DecodeTest, WrongMarkerOrRangeGivesNoFrame) {
    Make();
    LoadBuiltInRanges();
    struct Case {
        const char* what;
        size_t at;  // record byte to change
        uint8_t value;
    };
    const Case cases[] = {
        {"third marker reads 5", 5 + 3704393, 5},
        {"first marker reads 1", 5 + 1231433, 1},
        {"range 6", 4, 6},
        {"range 15", 4, 15},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> record = RawRecord(Scene::Wall(800), false, 0);
        record[c.at] = c.value;
        EXPECT_FALSE(Decode(record)) << c.what;
        EXPECT_FALSE(decode->IsFrameReady(FRAME_DEPTH)) << c.what;
    }
    EXPECT_TRUE(consumer.Notices().empty());
    EXPECT_EQ(producer.recycled, 4);
}

TEST_F(DecodeTest, ShortOrForeignRecordsAreRefused) {
    Make();
    LoadBuiltInRanges();
    std::vector<uint8_t> record = RawRecord(Scene::Wall(800), false, 0);
    Frame raw = RawFrameOver(record);
    raw.length -= 1;  // one byte short of the type's length
    EXPECT_FALSE(decode->DecodeOne(&raw));
    raw = RawFrameOver(record);
    raw.length = 3;  // not even a head
    EXPECT_FALSE(decode->DecodeOne(&raw));
    raw = RawFrameOver(record);
    raw.capacity = raw.length - 1;  // a length the buffer cannot hold
    EXPECT_FALSE(decode->DecodeOne(&raw));
    record[0] = 0x34;
    EXPECT_FALSE(Decode(record));
    EXPECT_FALSE(decode->DecodeOne(nullptr));
    EXPECT_TRUE(consumer.Notices().empty());
}

struct ZeroCase {
    const char* name;
    int range;
    bool measuringRanges;  // built-in ranges loaded, else every depthMax is 0
    bool temperatureOffset;
    uint16_t expected;
};

class ZeroTaps : public DecodeTest, public ::testing::WithParamInterface<ZeroCase> {};

// Taps of zero decode to phase 0, so the depth is the temperature offset itself, wrapped.
TEST_P(ZeroTaps, DepthIsTheWrappedOffset) {
    const ZeroCase c = GetParam();
    Make();
    if (c.measuringRanges) {
        LoadBuiltInRanges();
    }
    decode->SetTemperatureOffsetEnable(c.temperatureOffset);
    std::vector<uint8_t> record = ZeroTapRecord(false, static_cast<uint8_t>(c.range));
    ASSERT_TRUE(Decode(record));
    Frame* depth = Take(FRAME_DEPTH);
    Frame* confidence = Take(FRAME_CONFIDENCE);
    ASSERT_NE(depth, nullptr);
    ASSERT_NE(confidence, nullptr);
    EXPECT_EQ(Pixels16(*depth), std::vector<uint16_t>(640 * 480, c.expected));
    EXPECT_EQ(Pixels16(*confidence), std::vector<uint16_t>(640 * 480, 0));
}

// Temperature word 0x1F0: offset 12 in range 0, -14 in ranges 1 to 5.
INSTANTIATE_TEST_SUITE_P(Offsets, ZeroTaps,
                         ::testing::Values(ZeroCase{"PositiveOffset", 0, true, true, 12},
                                           ZeroCase{"NegativeOffsetWrapsByDepthMax", 1, true, true, 1874 - 14},
                                           ZeroCase{"NegativeOffsetRange5", 5, true, true, 7495 - 14},
                                           ZeroCase{"OffsetSwitchedOff", 1, true, false, 0},
                                           ZeroCase{"NoMeasuringRangesPositive", 0, false, true, 12},
                                           ZeroCase{"NoMeasuringRangesNegativeBecomesZero", 1, false, true, 0}),
                         [](const ::testing::TestParamInfo<ZeroCase>& info) { return std::string(info.param.name); });

TEST_F(DecodeTest, TemperatureOffsetFormula) {
    // raw 0x1F0: T = (4960 - 2960) / 5.4 + 250 = 620.
    EXPECT_EQ(tofdecode::TemperatureOffset(0x01, 0xF0, 0), 12);
    EXPECT_EQ(tofdecode::TemperatureOffset(0x01, 0xF0, 3), -14);
    // Only the low two bits of the high byte count.
    EXPECT_EQ(tofdecode::TemperatureOffset(0xFD, 0xF0, 0), 12);
}

TEST_F(DecodeTest, WithoutMeasuringRangesNothingWrapsOrDivides) {
    Make();  // no ranges loaded: every depthMax is 0
    std::vector<uint8_t> record = RawRecord(Scene::Wall(900), false, 1);
    ASSERT_TRUE(Decode(record));
    Frame* depth = Take(FRAME_DEPTH);
    ASSERT_NE(depth, nullptr);
    const std::vector<uint16_t> pixels = Pixels16(*depth);
    EXPECT_EQ(pixels, Expected(record, 0).depth);
    for (uint16_t d : pixels) {
        ASSERT_LT(d, 2000);  // no 65 m values from a negative depth
    }
}

TEST_F(DecodeTest, TemperatureOffsetOffMatchesTheFormulaWithoutIt) {
    Make();
    LoadBuiltInRanges();
    decode->SetTemperatureOffsetEnable(false);
    std::vector<uint8_t> record = RawRecord(Scene::Wall(1500), false, 2);
    ASSERT_TRUE(Decode(record));
    Frame* depth = Take(FRAME_DEPTH);
    ASSERT_NE(depth, nullptr);
    const std::vector<uint16_t> pixels = Pixels16(*depth);
    EXPECT_EQ(pixels, Expected(record, kDepthMax[2], false).depth);
    EXPECT_NE(pixels, Expected(record, kDepthMax[2], true).depth);
}

TEST_F(DecodeTest, IrIsEightBitByDefault) {
    Make();
    LoadBuiltInRanges();
    std::vector<uint8_t> record = RawRecord(Scene::Box(1100, 400), false, 0);
    ASSERT_TRUE(Decode(record));
    Frame* ir = Take(FRAME_IR);
    ASSERT_NE(ir, nullptr);
    EXPECT_EQ(ir->pixelFormat, PIXEL_FORMAT_GRAY8);
    EXPECT_EQ(ir->length, 640u * 480u);
    const std::vector<uint16_t> ir16 = Expected(record, kDepthMax[0]).ir;
    std::vector<uint8_t> expected(ir16.size());
    for (size_t i = 0; i < ir16.size(); ++i) {
        expected[i] = oracle::Ir8(ir16[i], 64);
    }
    EXPECT_EQ(Pixels8(*ir), expected);
}

TEST_F(DecodeTest, IrBackgroundIsSubtractedAndClampedAtZero) {
    // A background that exceeds the IR of some pixels.
    std::vector<uint16_t> background(640 * 480);
    for (size_t i = 0; i < background.size(); ++i) {
        background[i] = static_cast<uint16_t>(i % 5000);
    }
    WriteTable("ir_background.bin", background);
    Make();
    LoadBuiltInRanges();
    decode->SetIRPixelFormat(1);
    for (bool binned : {false, true}) {
        std::vector<uint8_t> record = RawRecord(Scene::Box(1100, 400), binned, 0);
        ASSERT_TRUE(Decode(record));
        Frame* ir = Take(FRAME_IR);
        ASSERT_NE(ir, nullptr);
        const std::vector<uint16_t> expected = Expected(record, kDepthMax[0], true, &background).ir;
        EXPECT_EQ(Pixels16(*ir), expected);
        EXPECT_GT(std::count(expected.begin(), expected.end(), 0), 0);
    }
}

TEST_F(DecodeTest, BinnedExposureFromTheSensorCount) {
    Make();
    LoadBuiltInRanges();
    struct Case {
        uint32_t exposure;  // microseconds; the record carries 120 counts each
        float expected;
    };
    // 36,000,000 counts times 1000 overflows 32 bits.
    for (const Case& c : {Case{1000, 1000000.0f}, Case{300000, 300000000.0f}}) {
        std::vector<uint8_t> record = RawRecord(Scene::Wall(700), true, 0, kTemperatureRaw, c.exposure);
        ASSERT_TRUE(Decode(record));
        for (FrameType type : {FRAME_DEPTH, FRAME_IR, FRAME_CONFIDENCE}) {
            Frame* frame = Take(type);
            ASSERT_NE(frame, nullptr);
            EXPECT_EQ(frame->exposureTime, c.expected);
        }
    }
    std::vector<uint8_t> full = RawRecord(Scene::Wall(700), false, 0);
    ASSERT_TRUE(Decode(full));
    Frame* depth = Take(FRAME_DEPTH);
    ASSERT_NE(depth, nullptr);
    EXPECT_EQ(depth->exposureTime, 0.0f);
}

TEST_F(DecodeTest, RangeOffsetTableShiftsDepth) {
    std::vector<uint16_t> table(kDepthMax[0] + 1);
    for (size_t j = 0; j < table.size(); ++j) {
        table[j] = static_cast<uint16_t>(j + 7);
    }
    WriteTable("rangeOffset_0.bin", table);
    Make();
    LoadBuiltInRanges();
    std::vector<uint8_t> record = RawRecord(Scene::Box(1000, 600), false, 0);
    ASSERT_TRUE(Decode(record));
    Frame* depth = Take(FRAME_DEPTH);
    ASSERT_NE(depth, nullptr);
    std::vector<uint16_t> expected = Expected(record, kDepthMax[0]).depth;
    for (uint16_t& d : expected) {
        d = static_cast<uint16_t>(d + 7);
    }
    EXPECT_EQ(Pixels16(*depth), expected);
}

TEST_F(DecodeTest, ShortOffsetFileLeavesTheRestIdentity) {
    WriteTable("rangeOffset_1.bin", std::vector<uint16_t>(100, 5));
    Make();
    LoadBuiltInRanges();
    std::vector<uint8_t> record = RawRecord(Scene::Box(1500, 50), false, 1);
    ASSERT_TRUE(Decode(record));
    Frame* depth = Take(FRAME_DEPTH);
    ASSERT_NE(depth, nullptr);
    std::vector<uint16_t> table(kDepthMax[1] + 1);
    for (size_t j = 0; j < table.size(); ++j) {
        table[j] = j < 100 ? 5 : static_cast<uint16_t>(j);
    }
    const std::vector<uint16_t> expected = Expected(record, kDepthMax[1], true, nullptr, &table).depth;
    EXPECT_EQ(Pixels16(*depth), expected);
    EXPECT_NE(std::count(expected.begin(), expected.end(), 5), 0);
}

TEST_F(DecodeTest, OversizedOffsetFileGivesTheIdentity) {
    WriteTable("rangeOffset_0.bin", std::vector<uint16_t>(kDepthMax[0] + 2, 3));
    Make();
    LoadBuiltInRanges();
    std::vector<uint8_t> record = RawRecord(Scene::Wall(1000), false, 0);
    ASSERT_TRUE(Decode(record));
    Frame* depth = Take(FRAME_DEPTH);
    ASSERT_NE(depth, nullptr);
    EXPECT_EQ(Pixels16(*depth), Expected(record, kDepthMax[0]).depth);
}

TEST_F(DecodeTest, DepthBeyondTheTableTakesItsLastEntry) {
    // depthMax 20: a wall at 1000 mm stays far above it after one wrap.
    std::vector<uint16_t> table(21);
    for (size_t j = 0; j < table.size(); ++j) {
        table[j] = static_cast<uint16_t>(2 * j);
    }
    WriteTable("rangeOffset_0.bin", table);
    Make();
    decode->InitRangeValue(std::vector<MeasuringRange>{{0, 20, 0, 20}});
    std::vector<uint8_t> record = RawRecord(Scene::Wall(1000), false, 0);
    ASSERT_TRUE(Decode(record));
    Frame* depth = Take(FRAME_DEPTH);
    ASSERT_NE(depth, nullptr);
    EXPECT_EQ(Pixels16(*depth), std::vector<uint16_t>(640 * 480, 40));
}

TEST_F(DecodeTest, SmallDepthMaxKeepsThePreviousTable) {
    WriteTable("rangeOffset_0.bin", std::vector<uint16_t>(kDepthMax[0] + 1, 321));
    Make();
    LoadBuiltInRanges();
    // A depthMax of 9 loads no table and keeps the one loaded for 1249.
    decode->InitRangeValue(std::vector<MeasuringRange>{{0, 9, 0, 9}});
    std::vector<uint8_t> record = RawRecord(Scene::Wall(1000), false, 0);
    ASSERT_TRUE(Decode(record));
    Frame* depth = Take(FRAME_DEPTH);
    ASSERT_NE(depth, nullptr);
    EXPECT_EQ(Pixels16(*depth), std::vector<uint16_t>(640 * 480, 321));
}

}  // namespace
