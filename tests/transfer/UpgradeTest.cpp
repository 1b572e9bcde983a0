#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "Eventually.h"
#include "TransferRig.h"
#include "Upgrade.h"

namespace {

using namespace transfertest;

struct Row {
    const char* name;
    CameraScript camera;
    int openResult;
    std::vector<Report> expected;
    bool rebooted;
    int waitLimit = Upgrade::kWaitLimit;
};

class UpgradeTest : public ::testing::Test {
protected:
    // Hands a transfer over and reports the camera detected; `callback` false leaves the
    // controller without one.
    void Start(Upgrade& upgrade, DeviceCommonProtocol* protocol, bool callback = true) {
        if (callback) upgrade.SetUpgradeStatusCallback(&Reports::Callback, &reports);
        upgrade.SetTransferHooks(nullptr, [this] { reports.Ended(); });
        upgrade.SetImgPath("fw/a.img", protocol);
        upgrade.SetStatus(1);
        upgrade.SetDetectParams_P();
    }
    // The device's close on another thread, as the application may make it while the
    // worker reports.
    static std::future<void> CloseElsewhere(Upgrade& upgrade, DeviceCommonProtocol* protocol) {
        return std::async(std::launch::async, [&upgrade, protocol] { upgrade.Detach(protocol); });
    }
    // False when the close did not return: it waits for something that waits for it.
    static bool Returned(std::future<void>& closing) {
        return closing.valid() && closing.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    }
    // Runs one transfer to its end.
    void RunTransfer(Upgrade& upgrade, ScriptedCamera& camera, bool callback = true) {
        Start(upgrade, camera.protocol.get(), callback);
        ASSERT_TRUE(reports.WaitEnded());
        upgrade.Shutdown();
    }

    testsupport::LogCapture log;
    Reports reports;
};

CameraScript Firmware(std::vector<std::pair<int, int>> states) {
    CameraScript s;
    s.kind = 1;
    s.states = std::move(states);
    return s;
}

TEST_F(UpgradeTest, Table) {
    const std::vector<Report> prefix = {{1, 1}, {2, 1}, {3, 1}};
    auto with = [&](std::vector<Report> tail) {
        std::vector<Report> all = prefix;
        all.insert(all.end(), tail.begin(), tail.end());
        return all;
    };
    CameraScript goOnFails = Firmware({{0, 1}, {2, 1}});
    goOnFails.goOnResult = -1;
    CameraScript checksumFails = Firmware({{0, 1}});
    checksumFails.checksumResult = -1;
    // Every query fails: each counts as a poll without progress.
    CameraScript queriesFail = Firmware({{0, 1}});
    queriesFail.queryResult = -104;
    const Row rows[] = {
        {"success", Firmware({{0, 1}, {1, 0}, {2, 1}, {3, 40}, {3, 87}, {4, 1}, {5, 1}, {6, 1}}), 0,
         with({{4, 1}, {5, 40}, {5, 87}, {5, 100}, {6, 1}, {7, 1}, {8, 1}}), true},
        {"progress to 100 reported by the camera", Firmware({{0, 1}, {2, 1}, {3, 100}, {4, 1}, {5, 1}, {6, 1}}), 0,
         with({{4, 1}, {5, 100}, {6, 1}, {7, 1}, {8, 1}}), true},
        {"check failed", Firmware({{0, 1}, {1, 0}, {2, 0}}), 0, with({{4, -1}}), true},
        {"check failed with a code", Firmware({{0, 1}, {2, 5}}), 0, with({{4, 5}}), true},
        {"go on fails", goOnFails, 0, with({{4, -1}}), true},
        {"checksum send fails", checksumFails, 0, with({{4, -1}}), true},
        {"step 6 failed", Firmware({{0, 1}, {2, 1}, {4, 0}}), 0, with({{4, 1}, {6, -1}}), true},
        {"upgrade NG", Firmware({{0, 1}, {2, 1}, {6, 3}}), 0, with({{4, 1}, {8, 3}}), true},
        {"camera state 7", Firmware({{0, 1}, {7, 0}}), 0, with({{9, -1}}), false},
        {"camera back to 0", Firmware({{0, 1}, {0, 1}}), 0, with({{2, -1}}), false},
        {"never ready", Firmware({{0, 0}}), 0, {{1, 1}, {2, 1}, {2, -1}}, true, 5},
        {"queries fail", queriesFail, 0, {{1, 1}, {2, 1}, {2, -1}}, true, 5},
        {"stuck in progress", Firmware({{0, 1}, {3, 50}}), 0, with({{5, 50}, {5, -1}}), true, 5},
        {"three failed reconnects", Firmware({{0, 1}}), -1, {{1, 1}, {2, -1}}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        reports.Reset();
        ScriptedCamera camera(row.camera);
        camera.io().openResult = row.openResult;
        Upgrade upgrade(Quick(row.waitLimit));
        RunTransfer(upgrade, camera);
        EXPECT_EQ(reports.Got(), row.expected);
        EXPECT_EQ(camera.Count(kCmdReboot), row.rebooted ? 1 : 0);
        EXPECT_EQ(reports.EndedCount(), 1);
        if (row.openResult != 0) {
            EXPECT_EQ(camera.io().opens, 3);
            EXPECT_EQ(upgrade.Status(), 1);
        }
        if (row.rebooted) {
            EXPECT_EQ(upgrade.Status(), 0);
        }
    }
}

TEST_F(UpgradeTest, SendsTheCheckedLengthAndChecksumThenGoesOn) {
    ScriptedCamera camera(Firmware({{0, 1}, {2, 1}, {6, 1}}));
    Upgrade upgrade(Quick(Upgrade::kWaitLimit));
    RunTransfer(upgrade, camera);
    const std::vector<Bytes> checksum = camera.Sets(2);
    ASSERT_EQ(checksum.size(), 1u);
    EXPECT_EQ(checksum[0], StateRecord(1, 2, upgrade.GetimgChecksum(), upgrade.GetimgFileLen()));
    EXPECT_EQ(camera.Sets(3), (std::vector<Bytes>{StateRecord(1, 3, 0, 0)}));
    EXPECT_TRUE(log.Contains("<CAM1> Upgrade OK."));
}

TEST_F(UpgradeTest, WithoutCallbackTheSameStepsRun) {
    ScriptedCamera camera(Firmware({{0, 1}, {2, 1}, {3, 40}, {6, 1}}));
    Upgrade upgrade(Quick(Upgrade::kWaitLimit));
    RunTransfer(upgrade, camera, false);
    EXPECT_TRUE(reports.Got().empty());
    EXPECT_EQ(camera.Sets(2).size(), 1u);
    EXPECT_EQ(camera.Sets(3).size(), 1u);
    EXPECT_EQ(camera.Count(kCmdReboot), 1);
}

TEST_F(UpgradeTest, DetectionBeforeSetupStartsAtTheSetup) {
    ScriptedCamera camera(Firmware({{0, 1}, {6, 1}}));
    Upgrade upgrade(Quick(Upgrade::kWaitLimit));
    upgrade.SetUpgradeStatusCallback(&Reports::Callback, &reports);
    upgrade.SetTransferHooks(nullptr, [this] { reports.Ended(); });
    upgrade.SetImgPath("fw/a.img", camera.protocol.get());
    upgrade.SetDetectParams_P();
    EXPECT_FALSE(upgrade.IsRunning());
    upgrade.SetStatus(1);
    ASSERT_TRUE(reports.WaitEnded());
    EXPECT_EQ(reports.Got().back(), (Report{8, 1}));
}

TEST_F(UpgradeTest, DeviceDetachedMidTransferEndsWithAFailure) {
    auto camera = std::make_unique<ScriptedCamera>(Firmware({{0, 1}, {3, 30}}));
    Upgrade upgrade(Quick(Upgrade::kWaitLimit));
    Start(upgrade, camera->protocol.get());
    ASSERT_TRUE(reports.WaitReport({5, 30}));
    upgrade.Detach(camera->protocol.get());
    EXPECT_EQ(reports.Got().back(), (Report{6, -1}));
    EXPECT_EQ(reports.EndedCount(), 1);
    EXPECT_EQ(camera->Count(kCmdReboot), 0);
    camera.reset();
    // Nothing may touch the freed command set now.
    upgrade.RebootAndrm();
    upgrade.SetDetectParams_P();
    upgrade.Shutdown();
    EXPECT_EQ(reports.EndedCount(), 1);
}

TEST_F(UpgradeTest, DeviceClosedFromTheCallbackEndsTheTransfer) {
    ScriptedCamera camera(Firmware({{0, 1}, {3, 30}}));
    Upgrade upgrade(Quick(Upgrade::kWaitLimit));
    reports.onReport = [&](Report r) {
        if (r == Report{5, 30}) upgrade.Detach(camera.protocol.get());
    };
    Start(upgrade, camera.protocol.get());
    ASSERT_TRUE(reports.WaitEnded());
    upgrade.Shutdown();
    EXPECT_EQ(reports.Got().back(), (Report{6, -1}));
}

TEST_F(UpgradeTest, ShutdownRebootsOnlyARunningTransfer) {
    ScriptedCamera running(Firmware({{0, 1}, {3, 10}}));
    {
        Upgrade upgrade(Quick(Upgrade::kWaitLimit));
        upgrade.SetUpgradeStatusCallback(&Reports::Callback, &reports);
        upgrade.SetImgPath("fw/a.img", running.protocol.get());
        upgrade.SetStatus(1);
        upgrade.SetDetectParams_P();
        ASSERT_TRUE(reports.WaitReport({5, 10}));
        upgrade.Shutdown();
        EXPECT_FALSE(upgrade.IsRunning());
    }
    EXPECT_EQ(running.Count(kCmdReboot), 1);

    ScriptedCamera finished(Firmware({{0, 1}, {6, 1}}));
    Upgrade upgrade(Quick(Upgrade::kWaitLimit));
    RunTransfer(upgrade, finished);
    upgrade.Shutdown();
    EXPECT_EQ(finished.Count(kCmdReboot), 1);
}

TEST_F(UpgradeTest, CallbackStartingTheNextTransferDoesNotJoinItsWorker) {
    ScriptedCamera camera(Firmware({{0, 1}, {6, 1}}));
    Upgrade upgrade(Quick(Upgrade::kWaitLimit));
    int starts = 0;
    reports.onReport = [&](Report r) {
        if (r == Report{8, 1} && ++starts == 1) {
            camera.io().openResult = -1;  // the second transfer fails to reconnect
            upgrade.SetStatus(1);
        }
    };
    RunTransfer(upgrade, camera);
    const std::vector<Report> got = reports.Got();
    ASSERT_GE(got.size(), 2u);
    EXPECT_EQ(got[got.size() - 2], (Report{1, 1}));
    EXPECT_EQ(got.back(), (Report{2, -1}));
}

// The process-wide controller, with a short poll; it notes that it was freed.
struct QuickUpgrade : Upgrade {
    QuickUpgrade() : Upgrade(Quick(Upgrade::kWaitLimit)) {}
    ~QuickUpgrade() override { freed = true; }
    static inline std::atomic<bool> freed{false};
};
using QuickInstance = TransferInstance<QuickUpgrade>;

// An application that shuts the kit down from its callback: the controller is released on
// its own worker, which frees it as it ends (ASan sees any use after that).
TEST_F(UpgradeTest, ReleasedFromItsOwnCallbackFreesItselfAtItsEnd) {
    ScriptedCamera camera(Firmware({{0, 1}, {3, 30}, {6, 1}}));
    QuickUpgrade::freed = false;
    QuickUpgrade* upgrade = QuickInstance::Get();
    std::atomic<bool> released{false};
    reports.onReport = [&](Report r) {
        if (r != Report{8, 1}) return;
        QuickInstance::Release();
        released = true;
    };
    Start(*upgrade, camera.protocol.get());
    ASSERT_TRUE(reports.WaitEnded());
    EXPECT_TRUE(testsupport::Eventually([] { return QuickUpgrade::freed.load(); })) << "freed by its worker";
    EXPECT_TRUE(released);
    EXPECT_EQ(QuickInstance::Existing(), nullptr);
    EXPECT_EQ(reports.Got().back(), (Report{8, 1}));
    EXPECT_EQ(camera.Count(kCmdReboot), 1) << "a transfer whose end is under way is not rebooted again";
}

// The final report of a device that went is made without the controller's locks: the
// application may start the next transfer from it.
TEST_F(UpgradeTest, FinalReportOfADetachedDeviceMayStartTheNextTransfer) {
    auto camera = std::make_unique<ScriptedCamera>(Firmware({{0, 1}, {3, 30}}));
    ScriptedCamera next(Firmware({{0, 1}}));
    Upgrade upgrade(Quick(Upgrade::kWaitLimit));
    reports.onReport = [&](Report r) {
        if (r.second != -1) return;
        upgrade.SetImgPath("fw/b.img", next.protocol.get());
        upgrade.SetStatus(1);
    };
    Start(upgrade, camera->protocol.get());
    ASSERT_TRUE(reports.WaitReport({5, 30}));
    auto detached = CloseElsewhere(upgrade, camera->protocol.get());
    ASSERT_TRUE(Returned(detached)) << "deadlock";
    EXPECT_EQ(upgrade.Status(), 1) << "the next transfer waits for its camera";
    reports.onReport = nullptr;
    upgrade.Shutdown();
}

// A new image handed over while the last transfer still polls its camera: that worker ends
// first and never talks to either camera again.
TEST_F(UpgradeTest, HandOverEndsTheLastWorkerFirst) {
    ScriptedCamera old(Firmware({{0, 1}, {3, 10}}));
    ScriptedCamera next(Firmware({{0, 1}}));
    Upgrade upgrade(Quick(Upgrade::kWaitLimit));
    Start(upgrade, old.protocol.get());
    ASSERT_TRUE(reports.WaitReport({5, 10}));
    upgrade.SetImgPath("fw/b.img", next.protocol.get());
    EXPECT_FALSE(upgrade.IsRunning());
    const size_t oldCommands = old.io().SentCommands().size();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(old.io().SentCommands().size(), oldCommands);
    EXPECT_TRUE(next.io().SentCommands().empty());
    upgrade.Shutdown();
}

// A device closed on another thread just as the last report is made: the transfer has
// ended, so nothing more is reported.
TEST_F(UpgradeTest, DeviceClosedRightAfterSuccessAddsNoReport) {
    ScriptedCamera camera(Firmware({{0, 1}, {6, 1}}));
    Upgrade upgrade(Quick(Upgrade::kWaitLimit));
    std::future<void> closing;
    reports.onReport = [&](Report r) {
        if (r != Report{8, 1}) return;
        closing = CloseElsewhere(upgrade, camera.protocol.get());
        // The close asks the worker to stop before the worker is done with its last pass.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    };
    Start(upgrade, camera.protocol.get());
    ASSERT_TRUE(reports.WaitEnded());
    ASSERT_TRUE(Returned(closing));
    EXPECT_EQ(reports.Got().back(), (Report{8, 1}));
    EXPECT_EQ(reports.EndedCount(), 1);
}

// A callback that shuts the controller down while another thread closes the device and
// waits for the worker: neither waits for the other.
TEST_F(UpgradeTest, ShutdownFromTheCallbackWhileTheDeviceCloses) {
    ScriptedCamera camera(Firmware({{0, 1}, {3, 30}}));
    Upgrade upgrade(Quick(Upgrade::kWaitLimit));
    std::future<void> closing;
    reports.onReport = [&](Report r) {
        if (r != Report{5, 30}) return;
        closing = CloseElsewhere(upgrade, camera.protocol.get());
        std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the close now waits for us
        upgrade.Shutdown();
    };
    Start(upgrade, camera.protocol.get());
    ASSERT_TRUE(reports.WaitEnded());
    ASSERT_TRUE(Returned(closing)) << "deadlock";
    EXPECT_EQ(reports.Got().back(), (Report{5, 30})) << "nothing reported after the shut-down";
    EXPECT_EQ(camera.Count(kCmdReboot), 1);
    EXPECT_EQ(reports.EndedCount(), 1);
}

}  // namespace
