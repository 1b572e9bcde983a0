#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "PreProcTestImages.h"

namespace {

using namespace preproc_test;

constexpr int kWidth = 160;
constexpr int kHeight = 120;
constexpr int kRounds = 40;

// Two rigs that differ in every part a call reads: baseline, lens.
Calibration RigA() {
    Calibration calibration = SameCameras(50);
    calibration.tofDistortion = {-0.2, 0.05, 0, 0, 0, 0, 0, 0};
    return calibration;
}

Calibration RigB() {
    Calibration calibration = SameCameras(20);
    calibration.rotation = RotationAboutY(1);
    calibration.tofDistortion = {-0.05, 0, 0.001, 0, 0, 0, 0, 0};
    return calibration;
}

struct Results {
    std::vector<uint8_t> depthInColor, colorInDepth, undistorted;
};

struct Inputs {
    Image depth{ALG_ELEM_16U, kWidth, kHeight};
    Image color = CoordinateImage(kWidth, kHeight);
    Inputs() {
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) depth.SetDepth(x, y, static_cast<uint16_t>(900 + 5 * x + 3 * y));
    }
};

void Use(APIImgPreProcess& preProcess, const Calibration& calibration) {
    const auto block = calibration.Block();
    preProcess.SetCalibrationParams(block.data(), 0);
}

Results Run(APIImgPreProcess& preProcess, Inputs& in) {
    Results results;
    Image depthInColor(ALG_ELEM_16U, kWidth, kHeight), colorInDepth(ALG_ELEM_8UC3, kWidth, kHeight);
    EXPECT_EQ(preProcess.MapDepthToColor(in.color.Descriptor(), in.depth.Descriptor(), depthInColor.Descriptor()), 0);
    EXPECT_EQ(preProcess.MapColorToDepth(in.depth.Descriptor(), in.color.Descriptor(), colorInDepth.Descriptor()), 0);
    Image depth = in.depth;
    EXPECT_EQ(preProcess.ProcessDepthImage(depth.Descriptor()), 0);
    return Results{depthInColor.Bytes(), colorInDepth.Bytes(), depth.Bytes()};
}

Results Expected(const Calibration& calibration) {
    auto preProcess = MakePreProcess();
    Use(*preProcess, calibration);
    preProcess->SetDistortionCorrection(true);
    Inputs in;
    return Run(*preProcess, in);
}

// Parameters change on one thread while three others map and correct: every result is
// wholly one rig's, never a mix of the two.
TEST(Concurrency, CallsSeeOneWholeParameterSetWhileItChanges) {
    const Results a = Expected(RigA());
    const Results b = Expected(RigB());
    ASSERT_NE(a.depthInColor, b.depthInColor);
    ASSERT_NE(a.colorInDepth, b.colorInDepth);
    ASSERT_NE(a.undistorted, b.undistorted);

    auto preProcess = MakePreProcess();
    Use(*preProcess, RigA());
    preProcess->SetDistortionCorrection(true);
    std::atomic<bool> done{false};
    std::thread changer([&] {
        for (int i = 0; !done; ++i) {
            Use(*preProcess, i % 2 ? RigA() : RigB());
            std::this_thread::yield();
        }
    });
    auto check = [&](auto field, auto call) {
        return std::thread([&, field, call] {
            Inputs in;
            for (int round = 0; round < kRounds; ++round) {
                const std::vector<uint8_t> got = call(in);
                EXPECT_TRUE(got == a.*field || got == b.*field) << "round " << round;
            }
        });
    };
    std::thread depthInColor = check(&Results::depthInColor, [&](Inputs& in) {
        Image out(ALG_ELEM_16U, kWidth, kHeight);
        EXPECT_EQ(preProcess->MapDepthToColor(in.color.Descriptor(), in.depth.Descriptor(), out.Descriptor()), 0);
        return out.Bytes();
    });
    std::thread colorInDepth = check(&Results::colorInDepth, [&](Inputs& in) {
        Image out(ALG_ELEM_8UC3, kWidth, kHeight);
        EXPECT_EQ(preProcess->MapColorToDepth(in.depth.Descriptor(), in.color.Descriptor(), out.Descriptor()), 0);
        return out.Bytes();
    });
    std::thread undistort = check(&Results::undistorted, [&](Inputs& in) {
        Image depth = in.depth;
        EXPECT_EQ(preProcess->ProcessDepthImage(depth.Descriptor()), 0);
        return depth.Bytes();
    });
    depthInColor.join();
    colorInDepth.join();
    undistort.join();
    done = true;
    changer.join();
}

}  // namespace
