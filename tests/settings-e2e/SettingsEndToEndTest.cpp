// One camera from the simulator, reached through the exported functions only.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <thread>

#include "CameraSim.h"
#include "TempDir.h"
#include "Torvane_api.h"

namespace {

using namespace std::chrono_literals;

class SettingsEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        camsim::CameraOptions options;
        options.ip = "127.0.0.2";
        options.deviceType = 0x11;
        sim = std::make_unique<camsim::CameraSim>(options);
        ASSERT_TRUE(sim->Start());
        ASSERT_EQ(QL_InitializeWithLogPath(logs.Path().c_str()), 0);
        uint32_t count = 0;
        // Discovery merges about once a second.
        for (int i = 0; i < 100 && count == 0; ++i) {
            ASSERT_EQ(QL_GetDeviceCount(&count), 0);
            if (count == 0) std::this_thread::sleep_for(100ms);
        }
        ASSERT_EQ(count, 1u);
        ASSERT_EQ(QL_OpenDeviceByIP("127.0.0.2", &handle), 0);
    }
    void TearDown() override {
        if (handle) QL_CloseDevice(&handle);
        QL_Shutdown();
        if (sim) sim->Stop();
    }

    testsupport::TempDir logs;
    testsupport::TempDir files;
    std::unique_ptr<camsim::CameraSim> sim;
    QlDeviceHandle handle = nullptr;
};

TEST_F(SettingsEndToEnd, FileChangesWhatTheCameraHolds) {
    const std::string path = files.File("settings.json");
    testsupport::WriteFile(path, R"({
        "Control": {"FrameRate": 15, "IRGmmGain": 40, "WorkMode": "SoftwareTriggerMode"},
        "Filter": {"TimeFilter": true, "TimeFilter_Threshold": 2}
    })");
    ASSERT_EQ(QL_SetParamsByJson(handle, path.c_str()), 0);
    const camsim::CameraState state = sim->State();
    EXPECT_EQ(state.frameRate, 15);
    EXPECT_EQ(state.irGain, 40);
    EXPECT_EQ(state.workMode, 2);
    QlTimeFilterParams time{};
    ASSERT_EQ(QL_GetTimeFilterParams(handle, &time), 0);
    EXPECT_EQ(time.threshold, 2);
    EXPECT_EQ(time.enable, 1);
}

TEST_F(SettingsEndToEnd, FirstFailureStopsTheWalkAndLeavesWhatWentBefore) {
    const std::string path = files.File("settings.json");
    // A frame rate the camera refuses ends the walk before the work mode is set.
    sim->RefuseSetting(0x04, std::nullopt, true);
    testsupport::WriteFile(path,
                           R"({"Control": {"FrameRate": 20, "IRGmmGain": 41, "WorkMode": "SoftwareTriggerMode"}})");
    EXPECT_NE(QL_SetParamsByJson(handle, path.c_str()), 0);
    const camsim::CameraState state = sim->State();
    EXPECT_EQ(state.frameRate, 30);
    EXPECT_EQ(state.irGain, 8);  // keys after the failing one are not reached
    EXPECT_EQ(state.workMode, 0);
}

}  // namespace
