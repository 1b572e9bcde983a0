// A ToF-and-colour camera end to end: the simulator on 127.0.0.2, the kit's transport and
// device, and both built plug-ins loaded with dlopen as the kit loads them.
#include <dlfcn.h>

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
            if (std::abs(got[0] - want.b) > 24 || std::abs(got[1] - want.g) > 24 || std::abs(got[2] - want.r) > 24)
                ++mismatches;
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
