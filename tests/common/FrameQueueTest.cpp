#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "FrameQueue.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Allocates a frame and marks it with an index so it can be told apart after a Pop.
Frame* Produce(FrameQueue& queue, uint32_t index) {
    Frame* frame = queue.AllocFrame(FRAME_DEPTH);
    if (frame != nullptr) {
        frame->frameIndex = index;
        frame->length = 16;
        frame->data[0] = static_cast<uint8_t>(index);
    }
    return frame;
}

struct DropCase {
    uint32_t capacity;
    uint32_t effectiveCapacity;
    uint32_t pushes;
    std::vector<uint32_t> popped;  // frame indexes, oldest first
};

class FrameQueueDrop : public ::testing::TestWithParam<DropCase> {};

TEST_P(FrameQueueDrop, FullQueueDropsItsOldestFrameIntoThePool) {
    const DropCase c = GetParam();
    const uint32_t poolCount = 4;
    FrameQueue queue(FRAME_DEPTH, c.capacity, poolCount);
    queue.SetWaitTime(0);
    EXPECT_EQ(queue.Capacity(), c.effectiveCapacity);

    std::vector<Frame*> pushed;
    for (uint32_t i = 1; i <= c.pushes; ++i) {
        Frame* frame = Produce(queue, i);
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(queue.Push(frame), -1);
        pushed.push_back(frame);
    }
    EXPECT_EQ(queue.Size(), c.popped.size());
    const uint32_t dropped = c.pushes - static_cast<uint32_t>(c.popped.size());
    EXPECT_EQ(queue.Pool().FreeCount(), poolCount - c.pushes + dropped);
    for (uint32_t i = 0; i < dropped; ++i) {
        EXPECT_EQ(pushed[i]->frameIndex, 0u);
        EXPECT_EQ(pushed[i]->length, 0u);
        EXPECT_EQ(pushed[i]->data[0], 0u);
    }

    for (uint32_t index : c.popped) {
        Frame* frame = queue.Pop(FRAME_DEPTH);
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(frame->frameIndex, index);
        EXPECT_EQ(frame->data[0], static_cast<uint8_t>(index));
    }
    EXPECT_EQ(queue.Pop(FRAME_DEPTH), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Capacities, FrameQueueDrop,
                         ::testing::Values(DropCase{2, 2, 3, {2, 3}}, DropCase{0, 1, 2, {2}}, DropCase{1, 1, 1, {1}},
                                           DropCase{3, 3, 2, {1, 2}}, DropCase{1, 1, 4, {4}}),
                         [](const ::testing::TestParamInfo<DropCase>& info) {
                             return "Capacity" + std::to_string(info.param.capacity) + "Pushes" +
                                    std::to_string(info.param.pushes);
                         });

TEST(FrameQueue, PopOnAnEmptyQueueGivesNullAfterTheWaitTime) {
    FrameQueue queue(FRAME_DEPTH, 2, 2);
    const auto start = Clock::now();
    EXPECT_EQ(queue.Pop(FRAME_DEPTH), nullptr);
    const double elapsed = MsSince(start);
    EXPECT_GE(elapsed, 190.0);
    EXPECT_LT(elapsed, 2000.0);
}

TEST(FrameQueue, PushDuringTheWaitReturnsThatFrameAtOnce) {
    FrameQueue queue(FRAME_DEPTH, 2, 2);
    queue.SetWaitTime(10000);
    Frame* frame = Produce(queue, 5);
    ASSERT_NE(frame, nullptr);
    std::thread pusher([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        queue.Push(frame);
    });
    const auto start = Clock::now();
    Frame* popped = queue.Pop(FRAME_DEPTH);
    const double elapsed = MsSince(start);
    pusher.join();
    EXPECT_EQ(popped, frame);
    EXPECT_LT(elapsed, 5000.0);
}

TEST(FrameQueue, WakeReleasesAWaitingPopAndLaterPopsUntilRearmed) {
    FrameQueue queue(FRAME_DEPTH, 2, 2);
    queue.SetWaitTime(10000);
    Frame* popped = reinterpret_cast<Frame*>(1);
    double elapsed = 0;
    std::thread popper([&] {
        const auto start = Clock::now();
        popped = queue.Pop(FRAME_DEPTH);
        elapsed = MsSince(start);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    queue.Wake();
    popper.join();
    EXPECT_EQ(popped, nullptr);
    EXPECT_LT(elapsed, 5000.0);

    Frame* frame = Produce(queue, 9);
    ASSERT_NE(frame, nullptr);
    queue.Push(frame);
    const auto start = Clock::now();
    EXPECT_EQ(queue.Pop(FRAME_DEPTH), nullptr);
    EXPECT_LT(MsSince(start), 5000.0);
    EXPECT_EQ(queue.Size(), 1u);

    queue.Rearm();
    EXPECT_EQ(queue.Pop(FRAME_DEPTH), frame);
}

TEST(FrameQueue, NullFramesAreIgnored) {
    FrameQueue queue(FRAME_DEPTH, 2, 1);
    EXPECT_EQ(queue.Push(nullptr), -1);
    EXPECT_EQ(queue.Size(), 0u);
    EXPECT_EQ(queue.RecycleFrame(nullptr), 0);
    EXPECT_EQ(queue.Pool().FreeCount(), 1u);
}

TEST(FrameQueue, RecycleReturnsAFrameToItsPool) {
    FrameQueue queue(FRAME_IR, 2, 1);
    Frame* frame = queue.AllocFrame(FRAME_IR);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(queue.AllocFrame(FRAME_IR), nullptr);
    EXPECT_EQ(queue.AllocFrame(FRAME_DEPTH), nullptr);
    EXPECT_EQ(queue.RecycleFrame(frame), 0);
    EXPECT_EQ(queue.AllocFrame(FRAME_IR), frame);
}

// Frames still queued or held when the queue goes are freed with its pool (the leak check
// of the sanitizer build reports them otherwise).
TEST(FrameQueue, DestroyingTheQueueFreesQueuedAndHeldFrames) {
    auto queue = std::make_unique<FrameQueue>(FRAME_DEPTH, 2, 3);
    queue->Push(queue->AllocFrame(FRAME_DEPTH));
    ASSERT_NE(queue->AllocFrame(FRAME_DEPTH), nullptr);
    queue.reset();
}

}  // namespace
