// The exported functions against a fake camera list: checks, their order, the outputs and
// the status mapping.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

#include "ApiCalls.h"
#include "ApiState.h"
#include "FakeDirectory.h"
#include "LogCapture.h"
#include "Torvane_api.h"

namespace {

using apitest::FakeDevice;
using apitest::FakeDirectory;

QlDeviceHandle MadeUpHandle() { return reinterpret_cast<QlDeviceHandle>(static_cast<uintptr_t>(0xdead0000)); }

TEST(ApiNotInitialised, EveryHandleFunctionGivesMinus102) {
    for (const auto& row : apitest::AllHandleCalls()) EXPECT_EQ(row.call(MadeUpHandle()), -102) << row.name;
    uint32_t count = 0;
    QlDeviceInfo info{};
    QlDeviceHandle handle = nullptr;
    EXPECT_EQ(QL_GetDeviceCount(&count), -102);
    EXPECT_EQ(QL_GetDeviceInfoList(1, &info), -102);
    EXPECT_EQ(QL_GetDeviceInfo(0, &info), -102);
    EXPECT_EQ(QL_OpenDeviceByIP("127.0.0.2", &handle), -102);
    EXPECT_EQ(QL_OpenDeviceByUri("uri", &handle), -102);
    EXPECT_EQ(QL_OpenDeviceByAlias("alias", &handle), -102);
    EXPECT_EQ(QL_CloseDevice(&handle), -102);
    EXPECT_EQ(QL_CloseDevice(nullptr), -102);
    EXPECT_EQ(QL_GetProperty(nullptr, "Py_IPNotMatchByIP", &info, 4), -102);
    EXPECT_EQ(QL_SetHotPlugStatusCallback(nullptr, nullptr), -102);
    EXPECT_EQ(QL_Shutdown(), -102);
    EXPECT_STREQ(QL_GetSDKVersion(), "1.2.7");
}

TEST(ApiNotInitialised, NullPointerComesFirst) {
    for (const auto& row : apitest::AllNullPointerCalls()) EXPECT_EQ(row.call(MadeUpHandle()), -12) << row.name;
}

class ApiTable : public ::testing::Test {
protected:
    void SetUp() override {
        auto directory = std::make_unique<FakeDirectory>();
        list = directory.get();
        device = list->Add("127.0.0.2");
        api::Attach(std::move(directory));
        ASSERT_EQ(QL_OpenDeviceByIP("127.0.0.2", &handle), 0);
        ASSERT_NE(handle, nullptr);
    }
    void TearDown() override { api::Detach(); }

    testsupport::LogCapture log;
    FakeDirectory* list = nullptr;
    std::shared_ptr<FakeDevice> device;
    QlDeviceHandle handle = nullptr;
};

TEST_F(ApiTable, NullHandleGivesMinus3AndUnknownGivesMinus15) {
    for (const auto& row : apitest::AllHandleCalls()) {
        EXPECT_EQ(row.call(nullptr), -3) << row.name;
        EXPECT_EQ(row.call(MadeUpHandle()), -15) << row.name;
    }
    EXPECT_EQ(device->calls, 0);
}

TEST_F(ApiTable, NullPointerStillGivesMinus12) {
    for (const auto& row : apitest::AllNullPointerCalls()) EXPECT_EQ(row.call(handle), -12) << row.name;
    EXPECT_EQ(device->calls, 0);
}

TEST_F(ApiTable, StatusMappingPassesThePublicSetOnly) {
    struct Case {
        int internal, expected;
    };
    const Case cases[] = {{0, 0},       {-1, -1},     {-19, -19},   {-20, -255},  {-21, -21},
                          {-23, -23},   {-24, -255},  {-100, -255}, {-101, -101}, {-108, -108},
                          {-109, -109}, {-110, -255}, {1, -255},    {-255, -255}};
    for (const Case& c : cases) {
        device->result = c.internal;
        log.Mark();
        EXPECT_EQ(QL_SetColorPixelFormat(handle, PIXEL_FORMAT_RGB), c.expected) << c.internal;
        const bool logged = log.Contains("InterRet2ExternRet]:invalid param: interRet:" + std::to_string(c.internal));
        EXPECT_EQ(logged, c.expected == -255) << c.internal;
    }
}

TEST_F(ApiTable, ValueChecksAtTheirBoundaries) {
    EXPECT_EQ(QL_SetColorPixelFormat(handle, static_cast<PixelFormat>(0)), -15);
    EXPECT_EQ(QL_SetColorPixelFormat(handle, static_cast<PixelFormat>(5)), -15);
    EXPECT_EQ(device->calls, 0);
    EXPECT_EQ(QL_SetColorPixelFormat(handle, PIXEL_FORMAT_BGR), 0);
    EXPECT_EQ(device->calls, 1);

    QlSensorIntrinsicParameters intrinsics{};
    EXPECT_EQ(QL_GetSensorIntrinsicParameters(handle, static_cast<SensorType>(0), &intrinsics), -14);
    EXPECT_EQ(QL_GetSensorIntrinsicParameters(handle, static_cast<SensorType>(3), &intrinsics), -14);

    char version[32] = "untouched";
    EXPECT_EQ(QL_GetFirmwareVersion(handle, version, 18), -15);
    EXPECT_STREQ(version, "untouched");
    EXPECT_EQ(QL_GetFirmwareVersion(nullptr, version, 18), -15) << "the length is checked before the handle";
    EXPECT_EQ(QL_GetFirmwareVersion(handle, version, 19), 0);
    EXPECT_STREQ(version, "FW");
}

TEST_F(ApiTable, IntrinsicsAreWrittenOnlyAfterBothReads) {
    QlSensorIntrinsicParameters out{};
    ASSERT_EQ(QL_GetSensorIntrinsicParameters(handle, SENSOR_TYPE_TOF, &out), 0);
    EXPECT_EQ(out.fx, 1);
    EXPECT_EQ(out.fy, 5);
    EXPECT_EQ(out.cx, 3);
    EXPECT_EQ(out.cy, 6);
    EXPECT_EQ(out.distortion[0], 10);
    EXPECT_EQ(out.distortion[7], 17);

    device->result = -105;
    QlSensorIntrinsicParameters untouched{};
    EXPECT_EQ(QL_GetSensorIntrinsicParameters(handle, SENSOR_TYPE_TOF, &untouched), -105);
    EXPECT_EQ(untouched.fx, 0);
}

TEST_F(ApiTable, OutputsOnFailure) {
    device->result = -104;
    // The frame is overwritten whatever the result.
    QlFrame frame;
    std::memset(&frame, 0xAB, sizeof frame);
    EXPECT_EQ(QL_GetFrame(handle, FRAME_IR, &frame), -104);
    // Copies: the packed members must not bind to references.
    const int32_t type = frame.frameType;
    const uint16_t width = frame.width;
    const uint8_t* data = frame.pFrameData;
    const uint64_t timestamp = frame.deviceTimestamp;
    EXPECT_EQ(type, FRAME_IR);
    EXPECT_EQ(width, 4);
    EXPECT_EQ(+frame.depthRange, 0x34);
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(timestamp, 0u);

    // The IR gain's low byte is stored whatever the result.
    uint8_t gain = 0;
    EXPECT_EQ(QL_GetIRGMMGain(handle, &gain), -104);
    EXPECT_EQ(gain, 0xFF);

    // The filter records are copied only on success.
    QlTimeFilterParams time{42, 0};
    EXPECT_EQ(QL_GetTimeFilterParams(handle, &time), -104);
    EXPECT_EQ(+time.threshold, 42);
    device->result = 0;
    EXPECT_EQ(QL_GetTimeFilterParams(handle, &time), 0);
    EXPECT_EQ(+time.threshold, 7);
    EXPECT_EQ(+time.enable, 1);

    // The error list's own result is ignored.
    device->result = -1;
    QlDeviceErrorInfo errors{};
    EXPECT_EQ(QL_GetDeviceErrorInfo(handle, &errors), 0);
}

TEST_F(ApiTable, ExposureTimeAsksForTheCallersModeAndReturnsOnlyTheTime) {
    ExposureTimeParams params{1, 0};
    EXPECT_EQ(QL_GetExposureTime(handle, SENSOR_TYPE_TOF, &params), 0);
    EXPECT_EQ(device->askedMode, 1);
    EXPECT_EQ(params.mode, 1);
    EXPECT_EQ(params.exposureTime, 500);
}

TEST_F(ApiTable, FilterEnabledIsAReadModifyWrite) {
    EXPECT_EQ(QL_SetFillHoleFilterEnabled(handle, true), 0);
    EXPECT_EQ(+device->fillHole.enable, 1);
    EXPECT_EQ(+device->fillHole.validCount, 1);
    EXPECT_EQ(+device->fillHole.iterations, 3);
    device->setResult = -105;
    EXPECT_EQ(QL_SetFillHoleFilterEnabled(handle, false), -105);
    device->setResult = -20;
    EXPECT_EQ(QL_SetFillHoleFilterEnabled(handle, false), -255);
    device->result = -104;
    device->calls = 0;
    EXPECT_EQ(QL_SetFillHoleFilterEnabled(handle, false), -104);
    EXPECT_EQ(device->calls, 1) << "no write after a failed read";
}

TEST_F(ApiTable, SignalParametersBecomeTheMcuRecord) {
    EXPECT_EQ(QL_SetOutputSignalParams(handle, QlOutputSignalParams{0x0102, 0x0304, 1}), 0);
    EXPECT_EQ(device->lastKey, "Py_MCUparameters");
    EXPECT_EQ(device->lastData, std::string("\x02\x01\x02\x01\x04\x03", 6));
    QlInputSignalParamsForHWTrigger input{9, 9, 9};
    EXPECT_EQ(QL_GetInputSignalParamsForHWTrigger(handle, &input), 0);
    EXPECT_EQ(device->lastData[0], 1) << "asks for the input signal";
    EXPECT_EQ(+input.polarity, 5);
    EXPECT_EQ(+input.width, 0);
}

TEST_F(ApiTable, ManagerKeysNeedNoHandle) {
    char data[48] = "127.0.0.9";
    EXPECT_EQ(QL_GetProperty(nullptr, "Py_IPNotMatchByIP", data, sizeof data), 0);
    EXPECT_EQ(list->lastManagerKey, "Py_IPNotMatchByIP");
    EXPECT_EQ(QL_GetProperty(nullptr, "Py_Other", data, sizeof data), -3);
    EXPECT_EQ(QL_GetProperty(MadeUpHandle(), "Py_Other", data, sizeof data), -15);
    EXPECT_EQ(QL_GetProperty(nullptr, "Py_IPNotMatchByIP", nullptr, 0), -8);
    EXPECT_EQ(QL_GetProperty(handle, "Py_IPNotMatchByIP", data, 6), 0);
    EXPECT_EQ(device->lastKey, "Py_IPNotMatchByIP") << "a valid handle sends every key to the device";
    EXPECT_EQ(QL_SetProperty(handle, "Py_Any", nullptr, 4), -8);
}

TEST_F(ApiTable, OpenByUriOrAliasRefusesAnOpenedCamera) {
    list->opened = "uri-1";
    QlDeviceHandle other = nullptr;
    EXPECT_EQ(QL_OpenDeviceByUri("uri-1", &other), -103);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(QL_OpenDeviceByIP("127.0.0.7", &other), -15);
    EXPECT_EQ(other, nullptr);
}

TEST_F(ApiTable, TwoHandlesOnOneCamera) {
    QlDeviceHandle second = nullptr;
    ASSERT_EQ(QL_OpenDeviceByIP("127.0.0.2", &second), 0);
    EXPECT_NE(second, handle);
    const QlDeviceHandle copy = handle;
    const auto destroyed = device->destroyed;
    device.reset();
    EXPECT_EQ(QL_CloseDevice(&handle), 0);
    EXPECT_EQ(handle, nullptr);
    EXPECT_EQ(*destroyed, 1);
    EXPECT_EQ(QL_StartStream(second), -15);
    EXPECT_EQ(QL_StartStream(copy), -15);
    EXPECT_EQ(QL_CloseDevice(&second), 0);
    EXPECT_EQ(second, nullptr);
    QlDeviceHandle stale = copy;
    EXPECT_EQ(QL_CloseDevice(&stale), -15);
    EXPECT_EQ(QL_CloseDevice(nullptr), -12);
    EXPECT_EQ(QL_CloseDevice(&stale), -3);
}

TEST_F(ApiTable, CloseWakesAndWaitsForACallOnAnotherThread) {
    const auto destroyed = device->destroyed;
    FakeDevice* raw = device.get();
    device.reset();
    int waited = 0;
    std::thread waiter([&] {
        FrameReady ready = 0;
        waited = QL_GetFrameReady(handle, 60000, &ready);
    });
    raw->WaitUntilWaiting();
    QlDeviceHandle closing = handle;
    EXPECT_EQ(QL_CloseDevice(&closing), 0);
    EXPECT_EQ(*destroyed, 1);
    waiter.join();
    EXPECT_EQ(waited, -1);
}

// What a call inside a device and the device's end look like from other threads; it outlives
// the device, so a device destroyed too early is reported instead of followed.
struct CallInside {
    template <typename Condition>
    bool WaitFor(Condition condition, std::chrono::milliseconds bound) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, bound, [&] { return condition(*this); });
    }
    void Set(bool CallInside::*flag) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            this->*flag = true;
        }
        changed.notify_all();
    }

    std::mutex mutex;
    std::condition_variable changed;
    bool inside = false;
    bool released = false;
    bool closed = false;
    bool destroyed = false;
    bool destroyedWhileInside = false;
};

// A device whose stream start stays inside until the test releases it; Close does not end it.
class BlockingDevice : public FakeDevice {
public:
    ~BlockingDevice() override {
        {
            std::lock_guard<std::mutex> lock(state->mutex);
            state->destroyed = true;
            state->destroyedWhileInside = state->inside;
        }
        state->changed.notify_all();
    }
    int Close() override {
        state->Set(&CallInside::closed);
        return FakeDevice::Close();
    }
    int StartStream() override {
        // Held here: the device itself may be gone when the wait ends.
        const std::shared_ptr<CallInside> held = state;
        std::unique_lock<std::mutex> lock(held->mutex);
        held->inside = true;
        held->changed.notify_all();
        held->changed.wait(lock, [&] { return held->released; });
        held->inside = false;
        return 0;
    }

    const std::shared_ptr<CallInside> state = std::make_shared<CallInside>();
};

// Lets the blocked call go and joins the threads, also when an assertion ends the test early.
struct LetGoAndJoin {
    ~LetGoAndJoin() {
        state->Set(&CallInside::released);
        for (std::thread* t : threads) {
            if (t->joinable()) t->join();
        }
    }
    std::shared_ptr<CallInside> state;
    std::vector<std::thread*> threads;
};

TEST_F(ApiTable, CloseWaitsForACallStillInsideTheDevice) {
    using namespace std::chrono_literals;
    const std::shared_ptr<CallInside> state = list->Add<BlockingDevice>("127.0.0.3")->state;
    QlDeviceHandle blocked = nullptr;
    ASSERT_EQ(QL_OpenDeviceByIP("127.0.0.3", &blocked), 0);

    int started = -99;
    int closed = -99;
    QlDeviceHandle closing = blocked;
    std::thread caller, closer;
    {
        const LetGoAndJoin finish{state, {&caller, &closer}};
        caller = std::thread([&] { started = QL_StartStream(blocked); });
        ASSERT_TRUE(state->WaitFor([](const CallInside& s) { return s.inside; }, 5s));
        closer = std::thread([&] { closed = QL_CloseDevice(&closing); });
        ASSERT_TRUE(state->WaitFor([](const CallInside& s) { return s.closed; }, 5s));

        // The close has reached the device; it must not destroy it while the call is inside.
        EXPECT_FALSE(state->WaitFor([](const CallInside& s) { return s.destroyed; }, 300ms));
        state->Set(&CallInside::released);
        EXPECT_TRUE(state->WaitFor([](const CallInside& s) { return s.destroyed; }, 5s)) << "the close never ended";
    }
    EXPECT_EQ(started, 0);
    EXPECT_EQ(closed, 0);
    EXPECT_FALSE(state->destroyedWhileInside);
    EXPECT_EQ(QL_StartStream(blocked), -15);
}

TEST_F(ApiTable, DetachClosesTheDevicesStillOpen) {
    const auto destroyed = device->destroyed;
    device.reset();
    api::Detach();
    EXPECT_EQ(*destroyed, 1);
    EXPECT_EQ(QL_StartStream(handle), -102);
}

TEST_F(ApiTable, DepthToPointCloud) {
    QlSensorIntrinsicParameters p{};
    p.fx = p.fy = 500;
    p.cx = 320;
    p.cy = 240;
    const QlDepthVector3 in[2] = {{320, 240, 1000}, {820, 240, 1000}};
    QlVector3f out[2] = {};
    ASSERT_EQ(QL_ConvertDepthToPointCloud(handle, in, out, 2, &p), 0);
    EXPECT_FLOAT_EQ(out[0].x, 0);
    EXPECT_FLOAT_EQ(out[0].y, 0);
    EXPECT_FLOAT_EQ(out[0].z, 1000);
    EXPECT_FLOAT_EQ(out[1].x, 1000);
    EXPECT_EQ(QL_ConvertDepthToPointCloud(handle, in, out, 0, nullptr), -12);
    QlVector3f untouched{7, 7, 7};
    EXPECT_EQ(QL_ConvertDepthToPointCloud(handle, in, &untouched, 0, &p), 0);
    EXPECT_EQ(untouched.x, 7);
    EXPECT_EQ(QL_ConvertDepthToPointCloud(MadeUpHandle(), nullptr, nullptr, 1, nullptr), -15);
}

TEST_F(ApiTable, PointCloudToDepth) {
    QlSensorIntrinsicParameters p{};
    p.fx = p.fy = 500;
    p.cx = 320;
    p.cy = 240;
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        QlVector3f in;
        QlDepthVector3 expected;
    };
    const Case cases[] = {
        {{1000, 0, 1000}, {820, 240, 1000}},
        {{0, 0, 65536 + 4}, {320, 240, 4}},
        {{-1000, -500, 1000}, {-180, -10, 1000}},
        {{1000, 0, 0}, {0, 0, 0}},
        {{1000, 0, inf}, {0, 0, 0}},
        {{1000, 0, nan}, {0, 0, 0}},
        {{1e30f, 0, 1}, {0, 240, 1}},
        {{0, 0, 1e20f}, {320, 240, 0}},
    };
    for (const Case& c : cases) {
        QlDepthVector3 out{-9, -9, 9};
        ASSERT_EQ(QL_ConvertPointCloudToDepth(handle, &c.in, &out, 1, &p), 0);
        EXPECT_EQ(out.depthX, c.expected.depthX) << c.in.x << "," << c.in.y << "," << c.in.z;
        EXPECT_EQ(out.depthY, c.expected.depthY) << c.in.x << "," << c.in.y << "," << c.in.z;
        EXPECT_EQ(out.depthZ, c.expected.depthZ) << c.in.x << "," << c.in.y << "," << c.in.z;
    }
}

TEST_F(ApiTable, PointCloudFrameNeedsData) {
    QlFrame frame{};
    QlVector3f points[1];
    EXPECT_EQ(QL_ConvertDepthFrameToPointCloudVector(handle, &frame, points), -5);
}

}  // namespace
