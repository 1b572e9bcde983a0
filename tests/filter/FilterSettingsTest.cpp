#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "DepthImage.h"
#include "Filter.h"
#include "TempDir.h"

using filtertest::DepthImage;

namespace {

class FilterSettingsTest : public ::testing::Test {
protected:
    testsupport::TempDir folder;
    Filter filter{folder.Path()};
};

template <typename Record>
bool Same(const Record& a, const Record& b) {
    return std::memcmp(&a, &b, sizeof(Record)) == 0;
}

TEST_F(FilterSettingsTest, Defaults) {
    TimeFilterParams time{};
    ConfidenceFilterParams confidence{};
    FlyingPixelFilterParams flying{};
    SpatialFilterParams spatial{};
    FillHoleFilterParams fillHole{};
    ASSERT_EQ(filter.GetTimeFilterParams(&time), 0);
    ASSERT_EQ(filter.GetConfidenceFilterParams(&confidence), 0);
    ASSERT_EQ(filter.GetFlyingPixelFilterParams(&flying), 0);
    ASSERT_EQ(filter.GetSpatialFilterParams(&spatial), 0);
    ASSERT_EQ(filter.GetFillHoleFilterParams(&fillHole), 0);
    EXPECT_TRUE(Same(time, TimeFilterParams{1, 1}));
    EXPECT_TRUE(Same(confidence, ConfidenceFilterParams{1, 15}));
    EXPECT_TRUE(Same(flying, FlyingPixelFilterParams{1, 15}));
    EXPECT_TRUE(Same(spatial, SpatialFilterParams{0, 7, 50, 1}));
    EXPECT_TRUE(Same(fillHole, FillHoleFilterParams{1, 3, 5, 1}));
}

TEST_F(FilterSettingsTest, RecordsComeBackAsSetWhateverTheirValues) {
    const TimeFilterParams time{7, -3};
    const ConfidenceFilterParams confidence{0, INT32_MAX};
    const FlyingPixelFilterParams flying{255, INT32_MIN};
    const SpatialFilterParams spatial{1, -1, 1000, 9};
    const FillHoleFilterParams fillHole{2, 8, 40, -2};
    EXPECT_EQ(filter.SetTimeFilterParams(time), 0);
    EXPECT_EQ(filter.SetConfidenceFilterParams(confidence), 0);
    EXPECT_EQ(filter.SetFlyingPixelFilterParams(flying), 0);
    EXPECT_EQ(filter.SetSpatialFilterParams(spatial), 0);
    EXPECT_EQ(filter.SetFillHoleFilterParams(fillHole), 0);
    TimeFilterParams timeOut{};
    ConfidenceFilterParams confidenceOut{};
    FlyingPixelFilterParams flyingOut{};
    SpatialFilterParams spatialOut{};
    FillHoleFilterParams fillHoleOut{};
    filter.GetTimeFilterParams(&timeOut);
    filter.GetConfidenceFilterParams(&confidenceOut);
    filter.GetFlyingPixelFilterParams(&flyingOut);
    filter.GetSpatialFilterParams(&spatialOut);
    filter.GetFillHoleFilterParams(&fillHoleOut);
    EXPECT_TRUE(Same(timeOut, time));
    EXPECT_TRUE(Same(confidenceOut, confidence));
    EXPECT_TRUE(Same(flyingOut, flying));
    EXPECT_TRUE(Same(spatialOut, spatial));
    EXPECT_TRUE(Same(fillHoleOut, fillHole));
}

TEST_F(FilterSettingsTest, NullRecordIsRefused) {
    EXPECT_EQ(filter.GetTimeFilterParams(nullptr), -15);
    EXPECT_EQ(filter.GetConfidenceFilterParams(nullptr), -15);
    EXPECT_EQ(filter.GetFlyingPixelFilterParams(nullptr), -15);
    EXPECT_EQ(filter.GetSpatialFilterParams(nullptr), -15);
    EXPECT_EQ(filter.GetFillHoleFilterParams(nullptr), -15);
}

TEST_F(FilterSettingsTest, LimitsBeyondSixteenBitsSaturate) {
    filter.SetFlyingPixelFilterParams({0, 15});
    EXPECT_EQ(filter.SetMeasuringRange(5, 70000, 0), 0);  // 70000 cut to 16 bits would be 4464
    DepthImage image(3, 3, 65000);
    image.at(1, 1) = 0;
    filter.Depth(image.frame());
    EXPECT_EQ(image.at(1, 1), 65000);
}

TEST_F(FilterSettingsTest, RecordReadWhileAnotherThreadSetsIsNeverTorn) {
    const SpatialFilterParams a{1, 7, 50, 1};
    const SpatialFilterParams b{0, -7, -50, -1};
    filter.SetSpatialFilterParams(a);
    std::atomic<bool> stop{false};
    std::thread setter([&] {
        for (int i = 1; !stop.load(); ++i) {
            filter.SetSpatialFilterParams(i % 2 == 0 ? a : b);
        }
    });
    int torn = 0;
    for (int i = 0; i < 20000; ++i) {
        SpatialFilterParams got{};
        filter.GetSpatialFilterParams(&got);
        torn += Same(got, a) || Same(got, b) ? 0 : 1;
    }
    stop = true;
    setter.join();
    EXPECT_EQ(torn, 0);
}

}  // namespace
