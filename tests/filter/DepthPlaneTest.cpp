#include <gtest/gtest.h>

#include <vector>

#include "DepthPlane.h"
#include "Filter.h"
#include "TempDir.h"

namespace {

constexpr uint16_t kGuard = 4321;

// A 4 by 4 header over a buffer whose capacity covers only the first two rows; the rows
// behind it hold a guard value that no filter may touch.
struct ShortBuffer {
    ShortBuffer() : pixels(16, 0) {
        for (size_t i = 8; i < 16; ++i) {
            pixels[i] = kGuard;
        }
        pixels[5] = 1000;
        frame.frameType = FRAME_DEPTH;
        frame.width = 4;
        frame.height = 4;
        frame.data = reinterpret_cast<uint8_t*>(pixels.data());
        frame.capacity = 8 * sizeof(uint16_t);
    }
    bool GuardIntact() const {
        for (size_t i = 8; i < 16; ++i) {
            if (pixels[i] != kGuard) {
                return false;
            }
        }
        return true;
    }
    std::vector<uint16_t> pixels;
    Frame frame{};
};

TEST(DepthPlaneTest, RowsBeyondTheCapacityAreLeftOut) {
    ShortBuffer buffer;
    const DepthPlane plane = DepthPlane::Of(buffer.frame);
    EXPECT_EQ(plane.width, 4u);
    EXPECT_EQ(plane.height, 2u);
    EXPECT_EQ(DepthPlane::CountOf(buffer.frame), 8u);
}

TEST(DepthPlaneTest, FrameWithoutBufferHasNoPixels) {
    Frame frame{};
    frame.width = 640;
    frame.height = 480;
    frame.capacity = 614400;
    EXPECT_EQ(DepthPlane::Of(frame).Count(), 0u);
    EXPECT_EQ(DepthPlane::CountOf(frame), 0u);
}

TEST(DepthPlaneTest, FiltersStayInsideTheBuffer) {
    testsupport::TempDir folder;
    Filter filter(folder.Path());
    filter.SetMeasuringRange(0, 7495, 0);
    filter.SetSpatialFilterParams({1, 0, 100, 1});
    ShortBuffer buffer;
    filter.TimeFilter(buffer.frame);
    filter.TimeFilter(buffer.frame);
    filter.Depth(buffer.frame);
    filter.ConfidenceFilter(buffer.frame, buffer.frame);
    EXPECT_TRUE(buffer.GuardIntact());
}

}  // namespace
