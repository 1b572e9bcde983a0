// One main-loop pass at a time: appearances, losses, heartbeats.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

#include "Eventually.h"
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

// A device closing itself for an upgrade fails the heartbeat that is out. Until the hand-over
// ends that is no loss and no heartbeat goes out; one that ends without a transfer leaves a
// closed device, whose camera the heartbeat then finds lost.
TEST_F(Loop, HeartbeatFailedByAHandOverIsNoLoss) {
    Appear("SN1", "127.0.0.2");
    BaseDevice* device = OpenByIP("127.0.0.2");
    std::promise<void> begun;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    Camera("SN1").heartbeatResult = -104;
    Camera("SN1").onUpgrade = [&] {
        begun.set_value();
        released.wait();
    };
    Camera("SN1").onHeartbeat = [&] {
        ReturnsMeanwhile([&] { device->StartUpgradeFirmWare("dir/fw.img"); });
        begun.get_future().wait();
    };
    EXPECT_EQ(Pass(), managertiming::kBetweenPasses);
    Camera("SN1").onHeartbeat = nullptr;
    EXPECT_EQ(Pass(), managertiming::kBetweenPasses);
    EXPECT_EQ(Camera("SN1").Count("HeartbeatCheck"), 1);
    EXPECT_FALSE(log.Contains("heartBeatMissCount"));
    EXPECT_FALSE(log.Contains("<SN1> remove"));

    release.set_value();
    kitCaller.join();
    EXPECT_EQ(Pass(), managertiming::kAfterFailedHeartbeat);
    Pass();
    EXPECT_TRUE(log.Contains("<SN1> remove"));
    ASSERT_TRUE(reports.WaitFor(2));
    EXPECT_EQ(reports.Of(MessageRemoved).size(), 1u);
}

// A shut-down cuts the heartbeats under way (their devices are closed next), applies none of
// their answers, and no heartbeat begins after it.
TEST_F(Loop, StopCutsTheHeartbeatsUnderWay) {
    Appear("SN1", "127.0.0.2");
    Appear("SN2", "127.0.0.3");
    OpenByIP("127.0.0.2");
    OpenByIP("127.0.0.3");
    Camera("SN1").onHeartbeat = [&] { manager->Stop(); };
    Camera("SN1").heartbeatResult = -104;
    Pass();
    Camera("SN1").onHeartbeat = nullptr;
    EXPECT_GE(Camera("SN1").io.load()->shutdowns, 1);
    EXPECT_FALSE(log.Contains("heartBeatMissCount"));
    EXPECT_EQ(Camera("SN1").Count("HeartbeatCheck"), 1);
    EXPECT_LE(Camera("SN2").Count("HeartbeatCheck"), 1);
    Pass();
    EXPECT_EQ(Camera("SN1").Count("HeartbeatCheck"), 1);
    EXPECT_LE(Camera("SN2").Count("HeartbeatCheck"), 1);
}

// The heartbeats of one pass are out at the same time: a silent camera holds up no other's,
// and the pass waits for the slowest only.
TEST_F(Loop, HeartbeatsOfAPassAreOutTogether) {
    constexpr int kCameras = 4;
    std::mutex lock;
    std::condition_variable arrived;
    int inside = 0;
    std::atomic<int> together{0};
    for (int i = 0; i < kCameras; ++i) {
        Appear("SN" + std::to_string(i), "127.0.0." + std::to_string(i + 2));
        ASSERT_NE(OpenByIP("127.0.0." + std::to_string(i + 2)), nullptr);
    }
    for (int i = 0; i < kCameras; ++i) {
        // Each waits, as for its camera's reply, until all are out (bounded for a failure).
        Camera("SN" + std::to_string(i)).onHeartbeat = [&] {
            std::unique_lock<std::mutex> guard(lock);
            ++inside;
            arrived.notify_all();
            if (arrived.wait_for(guard, std::chrono::seconds(2), [&] { return inside == kCameras; })) ++together;
        };
    }
    Pass();
    for (int i = 0; i < kCameras; ++i) Camera("SN" + std::to_string(i)).onHeartbeat = nullptr;
    EXPECT_EQ(together, kCameras);
}

// The answers are applied together once all are in: each silent camera is counted and
// removed on the next pass, logged in list order, and the answering one streams on.
TEST_F(Loop, AnswersOfAPassAreAppliedTogether) {
    Appear("SN1", "127.0.0.2");
    Appear("SN2", "127.0.0.3");
    Appear("SN3", "127.0.0.4");
    for (const char* ip : {"127.0.0.2", "127.0.0.3", "127.0.0.4"}) ASSERT_NE(OpenByIP(ip), nullptr);
    Camera("SN1").heartbeatResult = -104;
    Camera("SN3").heartbeatResult = -104;
    EXPECT_EQ(Pass(), managertiming::kAfterFailedHeartbeat);
    const std::string text = log.Text();
    const size_t first = text.find("<SN1> heartBeatMissCount 1");
    const size_t third = text.find("<SN3> heartBeatMissCount 1");
    ASSERT_NE(first, std::string::npos);
    ASSERT_NE(third, std::string::npos);
    EXPECT_LT(first, third);
    EXPECT_EQ(text.find("<SN2> heartBeatMissCount"), std::string::npos);
    Pass();
    EXPECT_EQ(Camera("SN1").Count("Close"), 1);
    EXPECT_EQ(Camera("SN2").Count("Close"), 0);
    EXPECT_EQ(Camera("SN3").Count("Close"), 1);
    ASSERT_TRUE(reports.WaitFor(5));
    const auto removed = reports.Of(MessageRemoved);
    ASSERT_EQ(removed.size(), 2u);
    // Each on a thread of its own: either may come first.
    EXPECT_NE(removed[0].serialNumber, removed[1].serialNumber);
    for (const auto& entry : removed) EXPECT_TRUE(entry.serialNumber == "SN1" || entry.serialNumber == "SN3");
}

// A data connection that the receive thread finds lost asks for a pass at once, not after
// the loop's second.
TEST_F(Loop, ALostDataLinkWakesTheLoop) {
    Appear("SN1", "127.0.0.2");
    ASSERT_NE(OpenByIP("127.0.0.2"), nullptr);
    manager->Start();
    ASSERT_TRUE(
        testsupport::Eventually([&] { return Camera("SN1").Count("HeartbeatCheck") == 1; }, std::chrono::seconds(2)));
    // Well into the loop's one-second sleep.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto lost = std::chrono::steady_clock::now();
    Camera("SN1").io.load()->dataLinkLostHook();
    ASSERT_TRUE(
        testsupport::Eventually([&] { return Camera("SN1").Count("HeartbeatCheck") == 2; }, std::chrono::seconds(2)));
    EXPECT_LT(std::chrono::steady_clock::now() - lost, managertiming::kBetweenPasses / 2);
    manager->Stop();
    manager->Join();
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
