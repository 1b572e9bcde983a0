// Shared pieces of the end-to-end tests: a simulated camera found and opened through the
// exported functions only.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <utility>

#include "CameraSim.h"
#include "TempDir.h"
#include "ThreadCount.h"
#include "Torvane_api.h"

namespace apie2e {

using namespace std::chrono_literals;

// A copy of a packed field, so that the test macros never bind a reference to it.
template <typename T>
T Val(T value) {
    return value;
}

constexpr int kDepthWidth = 640;
constexpr int kDepthHeight = 480;

using testsupport::ThreadCount;
using testsupport::ThreadCountSettledAt;

inline camsim::CameraOptions ToFOnlyCamera() {
    camsim::CameraOptions options;
    options.ip = "127.0.0.2";
    options.deviceType = 0x11;
    options.serialNumber = "SIM0001";
    options.alias = "front";
    options.scene = camsim::Scene::Box(1800, 1200);
    return options;
}

inline camsim::CameraOptions ColourCamera() {
    camsim::CameraOptions options = ToFOnlyCamera();
    options.deviceType = 0x12;
    options.colour = true;
    return options;
}

// The first listed record whose status is `status`, polled for up to five seconds (discovery
// merges about once a second).
inline bool WaitForListed(const std::string& serial, QlDeviceStatus status, QlDeviceInfo* found = nullptr) {
    for (int i = 0; i < 50; ++i) {
        uint32_t count = 0;
        if (QL_GetDeviceCount(&count) == 0 && count > 0) {
            QlDeviceInfo list[8];
            std::memset(list, 0, sizeof(list));
            if (QL_GetDeviceInfoList(count < 8 ? count : 8, list) == 0) {
                for (uint32_t k = 0; k < count && k < 8; ++k) {
                    if (serial == list[k].serialNumber && list[k].status == status) {
                        if (found) *found = list[k];
                        return true;
                    }
                }
            }
        }
        std::this_thread::sleep_for(100ms);
    }
    return false;
}

// Frames reach the application within a few one-second waits (sanitizer builds decode slowly).
inline bool FramesCome(QlDeviceHandle handle) {
    for (int i = 0; i < 10; ++i) {
        FrameReady ready = 0;
        if (QL_GetFrameReady(handle, 1000, &ready) == 0) return true;
    }
    return false;
}

// What QL_GetFrameReady and QL_GetFrame give on `handle`, in that order.
inline std::pair<int, int> FrameCalls(QlDeviceHandle handle) {
    FrameReady ready = 0;
    QlFrame frame{};
    const int readyStatus = QL_GetFrameReady(handle, 100, &ready);
    return {readyStatus, QL_GetFrame(handle, FRAME_DEPTH, &frame)};
}
// What they give on a lost camera's handle, and on one whose camera was closed through another.
const std::pair<int, int> kGone{-1, -1};
const std::pair<int, int> kClosed{-15, -15};

// A started simulator and an initialised kit that lists it.
class KitWithCamera : public ::testing::Test {
protected:
    void StartKit(const camsim::CameraOptions& options) {
        sim = std::make_unique<camsim::CameraSim>(options);
        ASSERT_TRUE(sim->Start());
        ASSERT_EQ(QL_InitializeWithLogPath(logs.Path().c_str()), 0);
        initialised = true;
        ASSERT_TRUE(WaitForListed(options.serialNumber, QlDeviceAvailable)) << "camera never listed";
    }
    void OpenCamera(const camsim::CameraOptions& options) {
        StartKit(options);
        ASSERT_EQ(QL_OpenDeviceByIP(options.ip.c_str(), &handle), 0);
        ASSERT_NE(handle, nullptr);
    }
    void TearDown() override {
        if (handle) QL_CloseDevice(&handle);
        if (initialised) QL_Shutdown();
        if (sim) sim->Stop();
    }
    std::string LogText() const { return testsupport::ReadFile(logs.File("QueltaSDK.txt")); }

    // Every filter off, so that the camera's depth reaches the application as it was sent.
    void FiltersOff() {
        EXPECT_EQ(QL_SetTimeFilterParams(handle, QlTimeFilterParams{0, 0}), 0);
        EXPECT_EQ(QL_SetConfidenceFilterParams(handle, QlConfidenceFilterParams{0, 0}), 0);
        EXPECT_EQ(QL_SetFlyingPixelFilterParams(handle, QlFlyingPixelFilterParams{0, 0}), 0);
        EXPECT_EQ(QL_SetFillHoleFilterEnabled(handle, false), 0);
        EXPECT_EQ(QL_SetSpatialFilterEnabled(handle, false), 0);
    }

    // The ready bits of the next frame group that holds all of `bits` (0 when none came).
    FrameReady NextGroup(FrameReady bits, int skip = 0) {
        for (int i = 0; i < 40; ++i) {
            FrameReady ready = 0;
            if (QL_GetFrameReady(handle, 1000, &ready) == 0 && (ready & bits) == bits) {
                if (skip-- <= 0) return ready;
            }
        }
        return 0;
    }

    testsupport::TempDir logs;
    std::unique_ptr<camsim::CameraSim> sim;
    QlDeviceHandle handle = nullptr;
    bool initialised = false;
};

}  // namespace apie2e
