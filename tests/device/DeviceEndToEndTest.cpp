// One ToF camera end to end: the simulator on 127.0.0.2, the kit's transport and device, and
// the built ToF plug-in loaded as the kit loads it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "CameraSim.h"
#include "DeviceTestSupport.h"
#include "LogCapture.h"
#include "Plugin.h"
#include "PreProcessFactory.h"
#include "SocketCtl.h"
#include "ThreadCount.h"
#include "tofDevice.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr FrameReady kToFReady = FRAME_READY_DEPTH | FRAME_READY_IR | FRAME_READY_CONFIDENCE;

class DeviceEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(toftest::Plugin::Get().LoadError().empty()) << toftest::Plugin::Get().LoadError();
    }

    void TearDown() override {
        device.reset();
        if (sim) sim->Stop();
    }

    void StartCamera(camsim::ToFRecordKind kind = camsim::ToFRecordKind::Computed) {
        camsim::CameraOptions options;
        options.ip = "127.0.0.2";
        options.serialNumber = "SIM0001";
        options.announce = false;
        options.scene = scene;
        options.record = kind;
        sim = std::make_unique<camsim::CameraSim>(options);
        ASSERT_TRUE(sim->Start());
        auto io = std::make_unique<SocketCtl>("127.0.0.2", "127.0.0.1", 9009, 9008);
        io->SetDeviceSN("SIM0001");
        std::unique_ptr<ToF_API> tof = toftest::Plugin::Get().Create();
        ASSERT_NE(tof, nullptr);
        device = std::make_unique<tofDevice>(devicetest::MakeDeviceInfo("SIM0001"), std::move(tof), std::move(io),
                                             NewPreProcess());
    }

    // Every filter off, so that the camera's depth reaches the application as it was sent.
    void FiltersOff() {
        EXPECT_EQ(device->SetTimeFilterParams(TimeFilterParams{0, 0}), 0);
        EXPECT_EQ(device->SetConfidenceFilterParams(ConfidenceFilterParams{0, 0}), 0);
        EXPECT_EQ(device->SetFlyingPixelFilterParams(FlyingPixelFilterParams{0, 0}), 0);
        EXPECT_EQ(device->SetFillHoleFilterParams(FillHoleFilterParams{0, 0, 0, 0}), 0);
        EXPECT_EQ(device->SetSpatialFilterParams(SpatialFilterParams{0, 0, 0, 0}), 0);
    }

    // The next group holding every ToF kind, a few groups after the settings took effect.
    void NextFullGroup(int skip = 2) {
        FrameReady ready = 0;
        for (int i = 0; i < 30 && skip >= 0; ++i) {
            ready = 0;
            if (device->GetFrameReady(1000, &ready) == 0 && (ready & kToFReady) == kToFReady) --skip;
        }
        ASSERT_EQ(ready & kToFReady, kToFReady);
    }

    // Pixels whose depth differs from the scene by more than `tolerance` millimetres.
    int DepthMismatches(const Frame& depth, int tolerance) {
        int mismatches = 0;
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                uint16_t d = 0;
                std::memcpy(&d, depth.data + 2 * (y * kWidth + x), sizeof(d));
                if (std::abs(int(d) - int(scene.DepthAt(x, y, kWidth, kHeight))) > tolerance) ++mismatches;
            }
        }
        return mismatches;
    }

    // Commands the camera received with this id, the reply bit ignored.
    std::vector<camsim::LoggedCommand> Received(uint8_t id) const {
        std::vector<camsim::LoggedCommand> out;
        for (const auto& c : sim->CommandLog())
            if ((c.id & 0x7F) == id) out.push_back(c);
        return out;
    }

    testsupport::LogCapture log;
    camsim::Scene scene = camsim::Scene::Ramp(500, 1200);  // inside depth range 0
    std::unique_ptr<camsim::CameraSim> sim;
    std::unique_ptr<tofDevice> device;
};

TEST_F(DeviceEndToEnd, ComputedDepthEqualsTheScene) {
    StartCamera();
    ASSERT_EQ(device->Open(), 0);
    uint8_t on = 1;
    ASSERT_EQ(device->SetProperty("Py_ConfidenceFrameEnable", &on, 1), 0);
    FiltersOff();

    FrameReady ready = 0;
    const auto started = Clock::now();
    ASSERT_EQ(device->GetFrameReady(1000, &ready), 0);
    EXPECT_LT(Clock::now() - started, milliseconds(1000));
    EXPECT_EQ(ready & (FRAME_READY_DEPTH | FRAME_READY_IR), FRAME_READY_DEPTH | FRAME_READY_IR);

    NextFullGroup();
    Frame depth{}, ir{}, confidence{};
    ASSERT_EQ(device->GetFrame(FRAME_DEPTH, &depth), 0);
    ASSERT_EQ(device->GetFrame(FRAME_IR, &ir), 0);
    ASSERT_EQ(device->GetFrame(FRAME_CONFIDENCE, &confidence), 0);
    ASSERT_EQ(devicetest::Unpacked(depth.width), kWidth);
    ASSERT_EQ(devicetest::Unpacked(depth.height), kHeight);
    EXPECT_EQ(devicetest::Unpacked(depth.length), uint32_t(kWidth * kHeight * 2));
    EXPECT_EQ(DepthMismatches(depth, 0), 0);
    EXPECT_EQ(devicetest::Unpacked(ir.frameType), FRAME_IR);
    EXPECT_EQ(devicetest::Unpacked(confidence.frameType), FRAME_CONFIDENCE);
    EXPECT_EQ(devicetest::Unpacked(ir.frameIndex), devicetest::Unpacked(depth.frameIndex));
    EXPECT_EQ(devicetest::Unpacked(confidence.frameIndex), devicetest::Unpacked(depth.frameIndex));
}

TEST_F(DeviceEndToEnd, RawDepthIsWithinTheDecodeAccuracy) {
    StartCamera(camsim::ToFRecordKind::Raw);
    ASSERT_EQ(device->Open(), 0);
    FiltersOff();
    FrameReady ready = 0;
    for (int i = 0; i < 30 && (ready & FRAME_READY_DEPTH) == 0; ++i) {
        ready = 0;
        device->GetFrameReady(1000, &ready);
    }
    for (int i = 0; i < 2; ++i) device->GetFrameReady(1000, &ready);
    Frame depth{};
    ASSERT_EQ(device->GetFrame(FRAME_DEPTH, &depth), 0);
    ASSERT_EQ(devicetest::Unpacked(depth.width), kWidth);
    // The phase step of depth range 0 is about 199 mm; the decode keeps within 1 % of it.
    EXPECT_EQ(DepthMismatches(depth, 5), 0);
}

TEST_F(DeviceEndToEnd, IndexesIncreaseTimestampsPassAndFramesAreTakenOnce) {
    const auto simStarted = Clock::now();  // the camera's clock starts when it is built
    StartCamera();
    ASSERT_EQ(device->Open(), 0);
    uint32_t lastIndex = 0;
    uint64_t lastTimestamp = 0;
    for (int group = 0; group < 3; ++group) {
        SCOPED_TRACE(group);
        FrameReady ready = 0;
        ASSERT_EQ(device->GetFrameReady(1000, &ready), 0);
        ASSERT_NE(ready & FRAME_READY_DEPTH, 0u);
        Frame depth{};
        ASSERT_EQ(device->GetFrame(FRAME_DEPTH, &depth), 0);
        EXPECT_EQ(device->GetFrame(FRAME_DEPTH, &depth), -4);
        EXPECT_GT(devicetest::Unpacked(depth.frameIndex), lastIndex);
        // The camera's clock counts microseconds since it started.
        EXPECT_GT(devicetest::Unpacked(depth.timestamp), lastTimestamp);
        const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - simStarted);
        EXPECT_LE(devicetest::Unpacked(depth.timestamp), uint64_t(elapsed.count()));
        lastIndex = depth.frameIndex;
        lastTimestamp = depth.timestamp;
    }
    EXPECT_EQ(device->StopStream(), 0);
    EXPECT_FALSE(sim->State().streamOn);
    FrameReady ready = 0;
    EXPECT_EQ(device->GetFrameReady(100, &ready), -108);
}

TEST_F(DeviceEndToEnd, CloseSendsNoStreamOffAndReopenRedoesTheFirstStart) {
    StartCamera();
    ASSERT_EQ(device->Open(), 0);
    const int threadsOpen = testsupport::ThreadCount();
    FrameReady ready = 0;
    ASSERT_EQ(device->GetFrameReady(1000, &ready), 0);
    sim->ClearCommandLog();
    ASSERT_EQ(device->Close(), 0);
    EXPECT_TRUE(Received(27).empty());
    EXPECT_TRUE(sim->State().streamOn);  // nobody told the camera
    const int threadsClosed = testsupport::ThreadCount();
    EXPECT_LT(threadsClosed, threadsOpen);

    ASSERT_EQ(device->Open(), 0);
    EXPECT_GE(Received(16).size(), 4u);  // intrinsics and distortion read again
    EXPECT_GE(Received(2).size(), 1u);   // and the work mode
    ASSERT_EQ(device->GetFrameReady(1000, &ready), 0);
    ASSERT_EQ(device->Close(), 0);
    EXPECT_LE(testsupport::ThreadCountSettledAt(threadsClosed), threadsClosed);
}

TEST_F(DeviceEndToEnd, CloseFromAnotherThreadEndsAWaitingFrameRequest) {
    StartCamera();
    ASSERT_EQ(device->Open(), 0);
    // In software-trigger mode the camera sends nothing until it is triggered.
    ASSERT_EQ(device->SetWorkMode(2), 0);
    FrameReady drained = 0;
    for (int i = 0; i < 10 && device->GetFrameReady(200, &drained) != -11; ++i) {
    }
    auto waiting = std::async(std::launch::async, [&] {
        FrameReady ready = 0;
        return device->GetFrameReady(5000, &ready);
    });
    std::this_thread::sleep_for(milliseconds(200));
    const auto closing = Clock::now();
    ASSERT_EQ(device->Close(), 0);
    ASSERT_EQ(waiting.wait_for(milliseconds(300)), std::future_status::ready);
    EXPECT_LT(Clock::now() - closing, milliseconds(300));
    EXPECT_EQ(waiting.get(), -108);
}

TEST_F(DeviceEndToEnd, SettingsAndPropertiesReachTheCamera) {
    StartCamera();
    ASSERT_EQ(device->Open(), 0);
    const camsim::CameraState state = sim->State();

    // Base keys: calibration, identity, network, factory mode, trigger signals.
    uint8_t intrinsic[76] = {};
    const int32_t tof = SENSOR_TYPE_TOF;
    std::memcpy(intrinsic, &tof, sizeof(tof));
    ASSERT_EQ(device->GetProperty("Py_Intrinsic", intrinsic, sizeof(intrinsic)), 0);
    double k[9];
    std::memcpy(k, intrinsic + 4, sizeof(k));
    for (int i = 0; i < 9; ++i) EXPECT_EQ(k[i], state.tofCalibration.intrinsic[i]);
    double translation[3] = {};
    ASSERT_EQ(device->GetProperty("Py_Translation", translation, sizeof(translation)), 0);
    EXPECT_EQ(translation[0], state.translation[0]);
    char text[64] = {};
    ASSERT_EQ(device->GetProperty("Py_Serialnumber", text, 17), 0);
    EXPECT_EQ(std::string(text), state.sensorSerial);
    ASSERT_EQ(device->GetProperty("Py_MACAddress", text, 18), 0);
    EXPECT_EQ(std::string(text), state.macAddress);
    ASSERT_EQ(device->GetProperty("Py_IP", text, 16), 0);
    EXPECT_EQ(std::string(text), state.ipAddress);
    ASSERT_EQ(device->GetProperty("Py_SubnetMask", text, 16), 0);
    EXPECT_EQ(std::string(text), state.subnetMask);
    uint8_t dhcp = 9;
    ASSERT_EQ(device->GetProperty("Py_DHCPEnable", &dhcp, 1), 0);
    EXPECT_EQ(dhcp, 0);
    FactoryMode fm{};
    ASSERT_EQ(device->GetProperty("Py_FactoryMode", &fm, sizeof(fm)), 0);
    EXPECT_EQ(fm.bDepthSwitch, 1);
    MCUParameters signal{1, 0, 0, 0};
    ASSERT_EQ(device->GetProperty("Py_MCUparameters", &signal, sizeof(signal)), 0);
    EXPECT_EQ(signal.intervalOrDelay, 33333);
    const MCUParameters output{2, 0, 200, 10};
    ASSERT_EQ(device->SetProperty("Py_MCUparameters", &output, sizeof(output)), 0);
    EXPECT_EQ(sim->State().mcu[2].width, 200);

    // The class's keys and the plug-in's.
    uint8_t flag = 9;
    ASSERT_EQ(device->GetProperty("Py_IRFrameEnable", &flag, 1), 0);
    EXPECT_EQ(flag, 1);
    ASSERT_EQ(device->GetProperty("Py_ConfidenceFrameEnable", &flag, 1), 0);
    EXPECT_EQ(flag, 0);
    int32_t range = -1;
    ASSERT_EQ(device->GetProperty("Py_DepthRange", &range, sizeof(range)), 0);
    EXPECT_EQ(range, state.depthRange);
    EXPECT_EQ(device->GetProperty("Py_NoSuchKey", &range, sizeof(range)), -20);
    EXPECT_TRUE(log.Contains("<SIM0001> pKey:Py_NoSuchKey is not supported."));

    // Camera settings through the command set and through the plug-in.
    ASSERT_EQ(device->SetFrameRate(15), 0);
    int value = 0;
    ASSERT_EQ(device->GetFrameRate(&value), 0);
    EXPECT_EQ(value, 15);
    ASSERT_EQ(device->SetWorkMode(1), 0);
    EXPECT_EQ(device->GetWorkModeInternal(), 1);
    ASSERT_EQ(device->GetWorkMode(&value), 0);
    EXPECT_EQ(value, 1);
    ASSERT_EQ(device->GetFirmwareVersion(text, sizeof(text)), 0);
    EXPECT_EQ(std::string(text), state.firmwareVersion);
    ASSERT_EQ(device->GetIRGMMGain(&value), 0);
    EXPECT_EQ(value, state.irGain);
    ExposureTimeParams exposure{0, 0};
    EXPECT_EQ(device->GetExposureTime(SENSOR_TYPE_TOF, &exposure), 0);
    EXPECT_EQ(device->GetExposureTime(SENSOR_TYPE_COLOR, &exposure), -20);
    ResolutionList list{};
    ASSERT_EQ(device->GetSupportedResolutionList(SENSOR_TYPE_TOF, &list), 0);
    EXPECT_GE(list.count, 1);
    double plugK[9] = {};
    ASSERT_EQ(device->GetCameraIntrinsic(SENSOR_TYPE_TOF, plugK), 0);
    EXPECT_EQ(plugK[0], state.tofCalibration.intrinsic[0]);
    EXPECT_EQ(device->HeartbeatCheck(), 0);
}

}  // namespace
