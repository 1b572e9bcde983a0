// Each camera fault as the application sees it: the status it gets, how soon, and that frames
// flow again once the fault ends (after a close and reopen where the camera was reported lost,
// or after a reopen that leaves the lost camera's handle open).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <iterator>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "E2eSupport.h"

namespace apie2e {
namespace {

using Clock = std::chrono::steady_clock;

// Generous bounds that catch a hang; the goals (1.5 s to the report, 1 s to the first frame
// after a reopen) are printed beside the measured figures.
constexpr auto kLossBound = 6s;
constexpr auto kFrameBound = 5s;
// The longest silence inside a data frame that the kit waits out (docs/api.md, timings).
constexpr auto kInFrameSilence = 3s;

struct LossReports {
    std::mutex mutex;
    std::vector<Clock::time_point> at;
    int infoStatus = -1;
};

void OnHotPlug(const QlDeviceInfo* info, int status, void* user) {
    auto* reports = static_cast<LossReports*>(user);
    if (status != 1) return;
    std::lock_guard<std::mutex> lock(reports->mutex);
    reports->at.push_back(Clock::now());
    if (info) reports->infoStatus = info->status;
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

class Faults : public KitWithCamera {
protected:
    void OpenAndStream(const camsim::CameraOptions& options) {
        StartKit(options);
        ASSERT_EQ(QL_SetHotPlugStatusCallback(OnHotPlug, &reports), 0);
        ASSERT_EQ(QL_OpenDeviceByIP(options.ip.c_str(), &handle), 0);
        ASSERT_TRUE(FrameWithin(kFrameBound)) << "no frame before the fault";
    }

    // True when a frame group arrives within `bound`.
    bool FrameWithin(Clock::duration bound) { return FrameWithin(handle, bound); }
    static bool FrameWithin(QlDeviceHandle of, Clock::duration bound) {
        const auto end = Clock::now() + bound;
        while (Clock::now() < end) {
            FrameReady ready = 0;
            if (QL_GetFrameReady(of, 200, &ready) == 0 && (ready & 0x01)) return true;
        }
        return false;
    }

    // The time of the first loss report, polled up to `bound` after `since`.
    bool LossReportedWithin(Clock::time_point since, Clock::duration bound, Clock::duration* took) {
        while (Clock::now() < since + bound) {
            {
                std::lock_guard<std::mutex> lock(reports.mutex);
                if (!reports.at.empty()) {
                    *took = reports.at.front() - since;
                    return true;
                }
            }
            std::this_thread::sleep_for(10ms);
        }
        return false;
    }

    struct Flow {
        int groups = 0;
        Clock::duration longestGap{};  // from the start of the watch, between groups, and to its end
    };
    Flow WatchFrames(Clock::duration window) {
        Flow flow;
        const auto start = Clock::now();
        auto last = start;
        while (Clock::now() < start + window) {
            FrameReady ready = 0;
            if (QL_GetFrameReady(handle, 100, &ready) != 0 || !(ready & 0x01)) continue;
            ++flow.groups;
            flow.longestGap = std::max(flow.longestGap, Clock::now() - last);
            last = Clock::now();
        }
        if (flow.groups > 0) flow.longestGap = std::max(flow.longestGap, Clock::now() - last);
        return flow;
    }

    int LossCount() {
        std::lock_guard<std::mutex> lock(reports.mutex);
        return static_cast<int>(reports.at.size());
    }

    // What a lost camera's handle gives, streaming or stopped, until it is closed.
    void ExpectGoneCalls() {
        EXPECT_EQ(FrameCalls(handle), kGone);
        QL_StopStream(handle);
        EXPECT_EQ(FrameCalls(handle), kGone) << "gone wins over a stopped stream";
        EXPECT_EQ(QL_StartStream(handle), -1);
    }

    // Opens the camera that is listed again; the simulator may still be reopening its ports.
    static int OpenAgain(const camsim::CameraOptions& options, QlDeviceHandle* out) {
        int ret = -1;
        for (int i = 0; i < 30 && (ret = QL_OpenDeviceByIP(options.ip.c_str(), out)) != 0; ++i) {
            std::this_thread::sleep_for(100ms);
        }
        return ret;
    }

    // Closes the lost camera's handle, waits until the camera is listed again and reopens it;
    // the open's result while the fault lasts is `openWhileFaulty` (0: not tried).
    void ReopenAfterLoss(const camsim::CameraOptions& options, int openWhileFaulty,
                         const std::function<void()>& endFault) {
        ASSERT_EQ(QL_CloseDevice(&handle), 0);
        if (openWhileFaulty != 0) {
            ASSERT_TRUE(WaitForListed(options.serialNumber, QlDeviceAvailable));
            QlDeviceHandle refused = nullptr;
            EXPECT_EQ(QL_OpenDeviceByIP(options.ip.c_str(), &refused), openWhileFaulty);
            EXPECT_EQ(refused, nullptr);
        }
        endFault();
        ASSERT_TRUE(WaitForListed(options.serialNumber, QlDeviceAvailable)) << "camera not listed again";
        ASSERT_EQ(OpenAgain(options, &handle), 0);
        const auto opened = Clock::now();
        ASSERT_TRUE(FrameWithin(kFrameBound)) << "no frames after the reopen";
        std::printf("reopen to first frame: %.3f s (goal 1 s)\n", Seconds(Clock::now() - opened));
    }

    LossReports reports;
};

// Faults after which the camera is handled as lost.
struct LossRow {
    const char* name;
    std::function<void(std::unique_ptr<camsim::CameraSim>&)> fault;
    std::function<void(std::unique_ptr<camsim::CameraSim>&, const camsim::CameraOptions&)> endFault;
    int openWhileFaulty;  // what a reopen gives while the fault lasts; 0 not tried
    bool streamStoppedFirst;
    bool colour = false;  // a ToF-and-colour camera in place of a ToF-only one
    // How long after the fault the kit can first know of it (a silence must outlast its bound).
    Clock::duration knowable{};
};

class LostCamera : public Faults, public ::testing::WithParamInterface<LossRow> {};

TEST_P(LostCamera, IsReportedOnceFrameCallsGiveMinusOneAndAReopenRestoresFrames) {
    const LossRow& row = GetParam();
    const camsim::CameraOptions options = row.colour ? ColourCamera() : ToFOnlyCamera();
    OpenAndStream(options);
    if (row.streamStoppedFirst) {
        ASSERT_EQ(QL_StopStream(handle), 0);
        FrameReady ready = 0;
        EXPECT_EQ(QL_GetFrameReady(handle, 100, &ready), -108) << "stopped, not yet gone";
    }

    const auto faulted = Clock::now();
    row.fault(sim);
    Clock::duration took{};
    ASSERT_TRUE(LossReportedWithin(faulted, row.knowable + kLossBound, &took)) << "no loss report";
    std::printf("%s: fault to loss report: %.3f s (%.3f s after the kit could know it)\n", row.name, Seconds(took),
                Seconds(took - row.knowable));
    {
        std::lock_guard<std::mutex> lock(reports.mutex);
        EXPECT_EQ(reports.infoStatus, QlDeviceGone);
    }
    ExpectGoneCalls();
    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(LossCount(), 1) << "reported once";

    ReopenAfterLoss(options, row.openWhileFaulty, [&] { row.endFault(sim, options); });
}

void Restart(std::unique_ptr<camsim::CameraSim>& sim, const camsim::CameraOptions& options) {
    sim.reset();
    sim = std::make_unique<camsim::CameraSim>(options);
    ASSERT_TRUE(sim->Start());
}

const LossRow kLossRows[] = {
    {"DataPortClosed", [](auto& sim) { sim->CloseDataConnection(); }, [](auto&, const auto&) {}, 0, false},
    {"DataPortClosedWhileStopped", [](auto& sim) { sim->CloseDataConnection(); }, [](auto&, const auto&) {}, 0, true},
    {"DataPortRefused",
     [](auto& sim) {
         sim->RefuseDataConnections(true);
         sim->CloseDataConnection();
     },
     [](auto& sim, const auto&) { sim->RefuseDataConnections(false); }, -13, false},
    {"DataSocketReset", [](auto& sim) { sim->ResetDataConnection(); }, [](auto&, const auto&) {}, 0, false},
    {"DataSocketResetColourCamera", [](auto& sim) { sim->ResetDataConnection(); }, [](auto&, const auto&) {}, 0, false,
     true},
    {"CameraKilled", [](auto& sim) { sim->Stop(); }, Restart, 0, false},
    {"BothPortsRefused",
     [](auto& sim) {
         sim->RefuseReconnects(true);
         sim->CloseConnections();
     },
     [](auto& sim, const auto&) { sim->RefuseReconnects(false); }, -255, false},
    {"HeartbeatStalled", [](auto& sim) { sim->StallHeartbeat(true); },
     [](auto& sim, const auto&) { sim->StallHeartbeat(false); }, 0, false},
    // Streams that cannot be kept in step: the rest of the bytes would be read out of place.
    {"PauseInPayloadBeyondTheBound", [](auto& sim) { sim->PauseNextDataFrame(8s, 8 + 1000); },
     [](auto&, const auto&) {}, 0, false, false, kInFrameSilence},
    {"UnframedBytes", [](auto& sim) { sim->SendUnframedData(1000); }, [](auto&, const auto&) {}, 0, false},
    {"HeadLengthBeyondTheDrainLimit", [](auto& sim) { sim->SendLoneDataHead(3, 0xF0000000u); },
     [](auto&, const auto&) {}, 0, false},
    {"HeadTypeAbove0xFF", [](auto& sim) { sim->SendLoneDataHead(0x1234, 64); }, [](auto&, const auto&) {}, 0, false},
    {"HeartbeatReplyBeyondTheDrainLimit", [](auto& sim) { sim->OversizeNextReply(0x9C, 2u * 1024 * 1024); },
     [](auto&, const auto&) {}, 0, false},
};

INSTANTIATE_TEST_SUITE_P(Rows, LostCamera, ::testing::ValuesIn(kLossRows),
                         [](const auto& info) { return std::string(info.param.name); });

const LossRow* FindLossRow(const std::string& name) {
    const auto* found =
        std::find_if(std::begin(kLossRows), std::end(kLossRows), [&](const LossRow& row) { return name == row.name; });
    return found == std::end(kLossRows) ? nullptr : found;
}

// A lost camera opened again while its old handle is still open.
struct KeptDeviceRow {
    const char* name;
    const char* loss;  // the name of a row of kLossRows
    bool oldHandleClosedFirst;
};

void PrintTo(const KeptDeviceRow& row, std::ostream* out) { *out << row.name; }

class LostCameraOpenedAgain : public Faults, public ::testing::WithParamInterface<KeptDeviceRow> {};

TEST_P(LostCameraOpenedAgain, ReopensTheKeptDeviceForTheOldHandleTooAndEitherCloseClosesIt) {
    const LossRow* loss = FindLossRow(GetParam().loss);
    ASSERT_NE(loss, nullptr) << GetParam().loss;
    const camsim::CameraOptions options = ToFOnlyCamera();
    OpenAndStream(options);
    const auto faulted = Clock::now();
    loss->fault(sim);
    Clock::duration took{};
    ASSERT_TRUE(LossReportedWithin(faulted, loss->knowable + kLossBound, &took)) << "no loss report";
    EXPECT_EQ(FrameCalls(handle), kGone);
    loss->endFault(sim, options);
    ASSERT_TRUE(WaitForListed(options.serialNumber, QlDeviceAvailable)) << "camera not listed again";
    EXPECT_EQ(FrameCalls(handle), kGone) << "listed again is not opened again";

    QlDeviceHandle again = nullptr;
    ASSERT_EQ(OpenAgain(options, &again), 0);
    ASSERT_NE(again, nullptr);
    ASSERT_NE(again, handle);
    ASSERT_TRUE(FrameWithin(handle, kFrameBound)) << "the old handle gives frames again";
    QlFrame depth{};
    EXPECT_EQ(QL_GetFrame(handle, FRAME_DEPTH, &depth), 0);
    EXPECT_EQ(Val(depth.width), kDepthWidth);
    EXPECT_NE(Val(depth.pFrameData), nullptr);
    EXPECT_TRUE(FrameWithin(again, kFrameBound)) << "the new handle gives frames";

    QlDeviceHandle& closed = GetParam().oldHandleClosedFirst ? handle : again;
    QlDeviceHandle& other = GetParam().oldHandleClosedFirst ? again : handle;
    ASSERT_EQ(QL_CloseDevice(&closed), 0);
    EXPECT_EQ(FrameCalls(other), kClosed);
    EXPECT_EQ(QL_StartStream(other), -15);
    EXPECT_EQ(QL_CloseDevice(&other), 0);
    EXPECT_EQ(other, nullptr);
    EXPECT_TRUE(WaitForListed(options.serialNumber, QlDeviceAvailable)) << "closed, no longer listed as opened";
}

const KeptDeviceRow kKeptDeviceRows[] = {
    {"HeartbeatStalledOldHandleClosed", "HeartbeatStalled", true},
    {"HeartbeatStalledNewHandleClosed", "HeartbeatStalled", false},
    {"CameraKilledOldHandleClosed", "CameraKilled", true},
    {"CameraKilledNewHandleClosed", "CameraKilled", false},
};

INSTANTIATE_TEST_SUITE_P(Rows, LostCameraOpenedAgain, ::testing::ValuesIn(kKeptDeviceRows),
                         [](const auto& info) { return std::string(info.param.name); });

// Faults that the camera survives: the application's calls go on, no loss is reported.
struct SurvivedRow {
    const char* name;
    std::function<void(camsim::CameraSim&)> fault;
    std::function<void(camsim::CameraSim&)> endFault;
    Clock::duration watch = 3s;  // how long the flow of frames is watched after the fault
    Clock::duration frameBound = kFrameBound;
};

class SurvivedFault : public Faults, public ::testing::WithParamInterface<SurvivedRow> {};

TEST_P(SurvivedFault, FramesFlowAndNoLossIsReported) {
    const SurvivedRow& row = GetParam();
    OpenAndStream(ToFOnlyCamera());
    row.fault(*sim);
    int32_t fps = -7;
    EXPECT_EQ(QL_GetFrameRate(handle, &fps), 0);
    EXPECT_EQ(fps, 30);
    const Flow flow = WatchFrames(row.watch);
    const auto watched = Clock::now();
    EXPECT_TRUE(FrameWithin(row.frameBound)) << "frames stopped during the fault";
    std::printf("%s: %d groups in %.1f s after the fault, longest gap %.3f s; then a group within %.3f s\n", row.name,
                flow.groups, Seconds(row.watch), Seconds(flow.longestGap), Seconds(Clock::now() - watched));
    std::this_thread::sleep_for(2500ms);  // two heartbeat passes
    EXPECT_EQ(LossCount(), 0);
    row.endFault(*sim);
    // A frame that a slow camera has begun still comes at its pace.
    EXPECT_TRUE(FrameWithin(row.frameBound)) << "frames stopped after the fault";
}

const SurvivedRow kSurvivedRows[] = {
    {"CommandRepliesLate", [](auto& sim) { sim.SetReplyDelay(300ms); }, [](auto& sim) { sim.SetReplyDelay(0ms); }},
    {"ForeignDataFrames", [](auto& sim) { sim.InjectDataFault(camsim::DataFault::ForeignType, 10); }, [](auto&) {}},
    {"DataTrickles", [](auto& sim) { sim.SetSlowSending(1ms); }, [](auto& sim) { sim.SetSlowSending(0ms); }},
    // Pauses inside a frame that outlast the wait between frames but not the bound inside one.
    {"PauseInPayload", [](auto& sim) { sim.PauseNextDataFrame(1500ms, 8 + 1000); }, [](auto&) {}},
    {"PauseInHead", [](auto& sim) { sim.PauseNextDataFrame(1500ms, 4); }, [](auto&) {}},
    // A slow but healthy camera: 4 KiB pieces 100 ms apart.
    {"SlowCamera", [](auto& sim) { sim.SetDataChunkPause(100ms); }, [](auto& sim) { sim.SetDataChunkPause(0ms); }, 0s,
     45s},
};

INSTANTIATE_TEST_SUITE_P(Rows, SurvivedFault, ::testing::ValuesIn(kSurvivedRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Faults, WrongReplyIdsFailTheCommandAndLeaveOutputsAlone) {
    OpenAndStream(ToFOnlyCamera());
    sim->SetWrongReplyId(0x84, true);  // frame rate
    sim->SetWrongReplyId(0x82, true);  // work mode
    int32_t fps = -7;
    int32_t mode = -7;
    EXPECT_EQ(QL_GetFrameRate(handle, &fps), -104);
    EXPECT_EQ(fps, -7);
    EXPECT_EQ(QL_GetWorkMode(handle, &mode), -104);
    EXPECT_EQ(mode, -7);
    // The set goes out, but no read-back is ever confirmed by a foreign reply.
    EXPECT_EQ(QL_SetFrameRate(handle, 12), -104);
    EXPECT_EQ(QL_SetWorkMode(handle, 0), -104) << "even the mode the camera is in";
    EXPECT_TRUE(FrameWithin(kFrameBound)) << "the data stream is not affected";
    EXPECT_EQ(LossCount(), 0);

    sim->SetWrongReplyId(0x84, false);
    sim->SetWrongReplyId(0x82, false);
    EXPECT_EQ(QL_GetFrameRate(handle, &fps), 0);
    EXPECT_EQ(fps, 12) << "the camera took the set all the same";
    EXPECT_EQ(QL_SetWorkMode(handle, 0), 0);
    EXPECT_TRUE(FrameWithin(kFrameBound));
}

// A reply over the reply limit is drained whole: its command fails, the next ones read their own.
TEST_F(Faults, OversizedRepliesFailTheirCommandAndLeaveTheLinkInStep) {
    OpenAndStream(ToFOnlyCamera());
    for (uint32_t length : {5000u, 100000u, 1024u * 1024}) {
        SCOPED_TRACE(length);
        sim->OversizeNextReply(0x82, length);  // work mode
        int32_t mode = -7;
        const auto asked = Clock::now();
        EXPECT_EQ(QL_GetWorkMode(handle, &mode), -104);
        std::printf("reply of %u bytes: the command failed after %.3f s\n", length, Seconds(Clock::now() - asked));
        EXPECT_EQ(mode, -7);
        int32_t fps = -7;
        EXPECT_EQ(QL_GetFrameRate(handle, &fps), 0);
        EXPECT_EQ(fps, 30) << "the next command reads its own reply";
        EXPECT_EQ(QL_GetWorkMode(handle, &mode), 0);
        EXPECT_EQ(mode, 0);
    }
    EXPECT_TRUE(FrameWithin(kFrameBound));
    std::this_thread::sleep_for(2500ms);  // two heartbeat passes
    EXPECT_EQ(LossCount(), 0);
}

TEST_F(Faults, OpenOfASilentCameraFailsAndLeavesItUnopened) {
    const camsim::CameraOptions options = ToFOnlyCamera();
    StartKit(options);
    sim->StallHeartbeat(true);
    const auto start = Clock::now();
    EXPECT_EQ(QL_OpenDeviceByIP(options.ip.c_str(), &handle), -104);
    EXPECT_LT(Clock::now() - start, 10s);
    EXPECT_EQ(handle, nullptr);
    // One record per camera: listed as available is listed as not opened.
    EXPECT_TRUE(WaitForListed(options.serialNumber, QlDeviceAvailable));

    sim->StallHeartbeat(false);
    ASSERT_EQ(QL_OpenDeviceByIP(options.ip.c_str(), &handle), 0);
    const auto opened = Clock::now();
    EXPECT_TRUE(FrameWithin(kFrameBound));
    std::printf("reopen to first frame: %.3f s (goal 1 s)\n", Seconds(Clock::now() - opened));
}

}  // namespace
}  // namespace apie2e
