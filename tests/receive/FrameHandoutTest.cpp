#include <chrono>
#include <cstring>
#include <future>
#include <vector>

#include "ReceiveFixture.h"

namespace receivetest {
namespace {

using std::chrono::milliseconds;

constexpr milliseconds kWait{2000};

// Frame is packed: its fields are compared by value, never bound to a reference.
template <typename T>
T Val(T value) {
    return value;
}

// A plug-in frame with its own pixels, as a decoder would queue it.
struct PlugInFrame {
    PlugInFrame(FrameType type, PixelFormat format, uint32_t bytesPerPixel, uint32_t index, HasFrameType mask,
                uint8_t fill)
        : pixels(kWidth * kHeight * bytesPerPixel, fill) {
        frame = Frame{};
        frame.frameIndex = index;
        frame.frameType = type;
        frame.pixelFormat = format;
        frame.data = pixels.data();
        frame.length = static_cast<uint32_t>(pixels.size());
        frame.capacity = frame.length;
        frame.width = kWidth;
        frame.height = kHeight;
        frame.hasFrameType = mask;
        frame.timestamp = 777;
    }
    static constexpr uint16_t kWidth = 4;
    static constexpr uint16_t kHeight = 2;
    std::vector<uint8_t> pixels;
    Frame frame;
};

class FrameHandoutTest : public ReceiveFixture {
protected:
    void SetUp() override { ASSERT_EQ(path->Init(), 0); }
    void TearDown() override { path->Close(); }

    // Queues a depth and an IR frame of one data frame and announces them; returns once
    // the grouping has taken both.
    void PublishGroup(uint32_t index) {
        const HasFrameType mask = HAS_DEPTH_FRAME | HAS_IR_FRAME;
        frames.emplace_back(std::make_unique<PlugInFrame>(FRAME_DEPTH, PIXEL_FORMAT_DEPTH_MM16, 2, index, mask, 0x11));
        frames.emplace_back(std::make_unique<PlugInFrame>(FRAME_IR, PIXEL_FORMAT_GRAY8, 1, index, mask, 0x22));
        tof.QueueFrame(&frames[frames.size() - 2]->frame);
        tof.QueueFrame(&frames.back()->frame);
        ASSERT_NE(tof.consumer, nullptr);
        tof.consumer->SetSingleFrameReady(mask);
        ASSERT_TRUE(tof.WaitUntilDrained(FRAME_IR, kWait));
    }

    int Prepare(unsigned short waitMs, FrameReady* ready) { return path->PrepareNextFrame(waitMs, ready); }

    std::vector<std::unique_ptr<PlugInFrame>> frames;
};

TEST_F(FrameHandoutTest, PlugInGetsTheCommandSetSyncAndPreprocessingAtConstruction) {
    EXPECT_EQ(tof.control, control.get());
    EXPECT_NE(tof.consumer, nullptr);
    EXPECT_EQ(tof.preProcess, preProcess);
    EXPECT_EQ(path->GetPreProcess(), preProcess);
}

TEST_F(FrameHandoutTest, FrameIsHandedOutOnce) {
    PublishGroup(1);
    FrameReady ready = 0;
    ASSERT_EQ(Prepare(2000, &ready), 0);
    EXPECT_EQ(ready, FRAME_READY_DEPTH | FRAME_READY_IR);
    EXPECT_EQ(tof.Returned(), 2);  // the group's frames went back to the plug-in

    Frame ir{};
    ASSERT_EQ(path->GetFrame(FRAME_IR, &ir), 0);
    EXPECT_EQ(Val(ir.frameType), FRAME_IR);
    EXPECT_EQ(Val(ir.frameIndex), 1u);
    EXPECT_EQ(Val(ir.width), PlugInFrame::kWidth);
    EXPECT_EQ(Val(ir.timestamp), 777u);
    ASSERT_EQ(Val(ir.length), 8u);
    EXPECT_NE(Val(ir.data), frames.back()->pixels.data());  // the device's own copy
    EXPECT_EQ(std::vector<uint8_t>(ir.data, ir.data + ir.length), frames.back()->pixels);

    Frame again{};
    EXPECT_EQ(path->GetFrame(FRAME_IR, &again), -4);
    EXPECT_EQ(path->GetFrame(FRAME_CONFIDENCE, &again), -4);  // not in the group
    Frame depth{};
    EXPECT_EQ(path->GetFrame(FRAME_DEPTH, &depth), 0);
    EXPECT_EQ(path->GetFrame(FRAME_DEPTH, nullptr), -5);
}

TEST_F(FrameHandoutTest, InvalidKindsAreRefused) {
    for (FrameType type : {static_cast<FrameType>(2), FRAME_COLOR, FRAME_DEPTH_IN_COLOR, static_cast<FrameType>(9)}) {
        log.Mark();
        Frame out{};
        EXPECT_EQ(path->GetFrame(type, &out), -4);
        EXPECT_TRUE(log.Contains("frameType:" + std::to_string(type) + " is invalid")) << log.Text();
    }
}

TEST_F(FrameHandoutTest, FrameTakenMoreThan1000msAfterThePrepareIsStale) {
    PublishGroup(1);
    FrameReady ready = 0;
    ASSERT_EQ(Prepare(2000, &ready), 0);

    now += 1000;
    Frame depth{};
    EXPECT_EQ(path->GetFrame(FRAME_DEPTH, &depth), 0);
    now += 500;
    Frame ir{};
    EXPECT_EQ(path->GetFrame(FRAME_IR, &ir), -23);
    EXPECT_EQ(Val(ir.frameType), FRAME_IR);  // still filled in
    EXPECT_EQ(Val(ir.width), PlugInFrame::kWidth);
    EXPECT_TRUE(log.Contains("difftime 1500")) << log.Text();
}

TEST_F(FrameHandoutTest, GroupPublishedMoreThan1000msAgoGivesNoReadyBits) {
    PublishGroup(1);
    now += 1200;
    FrameReady ready = 0xFF;
    EXPECT_EQ(Prepare(2000, &ready), -23);
    EXPECT_EQ(ready, 0u);
    Frame depth{};
    EXPECT_EQ(path->GetFrame(FRAME_DEPTH, &depth), -4);
}

TEST_F(FrameHandoutTest, RefusalsBeforeWaiting) {
    FrameReady ready = 0xFF;
    path->SetStream(false);
    EXPECT_EQ(Prepare(0, &ready), -108);
    EXPECT_EQ(ready, 0u);

    ready = 0xFF;
    path->SetConnectStatus(false);
    EXPECT_EQ(Prepare(0, &ready), -1);
    EXPECT_EQ(ready, 0u);
    EXPECT_EQ(Prepare(0, nullptr), -5);
}

TEST_F(FrameHandoutTest, TimeoutLineIsLimitedToThreeInARow) {
    auto timeoutLines = [this] {
        const std::string text = log.Text();
        int n = 0;
        for (size_t at = text.find(">  timeout"); at != std::string::npos; at = text.find(">  timeout", at + 1)) ++n;
        return n;
    };
    FrameReady ready = 0;
    for (int i = 0; i < 5; ++i) EXPECT_EQ(Prepare(0, &ready), -11);
    EXPECT_EQ(timeoutLines(), 3);

    PublishGroup(1);
    ASSERT_EQ(Prepare(2000, &ready), 0);
    EXPECT_EQ(Prepare(0, &ready), -11);
    EXPECT_EQ(timeoutLines(), 4);  // a fresh group starts the count again
}

TEST_F(FrameHandoutTest, FailedIntrinsicsStillStartTheGrouping) {
    path->Close();
    tof.intrinsicResult = -3;
    EXPECT_EQ(path->Init(), -3);
    path->SetStream(true);
    PublishGroup(1);
    FrameReady ready = 0;
    EXPECT_EQ(Prepare(2000, &ready), 0);
    EXPECT_EQ(ready, FRAME_READY_DEPTH | FRAME_READY_IR);
}

// A waiting request ends at once when the stream stops, the camera leaves or the path
// closes; a real-time bound with slack, far below the request's own wait.
struct WakeCase {
    const char* name;
    void (*wake)(ImageProc_ToF&);
    int result;
};

TEST_F(FrameHandoutTest, WaitingRequestEndsAtOnce) {
    const WakeCase cases[] = {
        {"stream stop", [](ImageProc_ToF& p) { p.SetStream(false); }, -108},
        {"camera leaves", [](ImageProc_ToF& p) { p.SetConnectStatus(false); }, -1},
        {"close", [](ImageProc_ToF& p) { p.Close(); }, -108},
    };
    for (const WakeCase& c : cases) {
        SCOPED_TRACE(c.name);
        path->Init();
        path->SetStream(true);
        const auto start = std::chrono::steady_clock::now();
        auto waiting = std::async(std::launch::async, [this] {
            FrameReady ready = 0;
            return Prepare(5000, &ready);
        });
        std::this_thread::sleep_for(milliseconds(50));
        c.wake(*path);
        ASSERT_EQ(waiting.wait_for(milliseconds(1000)), std::future_status::ready);
        EXPECT_EQ(waiting.get(), c.result);
        EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(1000));
    }
}

TEST_F(FrameHandoutTest, RecycleCacheDropsThePlugInsFrames) {
    path->RecycleCache();
    EXPECT_EQ(tof.recycleCacheCalls, 1);
}

}  // namespace
}  // namespace receivetest
