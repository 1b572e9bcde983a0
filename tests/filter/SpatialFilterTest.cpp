#include <gtest/gtest.h>

#include "DepthImage.h"
#include "Filter.h"
#include "FilterReference.h"
#include "TempDir.h"

using filtertest::DepthImage;

namespace {

class SpatialFilterTest : public ::testing::Test {
protected:
    void SetUp() override { filter.SetMeasuringRange(0, 7495, 0); }

    testsupport::TempDir folder;
    Filter filter{folder.Path()};
};

struct SpatialCase {
    const char* name;
    SpatialFilterParams params;
    uint16_t centre;
    uint16_t neighbour;  // all twelve diamond neighbours
    uint16_t outlier;    // replaces the neighbour at (0, 2) when not 0
    uint16_t maxDepth;
    uint16_t expected;
};

class SpatialCaseTest : public SpatialFilterTest, public ::testing::WithParamInterface<SpatialCase> {};

TEST_P(SpatialCaseTest, CentreOfAFiveByFiveFrame) {
    const SpatialCase& c = GetParam();
    DepthImage image(5, 5, c.neighbour);
    image.at(2, 2) = c.centre;
    if (c.outlier != 0) {
        image.at(0, 2) = c.outlier;
    }
    filter.SetMeasuringRange(0, c.maxDepth, 0);
    filter.SetSpatialFilterParams(c.params);
    filter.SpatialFilter(image.frame());
    EXPECT_EQ(image.at(2, 2), c.expected) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SpatialCaseTest,
    ::testing::Values(SpatialCase{"small variation averaged", {1, 7, 50, 1}, 1010, 1000, 0, 7495, 1000},
                      SpatialCase{"mean of the kept neighbours", {1, 7, 50, 1}, 1010, 1000, 1240, 7495, 1020},
                      SpatialCase{"too few neighbours above validCount", {1, 12, 50, 1}, 1010, 1000, 0, 7495, 1010},
                      SpatialCase{"negative validCount counts as 0", {1, -5, 50, 1}, 1010, 1000, 0, 7495, 1000},
                      SpatialCase{"deviation too large", {1, 7, 50, 1}, 1010, 1000, 3000, 7495, 1010},
                      SpatialCase{"centre outside the limits", {1, 7, 50, 1}, 1010, 1000, 0, 1010, 1010},
                      // A neighbour outside the limits is left out of the sum but m12 still divides by 12.
                      SpatialCase{"excluded neighbour lowers m12", {1, 7, 50, 1}, 1010, 1000, 8000, 7495, 1010},
                      SpatialCase{"excluded neighbour, wider deviation", {1, 7, 250, 1}, 1010, 1000, 8000, 7495, 1000},
                      // m12 * percent beyond 32 bits must not turn negative.
                      SpatialCase{"huge deviationPercent", {1, 7, INT32_MAX, 1}, 1010, 1000, 3000, 7495, 1166},
                      SpatialCase{"zero iterations", {1, 7, 50, 0}, 1010, 1000, 0, 7495, 1010},
                      SpatialCase{"disabled", {0, 7, 50, 1}, 1010, 1000, 0, 7495, 1010}));

TEST_F(SpatialFilterTest, FramesOfFourOrFewerColumnsOrRowsAreLeftAlone) {
    filter.SetSpatialFilterParams({1, 7, 50, 1});
    for (auto [w, h] : {std::pair{4, 6}, {6, 4}}) {
        DepthImage image(static_cast<uint16_t>(w), static_cast<uint16_t>(h), 1000);
        image.at(2, 2) = 1010;
        filter.SpatialFilter(image.frame());
        EXPECT_EQ(image.at(2, 2), 1010) << w << "x" << h;
    }
}

TEST_F(SpatialFilterTest, DepthRunsSpatialOnlyWhenEnabled) {
    filter.SetFlyingPixelFilterParams({0, 15});
    DepthImage image(5, 5, 1000);
    image.at(2, 2) = 1010;
    filter.Depth(image.frame());
    EXPECT_EQ(image.at(2, 2), 1010);  // off by default
    filter.SetSpatialFilterParams({1, 7, 50, 1});
    filter.Depth(image.frame());
    EXPECT_EQ(image.at(2, 2), 1000);
}

struct SpatialReferenceCase {
    int width;
    int height;
    SpatialFilterParams params;
    uint16_t minDepth;
    uint16_t maxDepth;
};

class SpatialReferenceTest : public SpatialFilterTest, public ::testing::WithParamInterface<SpatialReferenceCase> {};

TEST_P(SpatialReferenceTest, EachPassReadsTheFrameAsItWasBeforeIt) {
    const SpatialReferenceCase& c = GetParam();
    const auto input = filtertest::RandomDepth(c.width * c.height, c.width + 7 * c.height, 950, 1050, 0.1);
    DepthImage image(static_cast<uint16_t>(c.width), static_cast<uint16_t>(c.height));
    image.Assign(input);
    filter.SetMeasuringRange(0, c.maxDepth, c.minDepth);
    filter.SetSpatialFilterParams(c.params);
    filter.SpatialFilter(image.frame());
    EXPECT_EQ(image.pixels(),
              filtertest::SpatialReference(input, {c.width, c.height}, c.params, c.minDepth, c.maxDepth));
}

INSTANTIATE_TEST_SUITE_P(Frames, SpatialReferenceTest,
                         ::testing::Values(SpatialReferenceCase{5, 5, {1, 7, 50, 1}, 0, 7495},
                                           SpatialReferenceCase{9, 7, {1, 7, 50, 3}, 0, 7495},
                                           SpatialReferenceCase{31, 17, {1, 4, 90, 2}, 960, 1040},
                                           SpatialReferenceCase{64, 48, {1, 0, 200, 1}, 0, 1000},
                                           SpatialReferenceCase{640, 480, {1, 7, 50, 1}, 0, 7495}));

}  // namespace
