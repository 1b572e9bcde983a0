#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <thread>

#include "DeviceFixture.h"
#include "ThreadCount.h"

namespace {

using devicetest::CameraScript;
using devicetest::DeviceFixture;
using devicetest::FakeToF;

class LifecycleTest : public DeviceFixture {
protected:
    size_t CalibrationReads() { return Sent(CameraScript::kCalibrationCmd, CMDTYPE_GET).size(); }
};

TEST_F(LifecycleTest, OpenConnectsStartsAndDoesTheFirstStartWork) {
    ASSERT_EQ(device->Open(), 0);
    EXPECT_EQ(io->opens, 1);
    EXPECT_TRUE(camera.streamOn);
    EXPECT_TRUE(tof->Called("SetOpenState(1)"));
    EXPECT_TRUE(tof->Called("SetStream(1)"));
    for (int i = 0; i < 9; ++i) EXPECT_EQ(tof->givenIntrinsic[i], camera.intrinsic[i]);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(tof->givenDistortion[i], camera.distortion[i]);
    EXPECT_EQ(preProcess->calibrationCalls, 1);
    EXPECT_EQ(CalibrationReads(), 4u);  // intrinsics and distortion, two parts each
    EXPECT_EQ(Sent(CameraScript::kWorkModeCmd, CMDTYPE_GET).size(), 1u);
}

TEST_F(LifecycleTest, SecondOpenAndSecondStartChangeNothing) {
    ASSERT_EQ(device->Open(), 0);
    io->ClearSent();
    EXPECT_EQ(device->Open(), -103);
    EXPECT_TRUE(log.Contains("<SN01> has opened"));
    EXPECT_EQ(device->StartStream(), 0);
    EXPECT_TRUE(log.Contains("<SN01> The device image stream has been started. Do not start it again."));
    EXPECT_TRUE(io->SentCommands().empty());
    EXPECT_EQ(io->opens, 1);
}

TEST_F(LifecycleTest, CloseSendsNoStreamOffAndReopenRedoesTheFirstStart) {
    ASSERT_EQ(device->Open(), 0);
    tof->ClearCalls();
    io->ClearSent();
    EXPECT_EQ(device->Close(), 0);
    EXPECT_TRUE(io->SentCommands().empty());
    EXPECT_EQ(io->shutdowns, 1);
    EXPECT_EQ(io->closes, 1);
    EXPECT_TRUE(tof->Called("SetStream(0)"));
    EXPECT_TRUE(tof->Called("SetOpenState(0)"));
    EXPECT_EQ(device->GetFrameReady(10, nullptr), -108);

    EXPECT_EQ(device->Close(), 0);
    EXPECT_EQ(io->closes, 1);

    ASSERT_EQ(device->Open(), 0);
    EXPECT_EQ(CalibrationReads(), 4u);
    EXPECT_EQ(preProcess->calibrationCalls, 2);
    EXPECT_EQ(Sent(CameraScript::kWorkModeCmd, CMDTYPE_GET).size(), 1u);
}

TEST_F(LifecycleTest, FailedOpenClosesWhatItOpenedAndTouchesNothingElse) {
    io->openResult = -13;
    EXPECT_EQ(device->Open(), -13);
    EXPECT_TRUE(log.Contains("<SN01> OpenDevice:-13 "));
    EXPECT_EQ(io->closes, 1);
    EXPECT_FALSE(tof->Called("SetOpenState(1)"));
    EXPECT_TRUE(io->SentCommands().empty());
    EXPECT_EQ(device->GetFrameReady(10, nullptr), -108);
    // Still closed: a later open tries again.
    io->openResult = 0;
    EXPECT_EQ(device->Open(), 0);
}

TEST_F(LifecycleTest, StopTellsTheCameraOnce) {
    ASSERT_EQ(device->Open(), 0);
    io->ClearSent();
    EXPECT_EQ(device->StopStream(), 0);
    EXPECT_EQ(Sent(CameraScript::kStreamCmd, CMDTYPE_SET), (std::vector<uint8_t>{0}));
    EXPECT_FALSE(camera.streamOn);
    EXPECT_TRUE(tof->Called("SetStream(0)"));
    FrameReady ready = 0;
    Frame frame{};
    EXPECT_EQ(device->GetFrameReady(10, &ready), -108);
    EXPECT_EQ(device->GetFrame(FRAME_DEPTH, &frame), -108);

    io->ClearSent();
    EXPECT_EQ(device->StopStream(), 0);
    EXPECT_TRUE(log.Contains("<SN01> The device image stream has been stopped. Do not stop it again."));
    EXPECT_TRUE(io->SentCommands().empty());
}

TEST_F(LifecycleTest, StopReturnsThePluginsResult) {
    ASSERT_EQ(device->Open(), 0);
    tof->streamResult = -1;
    EXPECT_EQ(device->StopStream(), -1);
    EXPECT_FALSE(camera.streamOn);  // the camera is told all the same
    EXPECT_EQ(device->GetFrameReady(10, nullptr), -108);
}

TEST_F(LifecycleTest, FailedStartsLeaveTheStreamOff) {
    camera.confirmStream = false;
    EXPECT_EQ(device->Open(), 0);  // the open reports the connection only
    EXPECT_TRUE(log.Contains("<SN01> ret:-105 is failed."));
    EXPECT_EQ(device->GetFrameReady(10, nullptr), -108);
    EXPECT_EQ(CalibrationReads(), 0u);

    camera.confirmStream = true;
    tof->streamResult = -1;
    EXPECT_EQ(device->StartStream(), -1);
    EXPECT_EQ(device->GetFrameReady(10, nullptr), -108);

    tof->streamResult = 0;
    EXPECT_EQ(device->StartStream(), 0);
    EXPECT_EQ(CalibrationReads(), 4u);
}

TEST_F(LifecycleTest, OpenOfACameraThatAnswersNothingFailsAndLeavesItClosed) {
    using Sent = testsupport::ScriptedIO::Sent;
    using Reply = testsupport::ScriptedIO::Reply;
    // Sets go out; no get is ever answered.
    io->SetResponder([](const Sent& s) {
        return Reply{s.type == CMDTYPE_SET && (s.cmd & 0x80) == 0 ? 0 : -104, std::nullopt};
    });
    EXPECT_EQ(device->Open(), -104);
    EXPECT_TRUE(log.Contains("<SN01> the camera answered none of the open's commands"));
    EXPECT_EQ(io->closes, 1);
    EXPECT_TRUE(tof->Called("SetOpenState(0)"));
    EXPECT_EQ(CalibrationReads(), 0u);
    EXPECT_EQ(device->GetFrameReady(10, nullptr), -108);

    // Answering again, the camera opens as usual.
    io->SetResponder(camera.Responder());
    EXPECT_EQ(device->Open(), 0);
    EXPECT_EQ(CalibrationReads(), 4u);
}

TEST_F(LifecycleTest, RemovedCameraGivesMinusOneUntilTheNextOpen) {
    ASSERT_EQ(device->Open(), 0);
    EXPECT_EQ(device->OnMessage(MessageRemoved), 0);
    FrameReady ready = 0;
    Frame frame{};
    EXPECT_EQ(device->GetFrameReady(10, &ready), -1);
    EXPECT_EQ(device->GetFrame(FRAME_DEPTH, &frame), -1);
    EXPECT_EQ(device->StopStream(), 0);
    EXPECT_EQ(device->GetFrameReady(10, &ready), -1) << "gone wins over a stopped stream";
    EXPECT_EQ(device->GetFrame(FRAME_DEPTH, &frame), -1);
    io->ClearSent();
    EXPECT_EQ(device->StartStream(), -1);
    EXPECT_TRUE(io->SentCommands().empty());
    EXPECT_EQ(device->Close(), 0);
    EXPECT_EQ(device->GetFrameReady(10, &ready), -1);

    ASSERT_EQ(device->Open(), 0);
    EXPECT_EQ(device->GetFrameReady(10, &ready), -11) << "the camera is back";
}

TEST_F(LifecycleTest, HeartbeatFailsOnceTheDataConnectionIsLost) {
    ASSERT_EQ(device->Open(), 0);
    io->ClearSent();
    EXPECT_EQ(device->HeartbeatCheck(), 0);
    EXPECT_EQ(Sent(0x9C, CMDTYPE_GET).size(), 1u);
    io->ClearSent();
    io->dataLinkLost = true;
    EXPECT_EQ(device->HeartbeatCheck(), -104);
    EXPECT_TRUE(io->SentCommands().empty()) << "decided without asking the camera";
    EXPECT_TRUE(log.Contains("<SN01> the data connection is lost"));
}

TEST_F(LifecycleTest, FramesFlowWhenThePluginHasNoIntrinsics) {
    tof->intrinsicResult = -1;
    ASSERT_EQ(device->Open(), 0);
    tof->Produce(FRAME_DEPTH, 1, HAS_DEPTH_FRAME | HAS_IR_FRAME, 77);
    tof->Produce(FRAME_IR, 1, HAS_DEPTH_FRAME | HAS_IR_FRAME, 77);
    FrameReady ready = 0;
    ASSERT_EQ(device->GetFrameReady(2000, &ready), 0);
    EXPECT_EQ(ready, FRAME_READY_DEPTH | FRAME_READY_IR);
    EXPECT_EQ(tof->Outstanding(), 0);  // the group was copied and given back

    Frame frame{};
    ASSERT_EQ(device->GetFrame(FRAME_DEPTH, &frame), 0);
    EXPECT_EQ(devicetest::Unpacked(frame.frameIndex), 1u);
    EXPECT_EQ(devicetest::Unpacked(frame.timestamp), 77u);
    EXPECT_EQ(devicetest::Unpacked(frame.width), FakeToF::kWidth);
    EXPECT_EQ(frame.data[0], 1);
    EXPECT_EQ(device->GetFrame(FRAME_DEPTH, &frame), -4);
    EXPECT_EQ(device->GetFrame(FRAME_IR, &frame), 0);
    EXPECT_EQ(device->GetFrame(FRAME_CONFIDENCE, &frame), -4);
}

TEST_F(LifecycleTest, NoThreadIsLeftAfterClose) {
    // A first thread makes a sanitizer start its own helper thread before we count.
    std::thread([] {}).join();
    const int before = testsupport::ThreadCount();
    ASSERT_EQ(device->Open(), 0);
    EXPECT_GT(testsupport::ThreadCount(), before);
    ASSERT_EQ(device->Close(), 0);
    EXPECT_LE(testsupport::ThreadCountSettledAt(before), before);
}

struct WakeCase {
    const char* name;
    std::function<void(BaseDevice&)> action;
    int result;
};

TEST_F(LifecycleTest, StopCloseAndLeaveEndAWaitingFrameRequestAtOnce) {
    const WakeCase cases[] = {
        {"stop", [](BaseDevice& d) { d.StopStream(); }, -108},
        {"close", [](BaseDevice& d) { d.Close(); }, -108},
        {"leave", [](BaseDevice& d) { d.OnMessage(MessageRemoved); }, -1},
    };
    for (const WakeCase& c : cases) {
        SCOPED_TRACE(c.name);
        device->Close();
        ASSERT_EQ(device->Open(), 0);
        auto waiting = std::async(std::launch::async, [&] {
            FrameReady ready = 0;
            return device->GetFrameReady(5000, &ready);
        });
        // Whether the request waits already or comes later, it must not wait out its time.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        c.action(*device);
        ASSERT_EQ(waiting.wait_for(std::chrono::seconds(2)), std::future_status::ready);
        EXPECT_EQ(waiting.get(), c.result);
    }
}

}  // namespace
