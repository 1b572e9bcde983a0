// The manager against simulated cameras on loopback, with the real ToF plug-in and the
// shipped product profiles in the build tree's module folder.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "CameraSim.h"
#include "DeviceManager.h"
#include "Eventually.h"
#include "HotplugRecorder.h"
#include "KitLogPath.h"
#include "LogCapture.h"
#include "TempDir.h"

namespace managertest {
namespace {

constexpr auto kBound = std::chrono::seconds(15);
const std::string kProduct = "Torvane-ToF-11";

// Discovery merges once a second, so the cameras get a longer bound.
bool Eventually(const std::function<bool()>& condition) { return testsupport::Eventually(condition, kBound); }

class ManagerEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        struct stat info {};
        ASSERT_EQ(stat(KIT_MODULE_DIR "/Drivers/libhalden_tof.so", &info), 0) << "the ToF plug-in is not built";
        g_logPath = pluginLogs.Path();
        manager = std::make_unique<DeviceManager>(KIT_MODULE_DIR);
        ASSERT_FALSE(manager->IsProductProfileEmpty());
        manager->SetHotPlugStatusCallback(&HotplugRecorder::Callback, &reports);
        manager->Start();
    }
    void TearDown() override {
        manager.reset();
        for (auto& camera : cameras) camera->Stop();
        g_logPath.clear();
    }

    camsim::CameraSim& StartCamera(const std::string& ip, const std::string& sn, const std::string& alias = "") {
        camsim::CameraOptions options;
        options.ip = ip;
        options.serialNumber = sn;
        options.alias = alias;
        cameras.push_back(std::make_unique<camsim::CameraSim>(options));
        EXPECT_TRUE(cameras.back()->Start());
        return *cameras.back();
    }
    // Starts a camera and waits until the manager has reported it.
    camsim::CameraSim& AppearedCamera(const std::string& ip, const std::string& sn, const std::string& alias = "") {
        const size_t before = reports.Of(MessageAdded).size();
        camsim::CameraSim& camera = StartCamera(ip, sn, alias);
        EXPECT_TRUE(Eventually([&] { return reports.Of(MessageAdded).size() > before; }));
        return camera;
    }
    BaseDevice* Open(const std::string& ip) {
        int status = 0;
        BaseDevice* device = manager->OpenDeviceByIP(ip.c_str(), status);
        EXPECT_EQ(status, 0);
        return device;
    }
    static int WaitForFrames(BaseDevice& device, uint16_t waitMs = 1000) {
        FrameReady ready = 0;
        return device.GetFrameReady(waitMs, &ready);
    }

    testsupport::LogCapture log;
    testsupport::TempDir pluginLogs;
    HotplugRecorder reports;
    std::vector<std::unique_ptr<camsim::CameraSim>> cameras;
    std::unique_ptr<DeviceManager> manager;
};

TEST_F(ManagerEndToEnd, CameraThatAppearsIsListedAndReported) {
    AppearedCamera("127.0.0.2", "SIM0001", "front");
    EXPECT_EQ(manager->GetCameraCount(), 1u);
    QlDeviceInfo info{};
    ASSERT_EQ(manager->GetDeviceInfo(&info, 0), 0);
    EXPECT_EQ(std::string(info.productName), kProduct);
    EXPECT_EQ(std::string(info.uri), kProduct + ":SIM0001");
    EXPECT_STREQ(info.alias, "front");
    EXPECT_STREQ(info.serialNumber, "SIM0001");
    EXPECT_STREQ(info.ip, "127.0.0.2");
    EXPECT_EQ(int(info.status), QlDeviceAvailable);
    const auto added = reports.Of(MessageAdded);
    ASSERT_EQ(added.size(), 1u);
    EXPECT_EQ(added[0].serialNumber, "SIM0001");
    EXPECT_EQ(added[0].status, QlDeviceAvailable);
}

TEST_F(ManagerEndToEnd, OpenedCameraThatLeavesIsReportedAndItsFramesFail) {
    camsim::CameraSim& camera = AppearedCamera("127.0.0.2", "SIM0001");
    BaseDevice* device = Open("127.0.0.2");
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(WaitForFrames(*device), 0);
    camera.SetAnnouncedState(camsim::AnnouncedState::Leaving);
    ASSERT_TRUE(Eventually([&] { return reports.Of(MessageRemoved).size() == 1; }));
    EXPECT_EQ(reports.Of(MessageRemoved)[0].status, QlDeviceGone);
    EXPECT_EQ(WaitForFrames(*device, 100), -1);
    EXPECT_TRUE(manager->CheckDevicePtrVaild(device));
    EXPECT_EQ(manager->GetCameraCount(), 0u);
}

TEST_F(ManagerEndToEnd, UnopenedCameraThatLeavesIsNoLongerListedAndNotReported) {
    camsim::CameraSim& camera = AppearedCamera("127.0.0.2", "SIM0001");
    camera.SetAnnouncedState(camsim::AnnouncedState::Leaving);
    ASSERT_TRUE(Eventually([&] { return manager->GetCameraCount() == 0; }));
    manager.reset();  // every report has returned
    EXPECT_TRUE(reports.Of(MessageRemoved).empty());
}

TEST_F(ManagerEndToEnd, StalledHeartbeatRemovesTheCameraAndStopsItsFrames) {
    camsim::CameraSim& camera = AppearedCamera("127.0.0.2", "SIM0001");
    BaseDevice* device = Open("127.0.0.2");
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(WaitForFrames(*device), 0);
    camera.StallHeartbeat(true);
    ASSERT_TRUE(Eventually([&] { return reports.Of(MessageRemoved).size() == 1; }));
    EXPECT_TRUE(log.Contains("<SIM0001> heartBeatMissCount 1"));
    EXPECT_TRUE(log.Contains("<SIM0001> remove"));
    EXPECT_EQ(WaitForFrames(*device, 100), -1) << "gone, not merely stopped";
    EXPECT_TRUE(manager->CheckDevicePtrVaild(device));
}

TEST_F(ManagerEndToEnd, CameraOutsideTheHostSubnetsIsRefusedAndItsAddressesTold) {
    ASSERT_EQ(std::system("ip addr add 10.9.0.5/32 dev lo"), 0);
    AppearedCamera("10.9.0.5", "SIM0005");
    int status = 0;
    EXPECT_EQ(manager->OpenDeviceByIP("10.9.0.5", status), nullptr);
    EXPECT_EQ(status, -106);
    char data[40] = "10.9.0.5";
    ASSERT_EQ(manager->GetProperty("Py_IPNotMatchByIP", data, sizeof(data)), 0);
    EXPECT_STREQ(data + 8, "10.9.0.5");
    EXPECT_STREQ(data + 24, "127.0.0.1");
}

TEST_F(ManagerEndToEnd, TwoHandlesByIPOneDeviceAndItCountsAsOpenedByURI) {
    AppearedCamera("127.0.0.2", "SIM0001", "front");
    BaseDevice* first = Open("127.0.0.2");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(Open("127.0.0.2"), first);
    // The API refuses a second open by URI or alias with -103 on this answer.
    EXPECT_TRUE(manager->checkOpenedByURI((kProduct + ":SIM0001").c_str()));
    EXPECT_TRUE(manager->checkOpenedByAlias("front"));
    EXPECT_EQ(WaitForFrames(*first), 0);
}

TEST_F(ManagerEndToEnd, OpenCloseAndReopen) {
    AppearedCamera("127.0.0.2", "SIM0001");
    BaseDevice* device = Open("127.0.0.2");
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(WaitForFrames(*device), 0);
    manager->ReleaseDevice(device);
    EXPECT_FALSE(manager->CheckDevicePtrVaild(device));
    ASSERT_TRUE(Eventually([&] { return manager->GetCameraCount() == 1; }));
    BaseDevice* again = Open("127.0.0.2");
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(WaitForFrames(*again), 0);
    EXPECT_EQ(reports.Of(MessageAdded).size(), 1u);
}

}  // namespace
}  // namespace managertest
