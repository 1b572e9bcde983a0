#include <chrono>

#include "Payload.h"
#include "ReceiveFixture.h"

namespace receivetest {
namespace {

using std::chrono::milliseconds;
using Steady = std::chrono::steady_clock;

constexpr uint8_t kComputed = 0xB7;

class ReceiveThreadTest : public ReceiveFixture {
protected:
    void SetUp() override { tof.Answer(kComputed, 3); }

    void FeedFrame(uint64_t timestamp) {
        Payload p;
        p.Timestamp(timestamp).Computed(1200);
        io->Feed(p.bytes);
    }

    // As the device closes: the transport is shut down first, then the path.
    milliseconds CloseTime() {
        const auto start = Steady::now();
        io->Shutdown();
        path->Close();
        return std::chrono::duration_cast<milliseconds>(Steady::now() - start);
    }
};

TEST_F(ReceiveThreadTest, DeliversEveryDataFrameAndStopsQuickly) {
    path->Start();
    for (uint64_t ts = 1; ts <= 3; ++ts) FeedFrame(ts * 1000);
    ASSERT_TRUE(tof.WaitForDeliveries(3, milliseconds(3000)));

    const auto got = tof.Deliveries();
    for (uint32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(got[i].info.frameIndex, i + 1);
        EXPECT_EQ(got[i].info.hasFrameType, 3u);
        EXPECT_EQ(got[i].info.timestamp, (i + 1) * 1000u);
    }
    EXPECT_LT(CloseTime(), milliseconds(300));
    EXPECT_FALSE(path->IsRunning());
}

TEST_F(ReceiveThreadTest, StopsQuicklyWhileAReadWaits) {
    path->Start();
    while (io->reads == 0) std::this_thread::sleep_for(milliseconds(1));
    EXPECT_LT(CloseTime(), milliseconds(300));
}

TEST_F(ReceiveThreadTest, ReadsOnlyWhileConnected) {
    path->SetConnectStatus(false);
    path->Start();
    FeedFrame(1);
    EXPECT_FALSE(tof.WaitForDeliveries(1, milliseconds(50)));
    EXPECT_EQ(io->reads, 0);

    path->SetConnectStatus(true);
    EXPECT_TRUE(tof.WaitForDeliveries(1, milliseconds(3000)));
}

TEST_F(ReceiveThreadTest, ClosedConnectionDoesNotSpin) {
    path->Start();
    io->Shutdown();  // every read now returns at once with nothing
    std::this_thread::sleep_for(milliseconds(100));
    // Paced at 10 ms: about ten reads; an unpaced loop would make many thousands.
    EXPECT_LT(io->reads, 100);
    path->Close();
}

TEST_F(ReceiveThreadTest, ReopenedPathReadsAgain) {
    path->Start();
    FeedFrame(1);
    ASSERT_TRUE(tof.WaitForDeliveries(1, milliseconds(3000)));
    CloseTime();

    io->Reopen();
    path->Start();
    path->SetStream(true);
    FeedFrame(2);
    ASSERT_TRUE(tof.WaitForDeliveries(2, milliseconds(3000)));
    EXPECT_EQ(tof.Deliveries()[1].info.frameIndex, 2u);  // never reset while the object lives
}

}  // namespace
}  // namespace receivetest
