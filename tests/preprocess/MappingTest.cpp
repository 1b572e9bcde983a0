#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "PreProcTestImages.h"

namespace {

using namespace preproc_test;

class Mapping : public ::testing::Test {
protected:
    void Calibrate(const Calibration& calibration) {
        const auto block = calibration.Block();
        m_preProcess->SetCalibrationParams(block.data(), 0);
    }

    std::unique_ptr<APIImgPreProcess> m_preProcess = MakePreProcess();
};

Image Plane(int width, int height, uint16_t depth) {
    Image image(ALG_ELEM_16U, width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) image.SetDepth(x, y, depth);
    return image;
}

TEST_F(Mapping, IdentityRigGivesBackBothInputs) {
    Calibrate(SameCameras(0));
    Image depth(ALG_ELEM_16U, 640, 480);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) depth.SetDepth(x, y, static_cast<uint16_t>(500 + (x * 7 + y * 13) % 3000));
    depth.SetDepth(10, 10, 0);
    depth.SetDepth(11, 10, 65535);
    Image color = CoordinateImage(640, 480);

    Image depthInColor(ALG_ELEM_16U, 640, 480, 0xAB);
    ASSERT_EQ(m_preProcess->MapDepthToColor(color.Descriptor(), depth.Descriptor(), depthInColor.Descriptor()), 0);
    Image expectedDepth = depth;
    expectedDepth.SetDepth(11, 10, 0);  // no depth stays no depth
    EXPECT_EQ(depthInColor.Bytes(), expectedDepth.Bytes());
    EXPECT_EQ(depthInColor.Descriptor()->elemType, ALG_ELEM_16U);
    EXPECT_EQ(depthInColor.Descriptor()->width, 640);
    EXPECT_EQ(depthInColor.Descriptor()->height, 480);

    Image colorInDepth(ALG_ELEM_8UC3, 640, 480, 0xAB);
    ASSERT_EQ(m_preProcess->MapColorToDepth(depth.Descriptor(), color.Descriptor(), colorInDepth.Descriptor()), 0);
    Image expectedColor = color;
    std::memset(expectedColor.Pixel(10, 10), 0, 6);  // the two pixels without depth are black
    EXPECT_EQ(colorInDepth.Bytes(), expectedColor.Bytes());
}

TEST_F(Mapping, TranslationShiftsAPlaneByFocalTimesBaselineOverDepth) {
    Calibrate(SameCameras(50));  // 500 * 50 / 1000 = 25 px
    Image depth = Plane(640, 480, 1000);
    Image color = CoordinateImage(640, 480);
    Image colorInDepth(ALG_ELEM_8UC3, 640, 480);
    ASSERT_EQ(m_preProcess->MapColorToDepth(depth.Descriptor(), color.Descriptor(), colorInDepth.Descriptor()), 0);
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) {
            int cx, cy;
            const bool seen = DecodeCoordinates(colorInDepth.Pixel(x, y), cx, cy);
            ASSERT_EQ(seen, x + 25 < 640) << x << "," << y;
            if (seen) {
                ASSERT_EQ(cx, x + 25) << x << "," << y;
                ASSERT_EQ(cy, y) << x << "," << y;
            }
        }
    }
}

TEST_F(Mapping, NearerBoxHidesTheWallAndLeavesTheDisoccludedStripEmpty) {
    Calibrate(SameCameras(50));  // wall at 2000 mm shifts 12.5 px, box at 1000 mm 25 px
    Image depth = Plane(640, 480, 2000);
    for (int y = 100; y < 300; ++y)
        for (int x = 200; x < 300; ++x) depth.SetDepth(x, y, 1000);
    Image color(ALG_ELEM_8UC3, 640, 480);
    Image depthInColor(ALG_ELEM_16U, 640, 480);
    ASSERT_EQ(m_preProcess->MapDepthToColor(color.Descriptor(), depth.Descriptor(), depthInColor.Descriptor()), 0);
    for (int y = 100; y < 300; ++y) {
        EXPECT_EQ(depthInColor.Depth(212, y), 2000) << y;
        for (int x = 213; x <= 224; ++x) ASSERT_EQ(depthInColor.Depth(x, y), 0) << x << "," << y;
        // Box and wall both land on 312..324: the box is in front.
        for (int x = 225; x <= 324; ++x) ASSERT_EQ(depthInColor.Depth(x, y), 1000) << x << "," << y;
        EXPECT_EQ(depthInColor.Depth(325, y), 2000) << y;
    }
    // Away from the box the wall is seen whole.
    for (int x = 14; x < 640; ++x) ASSERT_EQ(depthInColor.Depth(x, 50), 2000) << x;
}

// Every row and every column of the mapped depth is empty or one unbroken run, and the
// depth covers most of the image.
void ExpectNoHoles(const Image& mapped) {
    size_t total = 0;
    auto runs = [&](int count, int length, bool rows) {
        for (int i = 0; i < count; ++i) {
            int first = -1, last = -1, filled = 0;
            for (int j = 0; j < length; ++j) {
                if ((rows ? mapped.Depth(j, i) : mapped.Depth(i, j)) == 0) continue;
                if (first < 0) first = j;
                last = j;
                ++filled;
            }
            if (rows) total += filled;
            ASSERT_EQ(filled, first < 0 ? 0 : last - first + 1) << (rows ? "row " : "column ") << i;
        }
    };
    runs(mapped.Height(), mapped.Width(), true);
    runs(mapped.Width(), mapped.Height(), false);
    EXPECT_GT(total, static_cast<size_t>(mapped.Width()) * mapped.Height() / 2);
}

struct HoleCase {
    const char* name;
    double rotationDegrees;
    int baseDepth;
    int depthPerColumn;  // a ramp
};

class LargerColorImage : public Mapping, public ::testing::WithParamInterface<HoleCase> {};

TEST_P(LargerColorImage, DepthFillsTheColorImageWithoutHoles) {
    Calibration calibration = SameCameras(25);
    calibration.rotation = RotationAboutY(GetParam().rotationDegrees);
    Calibrate(calibration);
    Image depth(ALG_ELEM_16U, 640, 480);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            depth.SetDepth(x, y, static_cast<uint16_t>(GetParam().baseDepth + GetParam().depthPerColumn * x));
    Image color(ALG_ELEM_8UC3, 1600, 1200);
    Image depthInColor(ALG_ELEM_16U, 1600, 1200);
    ASSERT_EQ(m_preProcess->MapDepthToColor(color.Descriptor(), depth.Descriptor(), depthInColor.Descriptor()), 0);
    EXPECT_EQ(depthInColor.Descriptor()->width, 1600);
    EXPECT_EQ(depthInColor.Descriptor()->height, 1200);
    ExpectNoHoles(depthInColor);
}

INSTANTIATE_TEST_SUITE_P(Rigs, LargerColorImage,
                         ::testing::Values(HoleCase{"plane", 0, 1000, 0}, HoleCase{"ramp", 0, 1000, 2},
                                           HoleCase{"nearingRamp", 0, 3000, -3}, HoleCase{"turned", 2, 1000, 0},
                                           HoleCase{"turnedRamp", -2, 1000, 3}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Mapping, PlaneFillsTheLargerColorImageAtItsDepth) {
    Calibrate(
        SameCameras(25));  // 1250 * 25 / 1000 = 31.25 px to the right; depth column 0 covers colour columns 31 to 33
    Image depth = Plane(640, 480, 1000);
    Image color(ALG_ELEM_8UC3, 1600, 1200);
    Image depthInColor(ALG_ELEM_16U, 1600, 1200);
    ASSERT_EQ(m_preProcess->MapDepthToColor(color.Descriptor(), depth.Descriptor(), depthInColor.Descriptor()), 0);
    for (int y = 0; y < 1200; ++y) {
        for (int x = 0; x < 1600; ++x) {
            ASSERT_EQ(depthInColor.Depth(x, y), x >= 31 ? 1000 : 0) << x << "," << y;
        }
    }
}

TEST_F(Mapping, PointMapAgreesWithTheColorInDepthImage) {
    Calibration calibration = SameCameras(40);
    calibration.rotation = RotationAboutY(1.5);
    Calibrate(calibration);
    Image depth(ALG_ELEM_16U, 640, 480);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x) depth.SetDepth(x, y, static_cast<uint16_t>(600 + 3 * x + 2 * y));
    depth.SetDepth(5, 5, 0);
    Image color = CoordinateImage(1600, 1200);
    Image colorInDepth(ALG_ELEM_8UC3, 640, 480);
    ASSERT_EQ(m_preProcess->MapColorToDepth(depth.Descriptor(), color.Descriptor(), colorInDepth.Descriptor()), 0);
    int outside = 0;
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) {
            QlVector2u16 point{7, 7};
            const int result = m_preProcess->MapDepthPointToColor(QlDepthVector3{x, y, depth.Depth(x, y)},
                                                                  QlVector2u16{1600, 1200}, &point);
            int cx, cy;
            const bool seen = DecodeCoordinates(colorInDepth.Pixel(x, y), cx, cy);
            ASSERT_EQ(result == 0, seen) << x << "," << y;
            if (seen) {
                ASSERT_EQ(point.x, cx) << x << "," << y;
                ASSERT_EQ(point.y, cy) << x << "," << y;
            } else {
                ASSERT_EQ(point.x, 0);
                ASSERT_EQ(point.y, 0);
                ++outside;
            }
        }
    }
    EXPECT_GT(outside, 1);  // the pixel without depth and the ones that leave the image
    EXPECT_LT(outside, 640 * 480 / 4);
}

TEST_F(Mapping, PointMapRefusesPointsOutsideTheDepthImage) {
    Calibrate(SameCameras(0));
    for (QlDepthVector3 point : {QlDepthVector3{-1, 0, 1000}, QlDepthVector3{640, 0, 1000},
                                 QlDepthVector3{0, 480, 1000}, QlDepthVector3{0, 0, 65535}}) {
        QlVector2u16 out{9, 9};
        EXPECT_EQ(m_preProcess->MapDepthPointToColor(point, QlVector2u16{640, 480}, &out), -1);
        EXPECT_EQ(out.x, 0);
        EXPECT_EQ(out.y, 0);
    }
    EXPECT_EQ(m_preProcess->MapDepthPointToColor(QlDepthVector3{1, 1, 1000}, QlVector2u16{640, 480}, nullptr), -1);
}

TEST_F(Mapping, IntrinsicsFollowTheSizeTheyWereGivenFor) {
    // Colour K given for 320x240 holds at 640x480 scaled by two.
    Calibrate(SameCameras(0));
    const Camera half{250, 250, 159.5, 119.5};
    m_preProcess->SetSensorIntrinsic(1, half.Matrix().data(), 320, 240);
    Image depth = Plane(640, 480, 1000);
    Image color = CoordinateImage(640, 480);
    Image colorInDepth(ALG_ELEM_8UC3, 640, 480);
    ASSERT_EQ(m_preProcess->MapColorToDepth(depth.Descriptor(), color.Descriptor(), colorInDepth.Descriptor()), 0);
    for (int y = 0; y < 480; y += 37) {
        for (int x = 0; x < 640; x += 41) {
            int cx, cy;
            ASSERT_TRUE(DecodeCoordinates(colorInDepth.Pixel(x, y), cx, cy));
            EXPECT_EQ(cx, x);
            EXPECT_EQ(cy, y);
        }
    }
}

TEST_F(Mapping, OutputsAreExactlyTheTargetImagesSize) {
    Calibrate(SameCameras(30));
    Image depth = Plane(320, 240, 1500);
    Image color = CoordinateImage(400, 300);
    // One buffer each, with a guard behind the target's bytes.
    std::vector<uint8_t> depthInColor(400 * 300 * 2 + 64, 0xAB);
    PreProcImage out{depthInColor.data(), ALG_ELEM_16U, 0, 0};
    ASSERT_EQ(m_preProcess->MapDepthToColor(color.Descriptor(), depth.Descriptor(), &out), 0);
    EXPECT_EQ(out.width, 400);
    EXPECT_EQ(out.height, 300);
    EXPECT_TRUE(std::all_of(depthInColor.end() - 64, depthInColor.end(), [](uint8_t b) { return b == 0xAB; }));

    std::vector<uint8_t> colorInDepth(320 * 240 * 3 + 64, 0xAB);
    PreProcImage out2{colorInDepth.data(), ALG_ELEM_8UC3, 0, 0};
    ASSERT_EQ(m_preProcess->MapColorToDepth(depth.Descriptor(), color.Descriptor(), &out2), 0);
    EXPECT_EQ(out2.width, 320);
    EXPECT_EQ(out2.height, 240);
    EXPECT_TRUE(std::all_of(colorInDepth.end() - 64, colorInDepth.end(), [](uint8_t b) { return b == 0xAB; }));
}

struct UncalibratedCase {
    const char* name;
    void (*spoil)(Calibration&);
};

class Uncalibrated : public Mapping, public ::testing::WithParamInterface<UncalibratedCase> {};

TEST_P(Uncalibrated, MappingsRefuseAndLeaveTheOutputAlone) {
    Calibration calibration = SameCameras(50);
    GetParam().spoil(calibration);
    Calibrate(calibration);
    Image depth = Plane(640, 480, 1000);
    Image color = CoordinateImage(640, 480);
    Image depthInColor(ALG_ELEM_16U, 640, 480, 0xAB);
    Image colorInDepth(ALG_ELEM_8UC3, 640, 480, 0xAB);
    EXPECT_EQ(m_preProcess->MapDepthToColor(color.Descriptor(), depth.Descriptor(), depthInColor.Descriptor()), -1);
    EXPECT_EQ(m_preProcess->MapColorToDepth(depth.Descriptor(), color.Descriptor(), colorInDepth.Descriptor()), -1);
    EXPECT_TRUE(
        std::all_of(depthInColor.Bytes().begin(), depthInColor.Bytes().end(), [](uint8_t b) { return b == 0xAB; }));
    EXPECT_TRUE(
        std::all_of(colorInDepth.Bytes().begin(), colorInDepth.Bytes().end(), [](uint8_t b) { return b == 0xAB; }));
    QlVector2u16 point{9, 9};
    EXPECT_EQ(m_preProcess->MapDepthPointToColor(QlDepthVector3{100, 100, 1000}, QlVector2u16{640, 480}, &point), -1);
    EXPECT_EQ(point.x, 0);
    EXPECT_EQ(point.y, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Uncalibrated,
    ::testing::Values(UncalibratedCase{"nothingSet",
                                       [](Calibration& c) {
                                           c = Calibration{};
                                           c.rotation = {};
                                       }},
                      UncalibratedCase{"tofFocalZero", [](Calibration& c) { c.tof.fx = 0; }},
                      UncalibratedCase{"colorFocalZero", [](Calibration& c) { c.color.fy = 0; }},
                      UncalibratedCase{"rotationUnread", [](Calibration& c) { c.rotation = {}; }},
                      UncalibratedCase{"rotationNotARotation", [](Calibration& c) { c.rotation[0] = 2; }},
                      UncalibratedCase{"translationNaN", [](Calibration& c) { c.translation[1] = NAN; }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MappingFresh, NothingCalibratedYet) {
    auto preProcess = MakePreProcess();
    Image depth = Plane(64, 48, 1000);
    Image color(ALG_ELEM_8UC3, 64, 48);
    Image out(ALG_ELEM_16U, 64, 48);
    EXPECT_EQ(preProcess->MapDepthToColor(color.Descriptor(), depth.Descriptor(), out.Descriptor()), -1);
}

struct BadImageCase {
    const char* name;
    void (*spoil)(PreProcImage& color, PreProcImage& depth, PreProcImage& output);
};

class BadImages : public Mapping, public ::testing::WithParamInterface<BadImageCase> {};

TEST_P(BadImages, AreRefused) {
    Calibrate(SameCameras(50));
    Image depth = Plane(64, 48, 1000);
    Image color = CoordinateImage(64, 48);
    Image out(ALG_ELEM_16U, 64, 48, 0xAB);
    PreProcImage c = *color.Descriptor(), d = *depth.Descriptor(), o = *out.Descriptor();
    GetParam().spoil(c, d, o);
    EXPECT_EQ(m_preProcess->MapDepthToColor(&c, &d, &o), -1);
    EXPECT_EQ(m_preProcess->MapColorToDepth(&d, &c, &o), -1);
    EXPECT_TRUE(std::all_of(out.Bytes().begin(), out.Bytes().end(), [](uint8_t b) { return b == 0xAB; }));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadImages,
    ::testing::Values(
        BadImageCase{"noDepthData", [](PreProcImage&, PreProcImage& d, PreProcImage&) { d.data = nullptr; }},
        BadImageCase{"noColorData", [](PreProcImage& c, PreProcImage&, PreProcImage&) { c.data = nullptr; }},
        BadImageCase{"noOutput", [](PreProcImage&, PreProcImage&, PreProcImage& o) { o.data = nullptr; }},
        BadImageCase{"depthIs8Bit", [](PreProcImage&, PreProcImage& d, PreProcImage&) { d.elemType = ALG_ELEM_8U; }},
        BadImageCase{"swapped", [](PreProcImage& c, PreProcImage& d, PreProcImage&) { std::swap(c, d); }},
        BadImageCase{"unknownType",
                     [](PreProcImage& c, PreProcImage&, PreProcImage&) { c.elemType = static_cast<ALG_ElemType>(7); }},
        BadImageCase{"zeroWidth", [](PreProcImage&, PreProcImage& d, PreProcImage&) { d.width = 0; }},
        BadImageCase{"negativeHeight", [](PreProcImage& c, PreProcImage&, PreProcImage&) { c.height = -48; }},
        BadImageCase{"hugeSide", [](PreProcImage& c, PreProcImage&, PreProcImage&) { c.width = 1 << 20; }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Mapping, NullDescriptorsAreRefused) {
    Calibrate(SameCameras(0));
    Image depth = Plane(8, 8, 1000);
    Image color(ALG_ELEM_8UC3, 8, 8);
    EXPECT_EQ(m_preProcess->MapDepthToColor(nullptr, depth.Descriptor(), color.Descriptor()), -1);
    EXPECT_EQ(m_preProcess->MapDepthToColor(color.Descriptor(), depth.Descriptor(), nullptr), -1);
    EXPECT_EQ(m_preProcess->MapColorToDepth(depth.Descriptor(), nullptr, color.Descriptor()), -1);
}

}  // namespace
