#include <gtest/gtest.h>

#include "DepthImage.h"
#include "Filter.h"
#include "TempDir.h"

using filtertest::DepthImage;

namespace {

class TemporalFilterTest : public ::testing::Test {
protected:
    void SetUp() override { filter.SetMeasuringRange(0, 65535, 0); }

    // Feeds `previous` as the first frame (only remembered), then `current`; the second result.
    uint16_t Smooth(uint16_t previous, uint16_t current) {
        DepthImage first(1, 1, previous);
        filter.TimeFilter(first.frame());
        DepthImage second(1, 1, current);
        filter.TimeFilter(second.frame());
        return second.at(0, 0);
    }

    testsupport::TempDir folder;
    Filter filter{folder.Path()};
};

struct TierCase {
    int32_t threshold;
    uint16_t previous;
    uint16_t current;
    uint16_t expected;
};

class TemporalTierTest : public TemporalFilterTest, public ::testing::WithParamInterface<TierCase> {};

TEST_P(TemporalTierTest, BlendsByHowFarTheValuesLie) {
    const TierCase& c = GetParam();
    filter.SetTimeFilterParams({1, c.threshold});
    EXPECT_EQ(Smooth(c.previous, c.current), c.expected);
}

// Current 1000: the tiers end at differences 15, 31 and 62.
INSTANTIATE_TEST_SUITE_P(Tiers, TemporalTierTest,
                         ::testing::Values(TierCase{2, 1010, 1000, 1007},  // (3p + c) / 4: mostly previous
                                           TierCase{2, 990, 1000, 992}, TierCase{2, 1020, 1000, 1010},  // (p + c) / 2
                                           TierCase{2, 1050, 1000, 1012},  // (3c + p) / 4: mostly current
                                           TierCase{2, 1100, 1000, 1000},  // too far: current kept
                                           TierCase{2, 1000, 1000, 1000},
                                           // With k = 1 every tier is the average.
                                           TierCase{1, 1010, 1000, 1005}, TierCase{1, 1020, 1000, 1010},
                                           TierCase{1, 1050, 1000, 1025},
                                           // k = 0 keeps the current value in the outer tiers.
                                           TierCase{0, 1010, 1000, 1000},
                                           // p * 2^k beyond 32 bits is still exact; k counts modulo 32.
                                           TierCase{20, 60000, 59500, 59999}, TierCase{31, 60000, 59500, 59999},
                                           TierCase{-1, 60000, 59500, 59999}, TierCase{33, 60000, 59500, 59750}));

TEST_F(TemporalFilterTest, PixelsOutsideTheLimitsKeepTheirValue) {
    filter.SetTimeFilterParams({1, 1});
    filter.SetMeasuringRange(0, 1005, 1000);
    EXPECT_EQ(Smooth(1010, 1000), 1000);  // previous above the maximum
    EXPECT_EQ(Smooth(1000, 1004), 1002);  // both inside, limits included
    EXPECT_EQ(Smooth(1004, 999), 999);    // current below the minimum
}

TEST_F(TemporalFilterTest, SmoothedValueBecomesTheNextHistory) {
    DepthImage first(1, 1, 1000);
    filter.TimeFilter(first.frame());
    DepthImage second(1, 1, 1010);
    filter.TimeFilter(second.frame());
    ASSERT_EQ(second.at(0, 0), 1005);
    DepthImage third(1, 1, 1000);
    filter.TimeFilter(third.frame());
    EXPECT_EQ(third.at(0, 0), 1002);  // against 1005, not 1010
}

TEST_F(TemporalFilterTest, FirstFrameAfterASizeChangeIsOnlyStored) {
    DepthImage small(2, 2, 1000);
    filter.TimeFilter(small.frame());
    DepthImage larger(3, 2, 1010);
    filter.TimeFilter(larger.frame());
    EXPECT_EQ(larger.pixels(), std::vector<uint16_t>(6, 1010));
    DepthImage next(3, 2, 1000);
    filter.TimeFilter(next.frame());
    EXPECT_EQ(next.pixels(), std::vector<uint16_t>(6, 1005));
}

TEST_F(TemporalFilterTest, DisabledLeavesFramesAndHistoryAlone) {
    filter.SetTimeFilterParams({0, 1});
    EXPECT_EQ(Smooth(1010, 1000), 1000);
    filter.SetTimeFilterParams({1, 1});
    DepthImage first(1, 1, 1010);
    filter.TimeFilter(first.frame());  // nothing stored while disabled: this one is the first
    EXPECT_EQ(first.at(0, 0), 1010);
}

}  // namespace
