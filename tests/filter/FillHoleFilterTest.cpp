#include <gtest/gtest.h>

#include "DepthImage.h"
#include "Filter.h"
#include "FilterReference.h"
#include "TempDir.h"

using filtertest::DepthImage;

namespace {

class FillHoleFilterTest : public ::testing::Test {
protected:
    void SetUp() override {
        filter.SetMeasuringRange(0, 7495, 0);
        filter.SetFlyingPixelFilterParams({0, 15});  // Depth() runs fill hole alone
    }

    testsupport::TempDir folder;
    Filter filter{folder.Path()};
};

struct HoleCase {
    const char* name;
    FillHoleFilterParams params;
    uint16_t hole;
    std::vector<uint16_t> neighbours;  // clockwise from the top left; 0 marks no value
    uint16_t maxDepth;
    uint16_t expected;
};

class HoleCaseTest : public FillHoleFilterTest, public ::testing::WithParamInterface<HoleCase> {};

TEST_P(HoleCaseTest, CentreOfAThreeByThreeFrame) {
    const HoleCase& c = GetParam();
    const auto& n = c.neighbours;
    DepthImage image(3, {n[0], n[1], n[2], n[7], c.hole, n[3], n[6], n[5], n[4]});
    filter.SetMeasuringRange(0, c.maxDepth, 0);
    filter.SetFillHoleFilterParams(c.params);
    filter.Depth(image.frame());
    EXPECT_EQ(image.at(1, 1), c.expected) << c.name;
}

const std::vector<uint16_t> kEight(8, 1000);
const std::vector<uint16_t> kSevenAndOne{1000, 1000, 1000, 1000, 1000, 1000, 1000, 1100};

INSTANTIATE_TEST_SUITE_P(
    Cases, HoleCaseTest,
    ::testing::Values(
        HoleCase{"eight neighbours of 1000", {1, 3, 5, 1}, 0, kEight, 7495, 1000},
        HoleCase{"0xFFFF is a hole too", {1, 3, 5, 1}, 0xFFFF, kEight, 7495, 1000},
        HoleCase{"three neighbours stay a hole", {1, 3, 5, 1}, 0, {1000, 0, 1000, 0, 1000, 0, 0, 0}, 7495, 0},
        HoleCase{"four neighbours fill", {1, 3, 5, 1}, 0, {1000, 0, 1000, 0, 1000, 0, 1000, 0}, 7495, 1000},
        HoleCase{"valid pixel is not a hole", {1, 3, 5, 1}, 1200, kEight, 7495, 1200},
        HoleCase{"neighbours at the maximum do not count", {1, 3, 5, 1}, 0, kEight, 1000, 0},
        HoleCase{"negative validCount counts as 0", {1, -4, 5, 1}, 0, {0, 0, 0, 0, 1000, 0, 0, 0}, 7495, 1000},
        HoleCase{"spread too large for the shift", {1, 3, 5, 1}, 0, kSevenAndOne, 7495, 0},
        HoleCase{"shift 0 accepts that spread", {1, 3, 0, 1}, 0, kSevenAndOne, 7495, 1012},
        // Shift counts are taken modulo 32: 32 acts as 0, 37 as 5.
        HoleCase{"shift 32", {1, 3, 32, 1}, 0, kSevenAndOne, 7495, 1012},
        HoleCase{"shift 37", {1, 3, 37, 1}, 0, kSevenAndOne, 7495, 0},
        HoleCase{"zero iterations", {1, 3, 5, 0}, 0, kEight, 7495, 0},
        HoleCase{"disabled", {0, 3, 5, 1}, 0, kEight, 7495, 0}));

TEST_F(FillHoleFilterTest, LargeHoleClosesFurtherWithEachIteration) {
    for (int32_t iterations : {1, 2}) {
        DepthImage image(5, 5, 1000);
        for (uint32_t y = 1; y <= 3; ++y) {
            for (uint32_t x = 1; x <= 3; ++x) {
                image.at(y, x) = 0;
            }
        }
        filter.SetFillHoleFilterParams({1, 3, 5, iterations});
        filter.FillHoleFilter(image.frame());
        // Pass 1 fills the hole's corners (five valid neighbours); its edges have three.
        EXPECT_EQ(image.at(1, 1), 1000) << iterations;
        EXPECT_EQ(image.at(2, 1), iterations == 1 ? 0 : 1000) << iterations;
        EXPECT_EQ(image.at(2, 2), iterations == 1 ? 0 : 1000) << iterations;
    }
}

TEST_F(FillHoleFilterTest, HoleNextToAFilledHoleSeesTheOldValue) {
    // (1, 2) has three valid neighbours before the pass; filling (1, 1) first must not give it a fourth.
    DepthImage image(4, {1000, 1000, 1000, 0,  //
                         1000, 0, 0, 0,        //
                         1000, 1000, 0, 0});
    filter.FillHoleFilter(image.frame());
    EXPECT_EQ(image.at(1, 1), 1000);
    EXPECT_EQ(image.at(1, 2), 0);
}

TEST_F(FillHoleFilterTest, FramesOfTwoOrFewerColumnsOrRowsAreLeftAlone) {
    DepthImage image(2, {1000, 1000, 0, 1000, 1000, 1000});
    filter.FillHoleFilter(image.frame());
    EXPECT_EQ(image.at(1, 0), 0);
}

struct FillReferenceCase {
    int width;
    int height;
    FillHoleFilterParams params;
    double invalidShare;
};

class FillHoleReferenceTest : public FillHoleFilterTest, public ::testing::WithParamInterface<FillReferenceCase> {};

TEST_P(FillHoleReferenceTest, MatchesThePlainForm) {
    const FillReferenceCase& c = GetParam();
    const auto input = filtertest::RandomDepth(c.width * c.height, 3 * c.width + c.height, 990, 1010, c.invalidShare);
    DepthImage image(static_cast<uint16_t>(c.width), static_cast<uint16_t>(c.height));
    image.Assign(input);
    filter.SetFillHoleFilterParams(c.params);
    filter.FillHoleFilter(image.frame());
    EXPECT_EQ(image.pixels(), filtertest::FillHoleReference(input, {c.width, c.height}, c.params, 0, 7495));
}

INSTANTIATE_TEST_SUITE_P(Frames, FillHoleReferenceTest,
                         ::testing::Values(FillReferenceCase{3, 3, {1, 3, 5, 1}, 0.3},
                                           FillReferenceCase{12, 9, {1, 3, 5, 3}, 0.5},
                                           FillReferenceCase{40, 30, {1, 1, 3, 2}, 0.6},
                                           FillReferenceCase{640, 480, {1, 3, 5, 1}, 0.1}));

}  // namespace
