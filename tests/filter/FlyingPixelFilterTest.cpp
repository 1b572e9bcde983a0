#include <gtest/gtest.h>

#include "DepthImage.h"
#include "Filter.h"
#include "FilterReference.h"
#include "TempDir.h"

using filtertest::DepthImage;

namespace {

constexpr uint16_t X = 0xFFFF;

class FlyingPixelFilterTest : public ::testing::Test {
protected:
    testsupport::TempDir folder;
    Filter filter{folder.Path()};
};

TEST_F(FlyingPixelFilterTest, LoneValidPixelIsInvalidated) {
    DepthImage image(3, {0, 0, 0,     //
                         0, 1000, 0,  //
                         0, 0, 0});
    filter.FlyingPixelFilter(image.frame());
    EXPECT_EQ(image.at(1, 1), X);
}

TEST_F(FlyingPixelFilterTest, ConstantFrameIsUnchanged) {
    DepthImage image(6, 5, 1500);
    filter.FlyingPixelFilter(image.frame());
    EXPECT_EQ(image.pixels(), std::vector<uint16_t>(30, 1500));
}

TEST_F(FlyingPixelFilterTest, SpikeTakesItsDirectNeighboursButNotTheDiagonals) {
    DepthImage image(7, 7, 1000);
    image.at(3, 3) = 3000;
    filter.FlyingPixelFilter(image.frame());
    // The spike lies in nine unsteady windows, its edge neighbours in six, diagonals in four.
    DepthImage expected(7, 7, 1000);
    for (auto [y, x] : {std::pair{3, 3}, {2, 3}, {4, 3}, {3, 2}, {3, 4}}) {
        expected.at(y, x) = X;
    }
    EXPECT_EQ(image.pixels(), expected.pixels());
}

TEST_F(FlyingPixelFilterTest, BorderPixelWithFewerThanThreeValuesIsInvalidated) {
    DepthImage image(5, {0, 0, 1000, 1000, 0,  //
                         0, 0, 0, 0, 0,        //
                         0, 0, 0, 0, 0});
    filter.FlyingPixelFilter(image.frame());
    EXPECT_EQ(image.at(0, 2), X);
    EXPECT_EQ(image.at(0, 3), X);
}

TEST_F(FlyingPixelFilterTest, LoneCornerPixelStaysSinceCornersOwnNoWindow) {
    DepthImage image(4, {1000, 0, 0, 0,  //
                         0, 0, 0, 0,     //
                         0, 0, 0, 0});
    filter.FlyingPixelFilter(image.frame());
    EXPECT_EQ(image.at(0, 0), 1000);
}

TEST_F(FlyingPixelFilterTest, ThresholdAboveFiftyMakesEveryWindowVote) {
    DepthImage image(5, 5, 1500);
    filter.SetFlyingPixelFilterParams({1, 50});  // limit 0: a flat field does not vote
    filter.FlyingPixelFilter(image.frame());
    EXPECT_EQ(image.at(2, 2), 1500);
    filter.SetFlyingPixelFilterParams({1, 51});  // negative limit: every window votes
    filter.FlyingPixelFilter(image.frame());
    EXPECT_EQ(image.at(2, 2), X);
}

TEST_F(FlyingPixelFilterTest, VeryLowThresholdKeepsEvenASpike) {
    DepthImage image(7, 7, 1000);
    image.at(3, 3) = 60000;
    filter.SetFlyingPixelFilterParams({1, INT32_MIN});
    filter.FlyingPixelFilter(image.frame());
    EXPECT_EQ(image.at(3, 3), 60000);
}

TEST_F(FlyingPixelFilterTest, DisabledDoesNothing) {
    DepthImage image(3, {0, 0, 0, 0, 1000, 0, 0, 0, 0});
    filter.SetFlyingPixelFilterParams({0, 15});
    filter.FlyingPixelFilter(image.frame());
    filter.Depth(image.frame());
    EXPECT_EQ(image.at(1, 1), 1000);
}

struct ReferenceCase {
    int width;
    int height;
    int32_t threshold;
    uint16_t low;
    uint16_t high;
    double invalidShare;
};

class FlyingPixelReferenceTest : public FlyingPixelFilterTest, public ::testing::WithParamInterface<ReferenceCase> {};

TEST_P(FlyingPixelReferenceTest, MatchesThePlainForm) {
    const ReferenceCase& c = GetParam();
    const auto input =
        filtertest::RandomDepth(c.width * c.height, c.width * 31 + c.height, c.low, c.high, c.invalidShare);
    DepthImage image(static_cast<uint16_t>(c.width), static_cast<uint16_t>(c.height));
    image.Assign(input);
    filter.SetFlyingPixelFilterParams({1, c.threshold});
    filter.FlyingPixelFilter(image.frame());
    EXPECT_EQ(image.pixels(), filtertest::FlyingPixelReference(input, {c.width, c.height}, c.threshold));
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, FlyingPixelReferenceTest,
    ::testing::Values(ReferenceCase{1, 6, 15, 900, 1100, 0.2}, ReferenceCase{6, 1, 15, 900, 1100, 0.2},
                      ReferenceCase{2, 2, 15, 900, 1100, 0.2}, ReferenceCase{2, 7, 15, 900, 1100, 0.2},
                      ReferenceCase{7, 2, 15, 900, 1100, 0.2}, ReferenceCase{3, 3, 15, 950, 1050, 0.1},
                      ReferenceCase{17, 13, 15, 960, 1040, 0.1}, ReferenceCase{17, 13, 40, 980, 1020, 0.3},
                      ReferenceCase{33, 21, -200, 1, 65534, 0.2}, ReferenceCase{33, 21, 49, 990, 1010, 0.05},
                      ReferenceCase{64, 48, 15, 1, 65534, 0.5}, ReferenceCase{640, 480, 15, 970, 1030, 0.02}));

}  // namespace
