// One main-loop pass at a time: appearances, losses, heartbeats.
#include <chrono>
#include <future>

#include "ManagerFixture.h"
#include "ManagerTiming.h"

namespace managertest {
namespace {

using Loop = ManagerFixture;

TEST_F(Loop, AppearanceIsReportedOnceAndCountedOnlyAfterItsPass) {
    Hear("SN1", "127.0.0.2");
    EXPECT_EQ(manager->GetCameraCount(), 0u);
    EXPECT_EQ(Pass(), managertiming::kBetweenPasses);
    EXPECT_EQ(manager->GetCameraCount(), 1u);
    Hear("SN1", "127.0.0.2");
    Pass();
    Pass();
    Shutdown();
    const auto entries = reports.Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].serialNumber, "SN1");
    EXPECT_EQ(entries[0].message, MessageAdded);
    EXPECT_EQ(entries[0].status, QlDeviceAvailable);
    EXPECT_TRUE(log.Contains("<SN1>  socket add"));
}

TEST_F(Loop, ReportsWithoutACallbackDoNothing) {
    manager->SetHotPlugStatusCallback(nullptr, nullptr);
    Appear("SN1", "127.0.0.2");
    Shutdown();
    EXPECT_TRUE(reports.Entries().empty());
    EXPECT_FALSE(log.Contains("<SN1> 0 "));
}

TEST_F(Loop, FailedHeartbeatClosesTheDeviceAndReportsItOnTheNextPass) {
    Appear("SN1", "127.0.0.2");
    BaseDevice* device = OpenByIP("127.0.0.2");
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(Pass(), managertiming::kBetweenPasses);  // heartbeat answered

    Camera("SN1").heartbeatResult = -104;
    EXPECT_EQ(Pass(), managertiming::kAfterFailedHeartbeat);
    EXPECT_EQ(Camera("SN1").Count("Close"), 0);
    EXPECT_TRUE(log.Contains("<SN1> heartBeatMissCount 1"));

    Pass();
    EXPECT_EQ(Camera("SN1").Calls(),
              (std::vector<std::string>{"Open", "HeartbeatCheck", "HeartbeatCheck", "OnMessage:1", "Close"}));
    EXPECT_TRUE(log.Contains("<SN1> remove"));
    // The handle stays valid until the application closes it.
    EXPECT_TRUE(manager->CheckDevicePtrVaild(device));
    EXPECT_EQ(Camera("SN1").destroyed, 0);
    ASSERT_TRUE(reports.WaitFor(2));
    ASSERT_EQ(reports.Of(MessageRemoved).size(), 1u);
    EXPECT_EQ(reports.Of(MessageRemoved)[0].status, QlDeviceGone);
}

TEST_F(Loop, OpenedCameraThatLeavesIsToldAndReportedButNotClosed) {
    Appear("SN1", "127.0.0.2");
    ASSERT_NE(OpenByIP("127.0.0.2"), nullptr);
    Hear("SN1", "127.0.0.2", 2);
    Pass();
    EXPECT_EQ(Camera("SN1").Count("OnMessage:1"), 1);
    EXPECT_EQ(Camera("SN1").Count("Close"), 0);
    EXPECT_TRUE(log.Contains("<SN1> remove misscount 0"));
    ASSERT_TRUE(reports.WaitFor(2));
    ASSERT_EQ(reports.Of(MessageRemoved).size(), 1u);
    EXPECT_EQ(reports.Of(MessageRemoved)[0].status, QlDeviceGone);
    EXPECT_EQ(manager->GetCameraCount(), 0u);
}

TEST_F(Loop, UnopenedCameraThatLeavesIsDroppedWithoutAReport) {
    Appear("SN1", "127.0.0.2");
    Hear("SN1", "127.0.0.2", 2);
    Pass();
    EXPECT_EQ(manager->GetCameraCount(), 0u);
    Shutdown();
    EXPECT_EQ(reports.Entries().size(), 1u);  // the appearance only
}

TEST_F(Loop, CameraThatLeftAndCameBackOpensOnTheFirstTry) {
    Appear("SN1", "127.0.0.2");
    BaseDevice* device = OpenByIP("127.0.0.2");
    Hear("SN1", "127.0.0.2", 2);
    Pass();
    Hear("SN1", "127.0.0.2", 0);
    Pass();
    ASSERT_TRUE(reports.WaitFor(3));
    EXPECT_EQ(reports.Of(MessageAdded).size(), 2u);

    EXPECT_EQ(OpenByIP("127.0.0.2"), device);
    EXPECT_EQ(Camera("SN1").Calls(), (std::vector<std::string>{"Open", "OnMessage:1", "Close", "Open"}));
    EXPECT_TRUE(manager->checkOpenedByURI("Test:SN1"));
}

TEST_F(Loop, HeartbeatsPauseNoOtherCamera) {
    Appear("SN1", "127.0.0.2");
    Appear("SN2", "127.0.0.3");
    OpenByIP("127.0.0.2");
    OpenByIP("127.0.0.3");
    Camera("SN1").heartbeatResult = -104;
    Pass();
    EXPECT_EQ(Camera("SN2").Count("HeartbeatCheck"), 1);
    Camera("SN1").heartbeatResult = 0;
    Pass();  // one miss is enough
    EXPECT_EQ(Camera("SN1").Count("Close"), 1);
    EXPECT_EQ(Camera("SN2").Count("Close"), 0);
}

// A lost device's threads are joined after the list lock is released, so a worker that
// calls into the kit while it is joined does not deadlock.
TEST_F(Loop, LostDeviceIsClosedOutsideTheListLock) {
    Appear("SN1", "127.0.0.2");
    OpenByIP("127.0.0.2");
    std::promise<uint32_t> counted;
    std::future<uint32_t> count = counted.get_future();
    bool answeredDuringClose = false;
    Camera("SN1").onClose = [&] {
        kitCaller = std::thread([&] { counted.set_value(manager->GetCameraCount()); });
        answeredDuringClose = count.wait_for(std::chrono::seconds(2)) == std::future_status::ready;
    };
    Camera("SN1").heartbeatResult = -1;
    Pass();
    Pass();
    EXPECT_EQ(Camera("SN1").Count("Close"), 1);
    EXPECT_TRUE(answeredDuringClose);
    Camera("SN1").onClose = nullptr;
}

// A camera that does not answer its heartbeat holds up no list query, open or close.
TEST_F(Loop, HeartbeatIsSentOutsideTheListLockAndItsAnswerAppliedAfter) {
    Appear("SN1", "127.0.0.2");
    Appear("SN2", "127.0.0.3");
    Appear("SN3", "127.0.0.4");
    OpenByIP("127.0.0.2");
    BaseDevice* other = OpenByIP("127.0.0.3");
    BaseDevice* opened = nullptr;
    bool answered = false;
    Camera("SN1").heartbeatResult = -104;
    Camera("SN1").onHeartbeat = [&] {
        answered = ReturnsMeanwhile([&] {
            QlDeviceInfo list[3];
            EXPECT_EQ(manager->GetCameraCount(), 3u);
            EXPECT_EQ(manager->GetDeviceInfoList(list, 3), 0);
            manager->ReleaseDevice(other);
            int status = 0;
            opened = manager->OpenDeviceByIP("127.0.0.4", status);
        });
    };
    EXPECT_EQ(Pass(), managertiming::kAfterFailedHeartbeat);
    Camera("SN1").onHeartbeat = nullptr;
    EXPECT_TRUE(answered);
    EXPECT_NE(opened, nullptr);
    EXPECT_EQ(Camera("SN2").destroyed, 1);
    EXPECT_TRUE(log.Contains("<SN1> heartBeatMissCount 1"));
    EXPECT_FALSE(log.Contains("<SN2> heartBeatMissCount"));
    Pass();
    EXPECT_EQ(Camera("SN1").Count("Close"), 1);
    ASSERT_TRUE(reports.WaitFor(4));
    ASSERT_EQ(reports.Of(MessageRemoved).size(), 1u);
    EXPECT_EQ(reports.Of(MessageRemoved)[0].serialNumber, "SN1");
}

// The application closes the camera while its heartbeat waits: the device lives until the
// heartbeat is back, and the answer counts for nothing.
TEST_F(Loop, DeviceReleasedDuringItsHeartbeatTakesNoAnswerAndGoesAfterIt) {
    Appear("SN1", "127.0.0.2");
    BaseDevice* device = OpenByIP("127.0.0.2");
    int destroyedDuringHeartbeat = -1;
    Camera("SN1").heartbeatResult = -104;
    Camera("SN1").onHeartbeat = [&] {
        EXPECT_TRUE(ReturnsMeanwhile([&] { manager->ReleaseDevice(device); }));
        destroyedDuringHeartbeat = Camera("SN1").destroyed;
    };
    EXPECT_EQ(Pass(), managertiming::kBetweenPasses);
    Camera("SN1").onHeartbeat = nullptr;
    EXPECT_EQ(destroyedDuringHeartbeat, 0);
    EXPECT_EQ(Camera("SN1").destroyed, 1);
    EXPECT_FALSE(log.Contains("heartBeatMissCount"));
    Pass();
    EXPECT_FALSE(log.Contains("<SN1> remove"));
    Shutdown();
    EXPECT_TRUE(reports.Of(MessageRemoved).empty());
    EXPECT_EQ(Camera("SN1").Count("Close"), 1);
}

TEST_F(Loop, TransferRecordedDuringAHeartbeatDropsItsAnswer) {
    Appear("SN1", "127.0.0.2");
    OpenByIP("127.0.0.2");
    Camera("SN1").heartbeatResult = -104;
    Camera("SN1").onHeartbeat = [&] { manager->SetUpgradeState(2); };
    EXPECT_EQ(Pass(), managertiming::kBetweenPasses);
    Camera("SN1").onHeartbeat = nullptr;
    EXPECT_FALSE(log.Contains("heartBeatMissCount"));
    manager->SetUpgradeState(0);
    Camera("SN1").heartbeatResult = 0;
    Pass();
    EXPECT_EQ(Camera("SN1").Count("Close"), 0);
    EXPECT_TRUE(manager->checkOpenedByURI("Test:SN1"));
}

// A shut-down waits for at most the heartbeat under way, not for every camera's.
TEST_F(Loop, StopEndsThePassBetweenHeartbeats) {
    Appear("SN1", "127.0.0.2");
    Appear("SN2", "127.0.0.3");
    OpenByIP("127.0.0.2");
    OpenByIP("127.0.0.3");
    Camera("SN1").onHeartbeat = [&] { manager->Stop(); };
    Pass();
    Camera("SN1").onHeartbeat = nullptr;
    EXPECT_EQ(Camera("SN1").Count("HeartbeatCheck"), 1);
    EXPECT_EQ(Camera("SN2").Count("HeartbeatCheck"), 0);
}

TEST_F(Loop, StopWakesTheLoopAtOnce) {
    manager->Start();
    // Let the first pass reach its one-second sleep.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const auto started = std::chrono::steady_clock::now();
    manager->Stop();
    manager->Join();
    EXPECT_LT(std::chrono::steady_clock::now() - started, managertiming::kBetweenPasses / 2);
}

}  // namespace
}  // namespace managertest
