// Geometry functions' numeric cases on an opened camera, and the close and shut-down cases.
#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <mutex>
#include <thread>

#include "E2eSupport.h"

namespace {

using namespace apie2e;
using Clock = std::chrono::steady_clock;

QlSensorIntrinsicParameters Pinhole() {
    QlSensorIntrinsicParameters p{};
    p.fx = 500;
    p.fy = 500;
    p.cx = 320;
    p.cy = 240;
    return p;
}

class Geometry : public KitWithCamera {};

TEST_F(Geometry, DepthToPointCloud) {
    OpenCamera(ToFOnlyCamera());
    const QlSensorIntrinsicParameters params = Pinhole();
    const QlDepthVector3 in[2] = {{320, 240, 1000}, {820, 240, 1000}};
    QlVector3f out[2] = {};
    ASSERT_EQ(QL_ConvertDepthToPointCloud(handle, in, out, 2, &params), 0);
    EXPECT_FLOAT_EQ(out[0].x, 0.0f);
    EXPECT_FLOAT_EQ(out[0].y, 0.0f);
    EXPECT_FLOAT_EQ(out[0].z, 1000.0f);
    EXPECT_FLOAT_EQ(out[1].x, 1000.0f);
    EXPECT_FLOAT_EQ(out[1].y, 0.0f);
}

TEST_F(Geometry, PointCloudToDepth) {
    OpenCamera(ToFOnlyCamera());
    const QlSensorIntrinsicParameters params = Pinhole();
    const QlVector3f in[2] = {{1000, 0, 1000}, {0, 0, 65536 + 4}};
    QlDepthVector3 out[2] = {};
    ASSERT_EQ(QL_ConvertPointCloudToDepth(handle, in, out, 2, &params), 0);
    EXPECT_EQ(Val(out[0].depthX), 820);
    EXPECT_EQ(Val(out[0].depthY), 240);
    EXPECT_EQ(Val(out[0].depthZ), 1000);
    EXPECT_EQ(Val(out[1].depthZ), 4) << "only the low 16 bits are kept";
}

TEST_F(Geometry, CountZeroTouchesNothingAndBadHandlesComeFirst) {
    OpenCamera(ToFOnlyCamera());
    const QlSensorIntrinsicParameters params = Pinhole();
    const QlDepthVector3 in{1, 2, 3};
    QlVector3f out{7, 7, 7};
    EXPECT_EQ(QL_ConvertDepthToPointCloud(handle, &in, &out, 0, &params), 0);
    EXPECT_EQ(out.x, 7.0f);
    QlDepthVector3 depth{7, 7, 7};
    const QlVector3f point{1, 1, 1};
    EXPECT_EQ(QL_ConvertPointCloudToDepth(handle, &point, &depth, -1, &params), 0);
    EXPECT_EQ(Val(depth.depthX), 7);
    EXPECT_EQ(QL_ConvertDepthToPointCloud(handle, nullptr, &out, 1, &params), -12);
    EXPECT_EQ(QL_ConvertDepthToPointCloud(nullptr, nullptr, nullptr, 1, nullptr), -3);
    EXPECT_EQ(QL_ConvertPointCloudToDepth(nullptr, nullptr, nullptr, 1, nullptr), -3);
}

TEST_F(Geometry, IntrinsicsComeFromTheCamera) {
    OpenCamera(ToFOnlyCamera());
    const camsim::SensorCalibration cal = sim->State().tofCalibration;
    QlSensorIntrinsicParameters p{};
    ASSERT_EQ(QL_GetSensorIntrinsicParameters(handle, SENSOR_TYPE_TOF, &p), 0);
    EXPECT_EQ(p.fx, cal.intrinsic[0]);
    EXPECT_EQ(p.fy, cal.intrinsic[4]);
    EXPECT_EQ(p.cx, cal.intrinsic[2]);
    EXPECT_EQ(p.cy, cal.intrinsic[5]);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(p.distortion[i], cal.distortion[i]) << i;
    EXPECT_EQ(QL_GetSensorIntrinsicParameters(handle, static_cast<SensorType>(0), &p), -14);
    EXPECT_EQ(QL_GetSensorIntrinsicParameters(handle, SENSOR_TYPE_COLOR, &p), -255) << "ToF-only camera";
}

TEST_F(Geometry, ColourFormatAndFirmwareChecksOnAToFOnlyCamera) {
    OpenCamera(ToFOnlyCamera());
    EXPECT_EQ(QL_SetColorPixelFormat(handle, PIXEL_FORMAT_DEPTH_MM16), -15);
    EXPECT_EQ(QL_SetColorPixelFormat(handle, PIXEL_FORMAT_RGB), -255);
    char buf[32] = {};
    EXPECT_EQ(QL_GetFirmwareVersion(handle, buf, 18), -15);
    ASSERT_EQ(QL_GetFirmwareVersion(handle, buf, 19), 0);
    EXPECT_EQ(std::string(buf), sim->State().firmwareVersion);
}

TEST_F(Geometry, DepthFramePointCloudMatchesTheScene) {
    OpenCamera(ToFOnlyCamera());
    FiltersOff();
    ASSERT_EQ(QL_StartStream(handle), 0);
    ASSERT_NE(NextGroup(FRAME_READY_DEPTH), 0u);
    QlFrame depth{};
    ASSERT_EQ(QL_GetFrame(handle, FRAME_DEPTH, &depth), 0);
    std::vector<QlVector3f> points(size_t(depth.width) * depth.height);
    ASSERT_EQ(QL_ConvertDepthFrameToPointCloudVector(handle, &depth, points.data()), 0);
    const size_t centre = size_t(depth.height / 2) * depth.width + depth.width / 2;
    const int cx = depth.width / 2, cy = depth.height / 2;
    EXPECT_NEAR(points[centre].z, ToFOnlyCamera().scene.DepthAt(cx, cy, Val(depth.width), Val(depth.height)), 1.0);
    QlFrame empty = depth;
    empty.pFrameData = nullptr;
    EXPECT_EQ(QL_ConvertDepthFrameToPointCloudVector(handle, &empty, points.data()), -5);
}

class Closing : public KitWithCamera {};

TEST_F(Closing, CloseWakesAWaiterInAnotherThread) {
    OpenCamera(ToFOnlyCamera());
    // Software trigger and no trigger: no frame ever comes, so the waiter waits.
    ASSERT_EQ(QL_SetWorkMode(handle, 2), 0);
    ASSERT_EQ(QL_StartStream(handle), 0);
    // Frames already on their way when the mode changed may still come (a slow build lags
    // behind the camera): wait until none does, so that the waiter below really waits.
    int drained = 0;
    for (int i = 0; i < 40 && drained != -11; ++i) {
        FrameReady pending = 0;
        drained = QL_GetFrameReady(handle, 500, &pending);
    }
    ASSERT_EQ(drained, -11) << "frames kept coming in software-trigger mode";
    const QlDeviceHandle copy = handle;
    auto waiter = std::async(std::launch::async, [copy] {
        FrameReady ready = 0;
        const auto started = Clock::now();
        QL_GetFrameReady(copy, 20000, &ready);
        return Clock::now() - started;
    });
    std::this_thread::sleep_for(300ms);  // let it reach its wait
    ASSERT_EQ(waiter.wait_for(0ms), std::future_status::timeout) << "the waiter did not wait";
    ASSERT_EQ(QL_CloseDevice(&handle), 0);
    ASSERT_EQ(waiter.wait_for(10s), std::future_status::ready) << "close did not wake the waiter";
    EXPECT_LT(waiter.get(), 10s);
    FrameReady ready = 0;
    const int again = QL_GetFrameReady(copy, 100, &ready);
    EXPECT_TRUE(again == -3 || again == -15) << again;
}

struct HotPlugRecord {
    std::mutex mutex;
    int calls = 0;
    int added = 0;
    QlDeviceInfo last{};
    int lastStatus = -1;
    void* lastUser = nullptr;
};

void OnHotPlug(const QlDeviceInfo* info, int status, void* user) {
    auto* record = static_cast<HotPlugRecord*>(user);
    std::lock_guard<std::mutex> lock(record->mutex);
    ++record->calls;
    if (status == 0) ++record->added;
    if (info) record->last = *info;
    record->lastStatus = status;
    record->lastUser = user;
}

TEST_F(Closing, HotPlugReportsTheCamerasAppearance) {
    static HotPlugRecord record;
    ASSERT_EQ(QL_InitializeWithLogPath(logs.Path().c_str()), 0);
    initialised = true;
    ASSERT_EQ(QL_SetHotPlugStatusCallback(OnHotPlug, &record), 0);
    sim = std::make_unique<camsim::CameraSim>(ToFOnlyCamera());
    ASSERT_TRUE(sim->Start());
    for (int i = 0; i < 50; ++i) {
        {
            std::lock_guard<std::mutex> lock(record.mutex);
            if (record.added > 0) break;
        }
        std::this_thread::sleep_for(100ms);
    }
    std::lock_guard<std::mutex> lock(record.mutex);
    ASSERT_GT(record.added, 0);
    EXPECT_EQ(Val(record.lastStatus), 0);
    EXPECT_EQ(record.lastUser, &record);
    EXPECT_STREQ(record.last.serialNumber, "SIM0001");
    EXPECT_STREQ(record.last.ip, "127.0.0.2");
    EXPECT_STREQ(record.last.productName, "Torvane-ToF-11");
}

TEST_F(Closing, ShutdownWithACameraOpenAndStreaming) {
    static HotPlugRecord record;
    sim = std::make_unique<camsim::CameraSim>(ToFOnlyCamera());
    ASSERT_TRUE(sim->Start());
    std::this_thread::sleep_for(200ms);
    const int baseline = ThreadCount();
    ASSERT_EQ(QL_InitializeWithLogPath(logs.Path().c_str()), 0);
    initialised = true;
    ASSERT_EQ(QL_SetHotPlugStatusCallback(OnHotPlug, &record), 0);
    ASSERT_TRUE(WaitForListed("SIM0001", QlDeviceAvailable));
    ASSERT_EQ(QL_OpenDeviceByIP("127.0.0.2", &handle), 0);
    ASSERT_EQ(QL_StartStream(handle), 0);
    ASSERT_NE(NextGroup(FRAME_READY_DEPTH), 0u);
    EXPECT_GT(ThreadCount(), baseline);

    auto shutdown = std::async(std::launch::async, [] { return QL_Shutdown(); });
    ASSERT_EQ(shutdown.wait_for(10s), std::future_status::ready) << "shutdown hangs";
    EXPECT_EQ(shutdown.get(), 0);
    initialised = false;
    handle = nullptr;  // no handle reaches the camera after the shutdown
    int callsAtShutdown = 0;
    {
        std::lock_guard<std::mutex> lock(record.mutex);
        callsAtShutdown = record.calls;
    }
    EXPECT_LE(ThreadCountSettledAt(baseline), baseline) << "threads of the kit still run";

    // A camera that leaves and one that appears are no longer reported.
    sim->SetAnnouncedState(camsim::AnnouncedState::Leaving);
    camsim::CameraOptions other = ToFOnlyCamera();
    other.ip = "127.0.0.3";
    other.serialNumber = "SIM0002";
    camsim::CameraSim second(other);
    ASSERT_TRUE(second.Start());
    std::this_thread::sleep_for(2500ms);  // longer than two discovery merges
    second.Stop();
    std::lock_guard<std::mutex> lock(record.mutex);
    EXPECT_EQ(record.calls, callsAtShutdown) << "hot-plug callback called after shutdown";
}

}  // namespace
