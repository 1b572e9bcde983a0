#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>

#include "PreProcTestImages.h"

namespace {

using namespace preproc_test;

// The lens of the tests: barrel distortion with a little of every term.
constexpr std::array<double, 8> kLens{-0.2, 0.05, 0.001, -0.0015, 0.002, 0.01, 0.002, 0.001};
const Camera kToF{500, 500, 319.5, 239.5};

// Reference of the rational model, independent of the library's.
void Distort(const std::array<double, 8>& d, double x, double y, double& xd, double& yd) {
    const double r2 = x * x + y * y;
    const double radial =
        (1 + d[0] * r2 + d[1] * r2 * r2 + d[4] * r2 * r2 * r2) / (1 + d[5] * r2 + d[6] * r2 * r2 + d[7] * r2 * r2 * r2);
    xd = x * radial + 2 * d[2] * x * y + d[3] * (r2 + 2 * x * x);
    yd = y * radial + d[2] * (r2 + 2 * y * y) + 2 * d[3] * x * y;
}

// The ideal pixel that the lens put at captured pixel (u, v), by fixed-point iteration.
void Ideal(const Camera& k, const std::array<double, 8>& d, double u, double v, double& ui, double& vi) {
    const double xd = (u - k.cx) / k.fx, yd = (v - k.cy) / k.fy;
    double x = xd, y = yd;
    for (int i = 0; i < 50; ++i) {
        double xx, yy;
        Distort(d, x, y, xx, yy);
        x += xd - xx;
        y += yd - yy;
    }
    ui = k.fx * x + k.cx;
    vi = k.fy * y + k.cy;
}

class Undistortion : public ::testing::Test {
protected:
    void Calibrate(const std::array<double, 8>& tofLens, const std::array<double, 8>& colorLens) {
        Calibration calibration = SameCameras(0);
        calibration.tof = kToF;
        calibration.tofDistortion = tofLens;
        calibration.colorDistortion = colorLens;
        const auto block = calibration.Block();
        m_preProcess->SetCalibrationParams(block.data(), 0);
        m_preProcess->SetDistortionCorrection(true);
    }

    std::unique_ptr<APIImgPreProcess> m_preProcess = MakePreProcess();
};

TEST_F(Undistortion, RoundTripLandsEveryPixelWithinHalfAPixel) {
    Calibrate(kLens, {});
    // Captured images whose pixels hold, in 1/64 px, the ideal coordinates they show.
    Image xs(ALG_ELEM_16U, 640, 480), ys(ALG_ELEM_16U, 640, 480);
    for (int v = 0; v < 480; ++v) {
        for (int u = 0; u < 640; ++u) {
            double ui, vi;
            Ideal(kToF, kLens, u, v, ui, vi);
            xs.SetDepth(u, v, static_cast<uint16_t>(std::lround(std::clamp(ui + 100, 0.0, 1000.0) * 64)));
            ys.SetDepth(u, v, static_cast<uint16_t>(std::lround(std::clamp(vi + 100, 0.0, 1000.0) * 64)));
        }
    }
    ASSERT_EQ(m_preProcess->ProcessImage(xs.Descriptor()), 0);
    ASSERT_EQ(m_preProcess->ProcessImage(ys.Descriptor()), 0);

    // The corrected image is seen through the matrix AdjustIntrinsic gives.
    auto K = kToF.Matrix();
    ASSERT_EQ(m_preProcess->AdjustIntrinsic(K.data(), kLens.data(), (480 << 16) | 640), 0);
    EXPECT_EQ(K, kToF.Matrix());
    double worst = 0;
    for (int v = 0; v < 480; ++v) {
        for (int u = 0; u < 640; ++u) {
            // Barrel distortion: every corrected pixel comes from inside the captured image.
            ASSERT_NE(xs.Depth(u, v), 0) << u << "," << v;
            const double ex = std::fabs(xs.Depth(u, v) / 64.0 - 100 - u);
            const double ey = std::fabs(ys.Depth(u, v) / 64.0 - 100 - v);
            worst = std::max({worst, ex, ey});
        }
    }
    EXPECT_LT(worst, 0.5);
}

TEST_F(Undistortion, DepthKeepsSourceValuesAndLandsWithinAPixel) {
    Calibrate(kLens, {});
    // Checkerboard of 16 px squares in the ideal image, as the lens shows it.
    auto square = [](double u, double v) {
        return ((static_cast<int>(std::floor(u / 16)) + static_cast<int>(std::floor(v / 16))) & 1) ? 2000 : 1000;
    };
    Image depth(ALG_ELEM_16U, 640, 480);
    for (int v = 0; v < 480; ++v) {
        for (int u = 0; u < 640; ++u) {
            double ui, vi;
            Ideal(kToF, kLens, u, v, ui, vi);
            depth.SetDepth(u, v, static_cast<uint16_t>(square(ui, vi)));
        }
    }
    ASSERT_EQ(m_preProcess->ProcessDepthImage(depth.Descriptor()), 0);
    int wrong = 0;
    for (int v = 0; v < 480; ++v) {
        for (int u = 0; u < 640; ++u) {
            const uint16_t d = depth.Depth(u, v);
            ASSERT_TRUE(d == 1000 || d == 2000) << d << " at " << u << "," << v;  // nothing blended
            // Away from the square edges the value is the ideal image's.
            const bool nearEdge = std::fmod(u + 0.5, 16.0) < 1.5 || std::fmod(u + 0.5, 16.0) > 14.5 ||
                                  std::fmod(v + 0.5, 16.0) < 1.5 || std::fmod(v + 0.5, 16.0) > 14.5;
            if (!nearEdge && d != square(u, v)) ++wrong;
        }
    }
    EXPECT_EQ(wrong, 0);
}

TEST_F(Undistortion, ColorImageUsesTheColorLens) {
    const Camera kColor{200, 200, 127.5, 95.5};
    Calibrate({}, kLens);
    m_preProcess->SetSensorIntrinsic(1, kColor.Matrix().data(), 256, 192);
    Image color(ALG_ELEM_8UC3, 256, 192);
    for (int v = 0; v < 192; ++v) {
        for (int u = 0; u < 256; ++u) {
            double ui, vi;
            Ideal(kColor, kLens, u, v, ui, vi);
            uint8_t* p = color.Pixel(u, v);
            p[0] = static_cast<uint8_t>(std::lround(std::clamp(ui, 0.0, 255.0)));
            p[1] = static_cast<uint8_t>(std::lround(std::clamp(vi, 0.0, 191.0)));
            p[2] = 77;
        }
    }
    ASSERT_EQ(m_preProcess->ProcessColorImage(color.Descriptor()), 0);
    for (int v = 8; v < 184; ++v) {
        for (int u = 8; u < 248; ++u) {
            const uint8_t* p = color.Pixel(u, v);
            ASSERT_NEAR(p[0], u, 1) << u << "," << v;
            ASSERT_NEAR(p[1], v, 1) << u << "," << v;
            ASSERT_EQ(p[2], 77) << u << "," << v;
        }
    }
}

TEST_F(Undistortion, ANewLensRebuildsTheTable) {
    constexpr std::array<double, 8> kMilder{-0.1, 0, 0, 0, 0, 0, 0, 0};
    Image pattern(ALG_ELEM_16U, 160, 120);
    for (int v = 0; v < 120; ++v)
        for (int u = 0; u < 160; ++u) pattern.SetDepth(u, v, static_cast<uint16_t>(u * 300 + v));

    Calibrate(kLens, {});
    Image first = pattern;
    ASSERT_EQ(m_preProcess->ProcessImage(first.Descriptor()), 0);
    Calibrate(kMilder, {});
    Image second = pattern;
    ASSERT_EQ(m_preProcess->ProcessImage(second.Descriptor()), 0);

    auto fresh = MakePreProcess();
    Calibration calibration = SameCameras(0);
    calibration.tof = kToF;
    calibration.tofDistortion = kMilder;
    const auto block = calibration.Block();
    fresh->SetCalibrationParams(block.data(), 0);
    fresh->SetDistortionCorrection(true);
    Image expected = pattern;
    ASSERT_EQ(fresh->ProcessImage(expected.Descriptor()), 0);
    EXPECT_NE(first.Bytes(), second.Bytes());
    EXPECT_EQ(second.Bytes(), expected.Bytes());
}

TEST_F(Undistortion, EightBitImagesAreCorrectedToo) {
    Calibrate(kLens, {});
    Image ir(ALG_ELEM_8U, 640, 480);
    std::fill(ir.Bytes().begin(), ir.Bytes().end(), 200);
    ASSERT_EQ(m_preProcess->ProcessImage(ir.Descriptor()), 0);
    // A flat image stays flat where the lens saw it.
    EXPECT_TRUE(std::all_of(ir.Bytes().begin(), ir.Bytes().end(), [](uint8_t b) { return b == 200; }));
}

struct UnchangedCase {
    const char* name;
    bool correction;
    bool lens;
};

class LeftAsItIs : public Undistortion, public ::testing::WithParamInterface<UnchangedCase> {};

TEST_P(LeftAsItIs, WhenCorrectionIsOffOrTheLensIsIdeal) {
    Calibrate(GetParam().lens ? kLens : std::array<double, 8>{}, GetParam().lens ? kLens : std::array<double, 8>{});
    m_preProcess->SetDistortionCorrection(GetParam().correction);
    Image depth(ALG_ELEM_16U, 640, 480), ir(ALG_ELEM_16U, 640, 480), color(ALG_ELEM_8UC3, 640, 480);
    for (auto* image : {&depth, &ir, &color})
        for (size_t i = 0; i < image->Bytes().size(); ++i) image->Bytes()[i] = static_cast<uint8_t>(i * 31);
    const auto before = std::make_tuple(depth.Bytes(), ir.Bytes(), color.Bytes());
    EXPECT_EQ(m_preProcess->ProcessDepthImage(depth.Descriptor()), 0);
    EXPECT_EQ(m_preProcess->ProcessImage(ir.Descriptor()), 0);
    EXPECT_EQ(m_preProcess->ProcessColorImage(color.Descriptor()), 0);
    EXPECT_TRUE(std::make_tuple(depth.Bytes(), ir.Bytes(), color.Bytes()) == before);
}

INSTANTIATE_TEST_SUITE_P(Cases, LeftAsItIs,
                         ::testing::Values(UnchangedCase{"correctionOff", false, true},
                                           UnchangedCase{"idealLens", true, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Undistortion, CorrectionStartsOff) {
    Calibration calibration = SameCameras(0);
    calibration.tofDistortion = kLens;
    const auto block = calibration.Block();
    m_preProcess->SetCalibrationParams(block.data(), 0);
    Image depth(ALG_ELEM_16U, 64, 48, 0x5A);
    const auto before = depth.Bytes();
    EXPECT_EQ(m_preProcess->ProcessDepthImage(depth.Descriptor()), 0);
    EXPECT_EQ(depth.Bytes(), before);
}

TEST_F(Undistortion, LensWithoutCameraIsAFailure) {
    Calibration calibration;  // a lens but no focal length
    calibration.tofDistortion = kLens;
    const auto block = calibration.Block();
    m_preProcess->SetCalibrationParams(block.data(), 0);
    m_preProcess->SetDistortionCorrection(true);
    Image depth(ALG_ELEM_16U, 64, 48, 0x5A);
    const auto before = depth.Bytes();
    EXPECT_EQ(m_preProcess->ProcessDepthImage(depth.Descriptor()), -1);
    EXPECT_EQ(depth.Bytes(), before);
}

TEST_F(Undistortion, NonFiniteLensIsAFailure) {
    auto lens = kLens;
    lens[1] = NAN;
    Calibrate(lens, {});
    Image depth(ALG_ELEM_16U, 64, 48, 0x5A);
    const auto before = depth.Bytes();
    EXPECT_EQ(m_preProcess->ProcessDepthImage(depth.Descriptor()), -1);
    EXPECT_EQ(depth.Bytes(), before);
}

TEST_F(Undistortion, RefusesImagesOfTheWrongKind) {
    Calibrate(kLens, kLens);
    Image color(ALG_ELEM_8UC3, 64, 48), depth(ALG_ELEM_16U, 64, 48);
    EXPECT_EQ(m_preProcess->ProcessDepthImage(color.Descriptor()), -1);
    EXPECT_EQ(m_preProcess->ProcessImage(color.Descriptor()), -1);
    EXPECT_EQ(m_preProcess->ProcessColorImage(depth.Descriptor()), -1);
    EXPECT_EQ(m_preProcess->ProcessDepthImage(nullptr), -1);
    PreProcImage empty{nullptr, ALG_ELEM_16U, 64, 48};
    EXPECT_EQ(m_preProcess->ProcessImage(&empty), -1);
}

TEST_F(Undistortion, AdjustIntrinsicRefusesMissingArguments) {
    auto K = kToF.Matrix();
    EXPECT_EQ(m_preProcess->AdjustIntrinsic(nullptr, kLens.data(), (480 << 16) | 640), -1);
    EXPECT_EQ(m_preProcess->AdjustIntrinsic(K.data(), nullptr, (480 << 16) | 640), -1);
    EXPECT_EQ(m_preProcess->AdjustIntrinsic(K.data(), kLens.data(), 640), -1);
    EXPECT_EQ(K, kToF.Matrix());
}

}  // namespace
