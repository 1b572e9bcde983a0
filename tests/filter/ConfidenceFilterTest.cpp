#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <vector>

#include "DepthImage.h"
#include "Filter.h"
#include "TempDir.h"

using filtertest::DepthImage;

namespace {

constexpr uint16_t X = 0xFFFF;
constexpr uint32_t kFactors = 640 * 480;
// With this factor the amplitude a = (factor * confidence) >> 13 equals the confidence.
constexpr uint16_t kUnitFactor = 8192;

std::string FactorBytes(const std::vector<uint16_t>& factors) {
    std::string bytes;
    for (uint16_t f : factors) {
        bytes.push_back(static_cast<char>(f & 0xFF));
        bytes.push_back(static_cast<char>(f >> 8));
    }
    return bytes;
}

class ConfidenceFilterTest : public ::testing::Test {
protected:
    void WriteFactors(const std::vector<uint16_t>& factors) {
        testsupport::WriteFile(folder.File("ConfidenceFactor.bin"), FactorBytes(factors));
    }

    // Runs the filter on depth pixels with confidences of the same count.
    std::vector<uint16_t> Run(Filter& filter, std::vector<uint16_t> depth, std::vector<uint16_t> confidence,
                              float exposure = 0.0f) {
        DepthImage depthImage(static_cast<uint16_t>(depth.size()), 1);
        depthImage.Assign(depth);
        DepthImage confidenceImage(static_cast<uint16_t>(confidence.size()), 1);
        confidenceImage.Assign(confidence);
        confidenceImage.frame().frameType = FRAME_CONFIDENCE;
        confidenceImage.frame().exposureTime = exposure;
        filter.ConfidenceFilter(depthImage.frame(), confidenceImage.frame());
        return depthImage.pixels();
    }

    testsupport::TempDir folder;
};

struct PixelCase {
    const char* name;
    uint16_t depth;
    uint16_t amplitude;
    float exposure;
    int32_t threshold;
    uint16_t expected;
};

class ConfidencePixelTest : public ConfidenceFilterTest, public ::testing::WithParamInterface<PixelCase> {};

TEST_P(ConfidencePixelTest, OnePixel) {
    const PixelCase& c = GetParam();
    WriteFactors(std::vector<uint16_t>(kFactors, kUnitFactor));
    Filter filter(folder.Path());
    ASSERT_TRUE(filter.HasConfidenceFactors());
    filter.SetConfidenceFilterParams({1, c.threshold});
    EXPECT_EQ(Run(filter, {c.depth}, {c.amplitude}, c.exposure)[0], c.expected) << c.name;
}

// At 1000 mm the table holds 340: with exposure 1e6 and threshold 15 the amplitude must
// reach 15 * 340 / 100 = 51.
INSTANTIATE_TEST_SUITE_P(Cases, ConfidencePixelTest,
                         ::testing::Values(PixelCase{"too near", 50, 1000, 0, 15, 0},
                                           PixelCase{"just too near", 99, 1000, 0, 15, 0},
                                           PixelCase{"invalid 0 stays 0", 0, 1000, 0, 15, 0},
                                           PixelCase{"nearest kept", 100, 1000, 0, 15, 100},
                                           PixelCase{"farthest kept", 4999, 1000, 0, 15, 4999},
                                           PixelCase{"just too far", 5000, 1000, 0, 15, X},
                                           PixelCase{"too far", 6000, 60000, 0, 15, X},
                                           PixelCase{"amplitude below 10", 1000, 9, 0, 15, X},
                                           PixelCase{"amplitude 10 without exposure", 1000, 10, 0, 15, 1000},
                                           PixelCase{"amplitude too low for the exposure", 1000, 50, 1e6f, 15, X},
                                           PixelCase{"amplitude enough for the exposure", 1000, 52, 1e6f, 15, 1000},
                                           PixelCase{"threshold 0 ignores the exposure", 1000, 10, 1e6f, 0, 1000},
                                           PixelCase{"negative exposure ignored", 1000, 10, -1e6f, 15, 1000}));

TEST_F(ConfidenceFilterTest, LargestFactorTimesAmplitudeDoesNotWrapNegative) {
    WriteFactors(std::vector<uint16_t>(kFactors, 0xFFFF));
    Filter filter(folder.Path());
    EXPECT_EQ(Run(filter, {1000}, {0xFFFF}, 1e6f), std::vector<uint16_t>{1000});
}

TEST_F(ConfidenceFilterTest, ShortFileLeavesTheRemainingFactorsZero) {
    WriteFactors({kUnitFactor, kUnitFactor});
    Filter filter(folder.Path());
    ASSERT_TRUE(filter.HasConfidenceFactors());
    EXPECT_EQ(Run(filter, {1000, 1000, 1000}, {500, 500, 500}), (std::vector<uint16_t>{1000, 1000, X}));
}

TEST_F(ConfidenceFilterTest, WithoutUsableFactorsTheFilterIsOff) {
    {
        Filter missing(folder.Path());
        EXPECT_FALSE(missing.HasConfidenceFactors());
        EXPECT_EQ(Run(missing, {50, 6000}, {0, 0}), (std::vector<uint16_t>{50, 6000}));
    }
    WriteFactors(std::vector<uint16_t>(kFactors + 1, kUnitFactor));
    Filter tooLarge(folder.Path());
    EXPECT_FALSE(tooLarge.HasConfidenceFactors());
    EXPECT_EQ(Run(tooLarge, {50}, {0}), std::vector<uint16_t>{50});
}

TEST_F(ConfidenceFilterTest, DisabledDoesNothing) {
    WriteFactors(std::vector<uint16_t>(kFactors, kUnitFactor));
    Filter filter(folder.Path());
    filter.SetConfidenceFilterParams({0, 15});
    EXPECT_EQ(Run(filter, {50}, {0}), std::vector<uint16_t>{50});
}

TEST_F(ConfidenceFilterTest, SmallerConfidenceFrameLimitsThePixels) {
    WriteFactors(std::vector<uint16_t>(kFactors, kUnitFactor));
    Filter filter(folder.Path());
    DepthImage depth(3, 1, 50);
    DepthImage confidence(1, 1, 1000);
    filter.ConfidenceFilter(depth.frame(), confidence.frame());
    EXPECT_EQ(depth.pixels(), (std::vector<uint16_t>{0, 50, 50}));
}

TEST_F(ConfidenceFilterTest, DefaultFolderIsConfigUnderTheWorkingDirectory) {
    ASSERT_EQ(mkdir(folder.File("Config").c_str(), 0755), 0);
    testsupport::WriteFile(folder.File("Config/ConfidenceFactor.bin"),
                           FactorBytes(std::vector<uint16_t>(kFactors, kUnitFactor)));
    testsupport::ScopedWorkingDirectory inFolder(folder.Path());
    Filter filter;
    EXPECT_TRUE(filter.HasConfidenceFactors());
}

}  // namespace
