// A ToF-and-colour camera end to end: the simulator on 127.0.0.2, the kit's transport and
// device, and both built plug-ins loaded with dlopen as the kit loads them.
#include <dlfcn.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "CameraSim.h"
#include "DeviceTestSupport.h"
#include "LogCapture.h"
#include "Plugin.h"
#include "PreProcessFactory.h"
#include "SocketCtl.h"
#include "TofAndColorDevice.h"

namespace {

constexpr FrameReady kGroupReady = FRAME_READY_DEPTH | FRAME_READY_IR | FRAME_READY_COLOR;

template <typename T>
T Val(T value) {
    return value;
}

constexpr int kJpegTolerance = 24;

// A BGR pixel as the scene's colour, within JPEG tolerance.
bool LooksLike(const uint8_t* bgr, camsim::Rgb want) {
    return std::abs(bgr[0] - want.b) <= kJpegTolerance && std::abs(bgr[1] - want.g) <= kJpegTolerance &&
           std::abs(bgr[2] - want.r) <= kJpegTolerance;
}

// Where a depth pixel lands in the colour image: back-projected with the ToF matrix, moved into
// the colour camera, projected with the colour matrix. False when it lands outside.
bool ColourPixelOf(int x, int y, uint16_t depthMm, const double* tofK, const double* colourK,
                   const SensorExtrinsicParameters& rig, int width, int height, int& u, int& v) {
    const double p[3] = {(x - tofK[2]) / tofK[0] * depthMm, (y - tofK[5]) / tofK[4] * depthMm, double(depthMm)};
    double q[3];
    for (int i = 0; i < 3; ++i)
        q[i] = rig.rotation[3 * i] * p[0] + rig.rotation[3 * i + 1] * p[1] + rig.rotation[3 * i + 2] * p[2] +
               rig.translation[i];
    if (q[2] <= 0) return false;
    u = static_cast<int>(std::lround(colourK[0] * q[0] / q[2] + colourK[2]));
    v = static_cast<int>(std::lround(colourK[4] * q[1] / q[2] + colourK[5]));
    return u >= 0 && u < width && v >= 0 && v < height;
}

std::unique_ptr<Color_API> NewColorPlugin() {
    // Left loaded: the plug-in's threads end inside its code.
    static void* library = dlopen(COLOR_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return nullptr;
    auto factory = reinterpret_cast<GetColorFunction>(dlsym(library, "Get_Color"));
    return std::unique_ptr<Color_API>(factory ? factory(toftest::Plugin::Get().LogDir().c_str()) : nullptr);
}

class ColorDeviceEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(toftest::Plugin::Get().LoadError().empty()) << toftest::Plugin::Get().LoadError();
        camsim::CameraOptions options;
        options.ip = "127.0.0.2";
        options.serialNumber = "SIM0001";
        options.announce = false;
        options.colour = true;
        options.scene = camsim::Scene::Wall(1500);
        sim = std::make_unique<camsim::CameraSim>(options);
        ASSERT_TRUE(sim->Start());
        auto io = std::make_unique<SocketCtl>("127.0.0.2", "127.0.0.1", 9009, 9008);
        io->SetDeviceSN("SIM0001");
        auto tof = toftest::Plugin::Get().Create();
        auto color = NewColorPlugin();
        ASSERT_NE(tof, nullptr);
        ASSERT_NE(color, nullptr);
        device = std::make_unique<TofAndColorDevice>(devicetest::MakeDeviceInfo("SIM0001"), std::move(tof),
                                                     std::move(color), std::move(io), NewPreProcess());
        ASSERT_EQ(device->Open(), 0);
    }
    void TearDown() override {
        device.reset();
        if (sim) sim->Stop();
    }

    // The next group that holds all of `bits`.
    FrameReady NextGroup(FrameReady bits) {
        FrameReady ready = 0;
        for (int i = 0; i < 40; ++i) {
            ready = 0;
            if (device->GetFrameReady(1000, &ready) == 0 && (ready & bits) == bits) break;
        }
        return ready;
    }

    testsupport::LogCapture log;
    std::unique_ptr<camsim::CameraSim> sim;
    std::unique_ptr<TofAndColorDevice> device;
};

TEST_F(ColorDeviceEndToEnd, DepthAndColourOfOneDataFrameArriveInOneGroup) {
    ASSERT_EQ(NextGroup(kGroupReady) & kGroupReady, kGroupReady);
    Frame depth{};
    Frame color{};
    ASSERT_EQ(device->GetFrame(FRAME_DEPTH, &depth), 0);
    ASSERT_EQ(device->GetFrame(FRAME_COLOR, &color), 0);
    EXPECT_EQ(Val(depth.frameIndex), Val(color.frameIndex));
    ASSERT_EQ(Val(color.width), 640);
    ASSERT_EQ(Val(color.height), 480);
    // BGR pixels of the scene, within JPEG tolerance.
    const camsim::Scene scene = camsim::Scene::Wall(1500);
    int mismatches = 0;
    for (int y = 0; y < 480; y += 7) {
        for (int x = 0; x < 640; x += 7) {
            const camsim::Rgb want = scene.ColourAt(x, y, 640, 480);
            const uint8_t* got = color.data + (y * 640 + x) * 3;
            if (!LooksLike(got, want)) ++mismatches;
        }
    }
    EXPECT_LT(mismatches, 50);
}

TEST_F(ColorDeviceEndToEnd, BothTransformsAddTheMappedImages) {
    ASSERT_EQ(device->SetTransformColorImgToDepthCameraEnabled(true), 0);
    ASSERT_EQ(device->SetTransformDepthImgToColorCameraEnabled(true), 0);
    const FrameReady all = kGroupReady | FRAME_READY_COLOR_IN_DEPTH | FRAME_READY_DEPTH_IN_COLOR;
    ASSERT_EQ(NextGroup(all) & all, all) << log.Text();
    Frame depth{};
    Frame colorInDepth{};
    Frame depthInColor{};
    ASSERT_EQ(device->GetFrame(FRAME_DEPTH, &depth), 0);
    ASSERT_EQ(device->GetFrame(FRAME_COLOR_IN_DEPTH, &colorInDepth), 0);
    ASSERT_EQ(device->GetFrame(FRAME_DEPTH_IN_COLOR, &depthInColor), 0);
    EXPECT_EQ(Val(colorInDepth.width), Val(depth.width));
    EXPECT_EQ(Val(colorInDepth.length), uint32_t(depth.width) * depth.height * 3);
    EXPECT_EQ(Val(depthInColor.width), 640);
    EXPECT_EQ(Val(depthInColor.length), 640u * 480 * 2);
}

TEST_F(ColorDeviceEndToEnd, ColourInDepthOfAWallShowsTheSceneColourAtTheMappedPixels) {
    ASSERT_EQ(device->SetTransformColorImgToDepthCameraEnabled(true), 0);
    const FrameReady all = kGroupReady | FRAME_READY_COLOR_IN_DEPTH;
    ASSERT_EQ(NextGroup(all) & all, all) << log.Text();
    Frame depth{};
    Frame colorInDepth{};
    ASSERT_EQ(device->GetFrame(FRAME_DEPTH, &depth), 0);
    ASSERT_EQ(device->GetFrame(FRAME_COLOR_IN_DEPTH, &colorInDepth), 0);
    ASSERT_EQ(Val(colorInDepth.width), Val(depth.width));
    ASSERT_EQ(Val(colorInDepth.height), Val(depth.height));
    double tofK[9];
    double colourK[9];
    SensorExtrinsicParameters rig{};
    ASSERT_EQ(device->GetCameraIntrinsic(SENSOR_TYPE_TOF, tofK), 0);
    ASSERT_EQ(device->GetCameraIntrinsic(SENSOR_TYPE_COLOR, colourK), 0);
    ASSERT_EQ(device->GetSensorExtrinsicParameters(&rig), 0);

    const camsim::Scene scene = camsim::Scene::Wall(1500);
    const int width = depth.width;
    const auto* depthMm = reinterpret_cast<const uint16_t*>(depth.data);
    int checked = 0;
    int mismatches = 0;
    for (int y = 0; y < depth.height; y += 5) {
        for (int x = 0; x < width; x += 5) {
            const uint16_t d = depthMm[y * width + x];
            int u = 0;
            int v = 0;
            if (d == 0 || !ColourPixelOf(x, y, d, tofK, colourK, rig, 640, 480, u, v)) continue;
            ++checked;
            if (!LooksLike(colorInDepth.data + (y * width + x) * 3, scene.ColourAt(u, v, 640, 480))) ++mismatches;
        }
    }
    // Most of a wall at 1.5 m is in view of both cameras; rounding on the checker's edges and
    // JPEG ringing may miss a few.
    EXPECT_GT(checked, (width / 5) * (depth.height / 5) / 2);
    EXPECT_LT(mismatches, checked / 100) << checked << " pixels checked";
}

TEST_F(ColorDeviceEndToEnd, ExtrinsicsRoundTrip) {
    const camsim::CameraState state = sim->State();
    SensorExtrinsicParameters params{};
    ASSERT_EQ(device->GetSensorExtrinsicParameters(&params), 0);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(params.rotation[i], state.rotation[i]);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(params.translation[i], state.translation[i]);
}

TEST_F(ColorDeviceEndToEnd, ToFKindsOffStillDeliverColourAndColourOffStillDeliversDepth) {
    const uint8_t off = 0;
    for (const char* key : {"Py_DepthFrameEnable", "Py_IRFrameEnable", "Py_ConfidenceFrameEnable"})
        ASSERT_EQ(device->SetProperty(key, &off, 1), 0);
    EXPECT_EQ(NextGroup(FRAME_READY_COLOR) & FRAME_READY_COLOR, FRAME_READY_COLOR);
    const uint8_t on = 1;
    for (const char* key : {"Py_DepthFrameEnable", "Py_IRFrameEnable", "Py_ConfidenceFrameEnable"})
        ASSERT_EQ(device->SetProperty(key, &on, 1), 0);
    ASSERT_EQ(device->SetProperty("Py_RGBFrameEnable", &off, 1), 0);
    EXPECT_EQ(NextGroup(FRAME_READY_DEPTH) & FRAME_READY_DEPTH, FRAME_READY_DEPTH);
}

}  // namespace
