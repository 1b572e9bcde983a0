#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "DestinationFrames.h"
#include "FakeColor.h"
#include "FakeToF.h"
#include "Sync.h"

namespace synctest {
namespace {

using Clock = std::chrono::steady_clock;

// Far longer than any bound below: a wait that is not woken would run into it.
constexpr unsigned short kLongWaitMs = 60000;
constexpr auto kGenerous = std::chrono::seconds(10);

class SyncThreadTest : public ::testing::Test {
protected:
    void TearDown() override {
        EXPECT_EQ(m_tof.frames.Outstanding(), 0u);
        EXPECT_EQ(m_tof.frames.BadReturns(), 0u);
    }

    FakeToF m_tof;
    FakeColor m_color;
    DestinationFrames m_dest;
};

TEST_F(SyncThreadTest, WaitingRequestWakesOnPublication) {
    Sync sync(m_tof, &m_color);
    sync.SetSyncEnable(true);
    sync.Init();
    sync.Start();

    SyncFrame out = m_dest.Record();
    auto request = std::async(std::launch::async, [&] { return sync.GetSyncFrame(kLongWaitMs, out); });
    m_tof.frames.Queue(FRAME_DEPTH, 1, HAS_DEPTH_FRAME | HAS_IR_FRAME);
    m_tof.frames.Queue(FRAME_IR, 1, HAS_DEPTH_FRAME | HAS_IR_FRAME);
    sync.SetSingleFrameReady(HAS_DEPTH_FRAME);
    sync.SetSingleFrameReady(HAS_IR_FRAME);

    ASSERT_EQ(request.wait_for(kGenerous), std::future_status::ready);
    EXPECT_EQ(request.get(), 1);
    EXPECT_EQ(out.frameIndex, 1u);
    EXPECT_EQ(out.mask, HAS_DEPTH_FRAME | HAS_IR_FRAME);
    sync.Stop();
    sync.Join();
}

TEST_F(SyncThreadTest, StopWakesTheThreadAndAWaitingRequestAtOnce) {
    Sync sync(m_tof, &m_color);
    sync.SetSyncEnable(true);
    sync.SetWaitTime(kLongWaitMs);
    sync.Init();
    sync.Start();
    SyncFrame out = m_dest.Record();
    auto request = std::async(std::launch::async, [&] { return sync.GetSyncFrame(kLongWaitMs, out); });
    // Give both a moment to block; a stop that comes first must be seen just the same.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));

    const auto start = Clock::now();
    sync.Stop();
    sync.Join();
    ASSERT_EQ(request.wait_for(kGenerous), std::future_status::ready);
    EXPECT_LT(Clock::now() - start, kGenerous);
    EXPECT_EQ(request.get(), 0);

    // After Init the object waits again, as for a reopened device.
    sync.Init();
    SyncFrame again = m_dest.Record();
    EXPECT_EQ(sync.GetSyncFrame(0, again), 0);
}

TEST_F(SyncThreadTest, GroupsFromADecodeThreadReachTheRequestsInOrder) {
    constexpr uint32_t kGroups = 200;
    constexpr HasFrameType kMask = HAS_DEPTH_FRAME | HAS_IR_FRAME;
    Sync sync(m_tof, &m_color);
    sync.SetSyncEnable(true);
    sync.Init();
    sync.Start();

    std::thread decoder([&] {
        for (uint32_t index = 1; index <= kGroups; ++index) {
            for (FrameType type : {FRAME_DEPTH, FRAME_IR}) {
                // The pool runs dry while the requests lag behind.
                while (m_tof.frames.Queue(type, index, kMask) == nullptr) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
                sync.SetSingleFrameReady(type == FRAME_DEPTH ? HAS_DEPTH_FRAME : HAS_IR_FRAME);
            }
        }
    });

    uint32_t last = 0;
    const auto deadline = Clock::now() + kGenerous;
    while (last < kGroups && Clock::now() < deadline) {
        SyncFrame out = m_dest.Record();
        if (sync.GetSyncFrame(50, out) != 0) {
            EXPECT_GT(out.frameIndex, last);
            EXPECT_EQ(out.mask, kMask);
            EXPECT_EQ(m_dest.Depth().frameIndex, out.frameIndex);
            EXPECT_EQ(m_dest.IR().frameIndex, out.frameIndex);
            last = out.frameIndex;
        }
    }
    decoder.join();
    EXPECT_EQ(last, kGroups);
    sync.Stop();
    sync.Join();
}

}  // namespace
}  // namespace synctest
