// Depth and colour of a simulated ToF-and-colour camera line up through the exported
// functions, at every colour resolution: the mapped images, the point mapping and the colour
// image agree with each other and with the simulator's own geometry.
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "CameraRig.h"
#include "E2eSupport.h"

namespace {

using namespace apie2e;

constexpr uint16_t kWallMm = 1800;
constexpr uint16_t kBoxMm = 1200;
constexpr FrameReady kAll =
    FRAME_READY_DEPTH | FRAME_READY_COLOR | FRAME_READY_COLOR_IN_DEPTH | FRAME_READY_DEPTH_IN_COLOR;

struct Resolution {
    int width;
    int height;
};

uint16_t Depth(const QlFrame& frame, int x, int y) {
    uint16_t d;
    std::memcpy(&d, frame.pFrameData + 2 * (static_cast<size_t>(y) * frame.width + x), sizeof d);
    return d;
}

// The box is orange and the wall grey; red against blue tells them apart through JPEG.
bool BoxColour(const QlFrame& frame, int x, int y) {
    const uint8_t* p = frame.pFrameData + 3 * (static_cast<size_t>(y) * frame.width + x);
    const int red = frame.pixelFormat == PIXEL_FORMAT_BGR ? p[2] : p[0];
    const int blue = frame.pixelFormat == PIXEL_FORMAT_BGR ? p[0] : p[2];
    return red > blue + 60;
}

bool BoxDepth(const QlFrame& frame, int x, int y) { return std::abs(Depth(frame, x, y) - kBoxMm) < 30; }

// The first and last position along a row (or a column) where `inBox` holds.
struct Span {
    int first = -1;
    int last = -1;
};

template <typename InBox>
Span SpanAlong(int length, InBox inBox) {
    Span span;
    for (int i = 0; i < length; ++i) {
        if (!inBox(i)) continue;
        if (span.first < 0) span.first = i;
        span.last = i;
    }
    return span;
}

void ExpectSameSpan(const Span& a, const Span& b, int tolerance, const char* what) {
    ASSERT_GE(a.first, 0) << what << ": no box";
    ASSERT_GE(b.first, 0) << what << ": no box";
    EXPECT_LE(std::abs(a.first - b.first), tolerance) << what << ": " << a.first << " against " << b.first;
    EXPECT_LE(std::abs(a.last - b.last), tolerance) << what << ": " << a.last << " against " << b.last;
}

class Alignment : public KitWithCamera, public ::testing::WithParamInterface<Resolution> {
protected:
    void SetUp() override {
        camsim::CameraOptions options = ColourCamera();
        options.scene = camsim::Scene::Box(kWallMm, kBoxMm);
        OpenCamera(options);
        FiltersOff();
        ASSERT_EQ(QL_SetColorResolution(handle, GetParam().width, GetParam().height), 0);
        ASSERT_EQ(QL_SetTransformColorImgToDepthSensorEnabled(handle, true), 0);
        ASSERT_EQ(QL_SetTransformDepthImgToColorSensorEnabled(handle, true), 0);
        ASSERT_EQ(QL_StartStream(handle), 0);
        // Frames of the old resolution may still be on their way.
        for (int i = 0; i < 20 && !HaveFrames(); ++i) {
        }
        ASSERT_EQ(Val(colour.width), GetParam().width);
        ASSERT_EQ(Val(depthInColour.width), GetParam().width);
        ASSERT_EQ(Val(depthInColour.height), GetParam().height);
    }

    bool HaveFrames() {
        if (NextGroup(kAll) == 0) return false;
        return QL_GetFrame(handle, FRAME_DEPTH, &depth) == 0 && QL_GetFrame(handle, FRAME_COLOR, &colour) == 0 &&
               QL_GetFrame(handle, FRAME_COLOR_IN_DEPTH, &colourInDepth) == 0 &&
               QL_GetFrame(handle, FRAME_DEPTH_IN_COLOR, &depthInColour) == 0 && colour.width == GetParam().width &&
               depthInColour.width == GetParam().width;
    }

    QlFrame depth{};
    QlFrame colour{};
    QlFrame colourInDepth{};
    QlFrame depthInColour{};
};

TEST_P(Alignment, BoxEdgesOfTheDepthInColourImageAreThoseOfTheColourImage) {
    const int width = colour.width;
    const int height = colour.height;
    for (int row : {height / 2, height / 3, 2 * height / 3}) {
        ExpectSameSpan(SpanAlong(width, [&](int x) { return BoxDepth(depthInColour, x, row); }),
                       SpanAlong(width, [&](int x) { return BoxColour(colour, x, row); }), 2, "row");
    }
    for (int column : {width / 2, width / 3, 2 * width / 3}) {
        ExpectSameSpan(SpanAlong(height, [&](int y) { return BoxDepth(depthInColour, column, y); }),
                       SpanAlong(height, [&](int y) { return BoxColour(colour, column, y); }), 2, "column");
    }
}

TEST_P(Alignment, DepthCentreMapsToTheColourPixelTheRigPredicts) {
    const camsim::CameraRig& rig = camsim::Rig();
    const int cx = kDepthWidth / 2;
    const int cy = kDepthHeight / 2;
    ASSERT_EQ(Depth(depth, cx, cy), kBoxMm);
    const camsim::Point3 ray = rig.depth.Ray(cx, cy);
    const camsim::Point3 inColour = rig.ToColour(camsim::Point3{ray.x * kBoxMm, ray.y * kBoxMm, ray.z * kBoxMm});
    double u = 0, v = 0;
    rig.colour.ScaledTo(GetParam().width, GetParam().height).Project(inColour, u, v);

    QlVector2u16 point{0, 0};
    const QlVector2u16 size{static_cast<uint16_t>(GetParam().width), static_cast<uint16_t>(GetParam().height)};
    ASSERT_EQ(QL_TransformedDepthPointToColorPoint(handle, QlDepthVector3{cx, cy, kBoxMm}, size, &point), 0);
    EXPECT_LE(std::abs(point.x - u), 1.0) << point.x << " against " << u;
    EXPECT_LE(std::abs(point.y - v), 1.0) << point.y << " against " << v;
    EXPECT_TRUE(BoxColour(colour, point.x, point.y)) << "the colour image shows the box there";
}

// Along a row the box also covers the strip of wall that the colour camera, beside the depth
// camera, cannot see behind it: the wall's depth pixels there take the box's colour.
TEST_P(Alignment, ColourInDepthShowsTheBoxWhereTheDepthFrameHasIt) {
    ASSERT_EQ(Val(colourInDepth.width), Val(depth.width));
    ASSERT_EQ(Val(colourInDepth.height), Val(depth.height));
    const int width = depth.width;
    const int height = depth.height;
    const camsim::CameraRig& rig = camsim::Rig();
    const double hidden = rig.depth.fx * rig.depthToColour[0] * (1.0 / kBoxMm - 1.0 / kWallMm);
    for (int row : {height / 2, height / 3, 2 * height / 3}) {
        Span box = SpanAlong(width, [&](int x) { return BoxDepth(depth, x, row); });
        (hidden > 0 ? box.last : box.first) += static_cast<int>(std::lround(hidden));
        ExpectSameSpan(box, SpanAlong(width, [&](int x) { return BoxColour(colourInDepth, x, row); }), 2, "row");
    }
    for (int column : {width / 2, width / 3, 2 * width / 3}) {
        ExpectSameSpan(SpanAlong(height, [&](int y) { return BoxDepth(depth, column, y); }),
                       SpanAlong(height, [&](int y) { return BoxColour(colourInDepth, column, y); }), 2, "column");
    }
}

INSTANTIATE_TEST_SUITE_P(ColourResolutions, Alignment,
                         ::testing::Values(Resolution{640, 480}, Resolution{800, 600}, Resolution{1600, 1200}),
                         [](const ::testing::TestParamInfo<Resolution>& info) {
                             return std::to_string(info.param.width) + "x" + std::to_string(info.param.height);
                         });

}  // namespace
