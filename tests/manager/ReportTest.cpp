// Hot-plug reports and the manager's release.
#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "ManagerFixture.h"

namespace managertest {
namespace {

using Report = ManagerFixture;

TEST_F(Report, IsLoggedWithTheCamerasTag) {
    Appear("SN1", "127.0.0.2");
    ASSERT_TRUE(reports.WaitFor(1));
    Shutdown();
    EXPECT_TRUE(log.Contains("<SN1> 0 "));
}

struct SlowCallback {
    std::atomic<bool> returned{false};
    static void Call(const QlDeviceInfo*, int, void* self) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        static_cast<SlowCallback*>(self)->returned = true;
    }
};

TEST_F(Report, ReleaseWaitsForReportsInFlight) {
    SlowCallback callback;
    manager->SetHotPlugStatusCallback(&SlowCallback::Call, &callback);
    Appear("SN1", "127.0.0.2");
    Shutdown();
    EXPECT_TRUE(callback.returned);
}

// The application may shut the kit down from its callback: the release then waits for the
// other reports only.
struct ReleasingCallback {
    std::unique_ptr<DeviceManager> manager;
    std::promise<void> released;
    static void Call(const QlDeviceInfo*, int, void* self) {
        auto* me = static_cast<ReleasingCallback*>(self);
        me->manager.reset();
        me->released.set_value();
    }
};

TEST_F(Report, ReleaseFromInsideACallbackDoesNotWaitForItself) {
    ReleasingCallback callback;
    manager->SetHotPlugStatusCallback(&ReleasingCallback::Call, &callback);
    Hear("SN1", "127.0.0.2");
    callback.manager = std::move(manager);
    callback.manager->RunOnce();
    EXPECT_EQ(callback.released.get_future().wait_for(std::chrono::seconds(5)), std::future_status::ready);
}

}  // namespace
}  // namespace managertest
