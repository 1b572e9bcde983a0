// Opened cameras that stop answering hold up no call about the others: the list calls, a
// close and an open of another camera and the shut-down answer while the manager's
// heartbeats wait for them. Two opens of one camera at once give one device.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "E2eSupport.h"
#include "Eventually.h"

namespace {

using namespace apie2e;
using Clock = std::chrono::steady_clock;

constexpr uint8_t kHeartbeatId = 0x9C;
// Far below the frozen cameras' reply waits (about 2 s), far above what the calls take.
constexpr auto kListBound = 1s;
// Calls that do work of their own are bounded by this beyond what the kit's opens took in the
// same build (sanitizer builds are many times slower): a close, and a shut-down that waits
// for at most the one heartbeat under way before it closes the devices.
constexpr auto kCloseBound = 1s;
constexpr auto kShutdownBound = 3s;

constexpr int kStreaming = 0;  // opened and streaming throughout
constexpr int kSpare = 1;      // opened and closed while the others are frozen
constexpr int kFirstFrozen = 2;
constexpr int kCameras = 6;

std::string CameraIP(int index) { return "127.0.0." + std::to_string(index + 2); }

Clock::duration Took(const std::function<void()>& call) {
    const auto start = Clock::now();
    call();
    return Clock::now() - start;
}

class FrozenCameras : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < kCameras; ++i) {
            camsim::CameraOptions options = ToFOnlyCamera();
            options.ip = CameraIP(i);
            options.serialNumber = "SIM000" + std::to_string(i);
            options.alias = "cam" + std::to_string(i);
            sims.push_back(std::make_unique<camsim::CameraSim>(options));
            ASSERT_TRUE(sims.back()->Start());
        }
        ASSERT_EQ(QL_InitializeWithLogPath(logs.Path().c_str()), 0);
        initialised = true;
        ASSERT_TRUE(testsupport::Eventually(
            [] {
                uint32_t count = 0;
                return QL_GetDeviceCount(&count) == 0 && count == kCameras;
            },
            10s));
        handles.assign(kCameras, nullptr);
        // Side by side: opens of different cameras hold up no one. An open's own work (plug-in
        // set-up, the camera's exchanges) is the yardstick of the open made later beside the
        // frozen cameras.
        std::vector<int> results(kCameras, 0);
        std::vector<Clock::duration> took(kCameras);
        std::vector<std::thread> opens;
        for (int i = 0; i < kCameras; ++i) {
            if (i == kSpare) continue;
            opens.emplace_back(
                [&, i] { took[i] = Took([&] { results[i] = QL_OpenDeviceByIP(CameraIP(i).c_str(), &handles[i]); }); });
        }
        for (std::thread& open : opens) open.join();
        for (int i = 0; i < kCameras; ++i) ASSERT_EQ(results[i], 0) << i;
        slowestOpen = *std::max_element(took.begin(), took.end());
    }
    void TearDown() override {
        if (initialised) {
            for (QlDeviceHandle& handle : handles) {
                if (handle) QL_CloseDevice(&handle);
            }
            QL_Shutdown();
        }
        for (auto& sim : sims) sim->Stop();
    }

    // Silences the frozen cameras and returns once the manager waits for one of them.
    void Freeze() {
        for (int i = kFirstFrozen; i < kCameras; ++i) {
            sims[i]->StallHeartbeat(true);
            sims[i]->ClearCommandLog();
        }
        ASSERT_TRUE(testsupport::Eventually(
            [&] {
                return std::any_of(sims.begin() + kFirstFrozen, sims.end(), [](const auto& sim) {
                    const auto log = sim->CommandLog();
                    return std::any_of(log.begin(), log.end(),
                                       [](const camsim::LoggedCommand& c) { return c.id == kHeartbeatId; });
                });
            },
            3s));
    }

    testsupport::TempDir logs;
    std::vector<std::unique_ptr<camsim::CameraSim>> sims;
    std::vector<QlDeviceHandle> handles;
    Clock::duration slowestOpen{};
    bool initialised = false;
};

TEST_F(FrozenCameras, ListOpenAndCloseOfAnotherCameraDoNotWaitForThem) {
    Freeze();
    uint32_t count = 0;
    EXPECT_LT(Took([&] { EXPECT_EQ(QL_GetDeviceCount(&count), 0); }), kListBound);
    EXPECT_EQ(count, uint32_t(kCameras));
    QlDeviceInfo list[kCameras] = {};
    EXPECT_LT(Took([&] { EXPECT_EQ(QL_GetDeviceInfoList(kCameras, list), 0); }), kListBound);
    QlDeviceInfo info{};
    EXPECT_LT(Took([&] { EXPECT_EQ(QL_GetDeviceInfo(kSpare, &info), 0); }), kListBound);

    const Clock::duration open =
        Took([&] { EXPECT_EQ(QL_OpenDeviceByIP(CameraIP(kSpare).c_str(), &handles[kSpare]), 0); });
    EXPECT_LT(open, 2 * slowestOpen + 1s);
    EXPECT_TRUE(FramesCome(handles[kSpare]));
    EXPECT_LT(Took([&] { EXPECT_EQ(QL_CloseDevice(&handles[kSpare]), 0); }), kCloseBound + slowestOpen);
    // The healthy camera streams on beside the frozen ones.
    EXPECT_TRUE(FramesCome(handles[kStreaming]));
}

TEST_F(FrozenCameras, ShutdownWaitsForOneHeartbeatAtMost) {
    Freeze();
    for (QlDeviceHandle& handle : handles) handle = nullptr;  // left open for the shut-down
    initialised = false;
    EXPECT_LT(Took([] { EXPECT_EQ(QL_Shutdown(), 0); }), kShutdownBound + 2 * slowestOpen);
}

// Losses as the hot-plug callback reports them, by serial number.
class Losses {
public:
    static void Callback(const QlDeviceInfo* info, int message, void* self) {
        auto* losses = static_cast<Losses*>(self);
        std::lock_guard<std::mutex> lock(losses->m_lock);
        if (message == 1) losses->m_lost.insert(info->serialNumber);
    }
    size_t Count() {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_lost.size();
    }

private:
    std::mutex m_lock;
    std::set<std::string> m_lost;
};

// Their heartbeats are out at once: all four are reported lost within about one reply wait
// and a pass, not one after another (about 2 s each).
TEST_F(FrozenCameras, AreAllReportedLostTogether) {
    constexpr auto kAllLostBound = 5s;
    Losses losses;
    ASSERT_EQ(QL_SetHotPlugStatusCallback(&Losses::Callback, &losses), 0);
    const auto frozen = Clock::now();
    Freeze();
    ASSERT_TRUE(testsupport::Eventually([&] { return losses.Count() == size_t(kCameras - kFirstFrozen); }, 15s));
    EXPECT_LT(Clock::now() - frozen, kAllLostBound);
    EXPECT_TRUE(FramesCome(handles[kStreaming])) << "the healthy camera streams on";
    ASSERT_EQ(QL_SetHotPlugStatusCallback(nullptr, nullptr), 0);
}

class TwoOpens : public KitWithCamera {};

TEST_F(TwoOpens, OfOneCameraAtOnceGiveOneDevice) {
    StartKit(ToFOnlyCamera());
    QlDeviceHandle first = nullptr;
    QlDeviceHandle second = nullptr;
    std::atomic<int> ready{0};
    const auto open = [&ready](QlDeviceHandle* out) {
        ++ready;
        while (ready < 2) std::this_thread::yield();
        return QL_OpenDeviceByIP("127.0.0.2", out);
    };
    int firstStatus = -99;
    std::thread other([&] { firstStatus = open(&first); });
    const int secondStatus = open(&second);
    other.join();
    ASSERT_EQ(firstStatus, 0);
    ASSERT_EQ(secondStatus, 0);
    ASSERT_NE(first, second);
    EXPECT_TRUE(FramesCome(second));
    // One device behind both handles: closing it through one leaves the other stale.
    EXPECT_EQ(QL_CloseDevice(&first), 0);
    EXPECT_EQ(QL_StartStream(second), -15);
    EXPECT_EQ(QL_CloseDevice(&second), 0);
}

}  // namespace
