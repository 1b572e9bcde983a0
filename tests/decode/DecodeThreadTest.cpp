#include <chrono>
#include <thread>

#include "DecodeFixture.h"

namespace {

using camsim::Scene;
using Clock = std::chrono::steady_clock;

class DecodeThread : public DecodeTest {
protected:
    void TearDown() override {
        StopPromptly();
        DecodeTest::TearDown();
    }

    // Stop as the plug-in does it: ask, wake the raw queue's wait, join.
    double StopPromptly() {
        const auto start = Clock::now();
        decode->Stop();
        producer.Wake();
        decode->Join();
        return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    }
};

TEST_F(DecodeThread, DeliversFramesToTheConsumerAndStopsPromptly) {
    Make();
    LoadBuiltInRanges();
    decode->Start();
    ASSERT_TRUE(decode->IsRunning());
    ASSERT_TRUE(producer.Push(ComputedRecord(Scene::Wall(1234), false, 0), 5, kAllKinds));
    ASSERT_TRUE(consumer.WaitForNotices(3, std::chrono::seconds(5)));
    EXPECT_EQ(consumer.Notices(), (std::vector<HasFrameType>{HAS_DEPTH_FRAME, HAS_IR_FRAME, HAS_CONFIDENCE_FRAME}));

    Frame* depth = nullptr;
    ASSERT_EQ(decode->GetFrame(FRAME_DEPTH, &depth), 0);
    taken.push_back(depth);
    EXPECT_EQ(depth->frameIndex, 5u);
    EXPECT_EQ(Pixels16(*depth), std::vector<uint16_t>(640 * 480, 1234));

    EXPECT_LT(StopPromptly(), 300.0);
    EXPECT_FALSE(decode->IsRunning());
    EXPECT_EQ(producer.recycled, 1);
}

TEST_F(DecodeThread, StreamOffDrainsRecordsWithoutDecoding) {
    Make();
    decode->SetStream(false);
    decode->Start();
    ASSERT_TRUE(producer.Push(ComputedRecord(Scene::Wall(1234), false, 0), 1, kAllKinds));
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (producer.recycled < 1 && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(producer.recycled, 1);
    EXPECT_TRUE(consumer.Notices().empty());

    // A drain under way ends by giving back the first record that arrives after the switch;
    // the next one is decoded.
    decode->SetStream(true);
    const std::vector<uint8_t> record = ComputedRecord(Scene::Wall(1234), false, 0);
    ASSERT_TRUE(producer.Push(record, 2, kAllKinds));
    ASSERT_TRUE(producer.Push(record, 3, kAllKinds));
    ASSERT_TRUE(consumer.WaitForNotices(3, std::chrono::seconds(5)));
}

}  // namespace
