#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "FrameQueue.h"

namespace {

// Many movers at once, or the checker alone. A waiting checker goes first, so it is not
// starved by movers that overlap all the time.
class Gate {
public:
    void EnterShared() {
        std::unique_lock<std::mutex> guard(m_lock);
        m_changed.wait(guard, [this] { return !m_checkerWaiting && !m_checking; });
        ++m_movers;
    }
    void LeaveShared() {
        std::lock_guard<std::mutex> guard(m_lock);
        if (--m_movers == 0) {
            m_changed.notify_all();
        }
    }
    void EnterExclusive() {
        std::unique_lock<std::mutex> guard(m_lock);
        m_checkerWaiting = true;
        m_changed.wait(guard, [this] { return m_movers == 0; });
        m_checkerWaiting = false;
        m_checking = true;
    }
    void LeaveExclusive() {
        std::lock_guard<std::mutex> guard(m_lock);
        m_checking = false;
        m_changed.notify_all();
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    int m_movers = 0;
    bool m_checkerWaiting = false;
    bool m_checking = false;
};

class MoverSide {
public:
    explicit MoverSide(Gate& gate) : m_gate(gate) { m_gate.EnterShared(); }
    ~MoverSide() { m_gate.LeaveShared(); }
    MoverSide(const MoverSide&) = delete;
    MoverSide& operator=(const MoverSide&) = delete;

private:
    Gate& m_gate;
};

// Producers allocate and push, consumers pop and recycle, while a checker counts every frame:
// each must be free, queued or held by exactly one worker at any moment.
class FrameStress : public ::testing::Test {
protected:
    static constexpr uint32_t kPoolCount = 6;
    static constexpr uint32_t kCapacity = 3;
    static constexpr int kProducers = 3;
    static constexpr int kConsumers = 3;
    static constexpr uint32_t kFramesPerProducer = 1500;
    static constexpr uint32_t kMarkBytes = 64;

    FrameQueue queue{FRAME_DEPTH, kCapacity, kPoolCount};
    // Workers move frames under the shared side; the checker takes the exclusive side, so it
    // sees no frame between two places.
    Gate gate;
    std::mutex heldLock;
    std::set<Frame*> held;
    std::atomic<int> handedOutTwice{0};
    std::atomic<int> corrupted{0};
    std::atomic<int> badCounts{0};
    std::atomic<int> checks{0};
    std::atomic<bool> producing{true};

    // Called under the shared side of the gate.
    void Take(Frame* frame) {
        std::lock_guard<std::mutex> guard(heldLock);
        if (!held.insert(frame).second) {
            ++handedOutTwice;
        }
    }
    void Give(Frame* frame) {
        std::lock_guard<std::mutex> guard(heldLock);
        held.erase(frame);
    }
    size_t HeldCount() {
        std::lock_guard<std::mutex> guard(heldLock);
        return held.size();
    }

    static void Mark(Frame* frame, uint32_t index) {
        frame->frameIndex = index;
        for (uint32_t i = 0; i < kMarkBytes; ++i) {
            frame->data[i] = static_cast<uint8_t>(index + i);
            frame->data[frame->capacity - 1 - i] = static_cast<uint8_t>(index - i);
        }
    }
    static bool MarkIntact(const Frame* frame) {
        const uint32_t index = frame->frameIndex;
        if (index == 0) {
            return false;
        }
        for (uint32_t i = 0; i < kMarkBytes; ++i) {
            if (frame->data[i] != static_cast<uint8_t>(index + i) ||
                frame->data[frame->capacity - 1 - i] != static_cast<uint8_t>(index - i)) {
                return false;
            }
        }
        return true;
    }

    void Produce(int producer) {
        uint32_t made = 0;
        while (made < kFramesPerProducer) {
            Frame* frame;
            {
                MoverSide side(gate);
                frame = queue.AllocFrame(FRAME_DEPTH);
                if (frame != nullptr) {
                    Take(frame);
                }
            }
            if (frame == nullptr) {
                std::this_thread::yield();
                continue;
            }
            ++made;
            Mark(frame, static_cast<uint32_t>(producer) * kFramesPerProducer + made);
            if (!MarkIntact(frame)) {
                ++corrupted;
            }
            MoverSide side(gate);
            Give(frame);
            queue.Push(frame);
        }
    }

    void Consume() {
        for (;;) {
            const bool lastRound = !producing;
            Frame* frame;
            {
                MoverSide side(gate);
                frame = queue.Pop(FRAME_DEPTH);
                if (frame != nullptr) {
                    Take(frame);
                }
            }
            if (frame == nullptr) {
                if (lastRound) {
                    return;
                }
                continue;
            }
            if (!MarkIntact(frame)) {
                ++corrupted;
            }
            MoverSide side(gate);
            Give(frame);
            queue.RecycleFrame(frame);
        }
    }

    void Check(std::atomic<bool>& done) {
        while (!done) {
            {
                gate.EnterExclusive();
                const size_t total = queue.Pool().FreeCount() + queue.Size() + HeldCount();
                gate.LeaveExclusive();
                ++checks;
                if (total != kPoolCount) {
                    ++badCounts;
                }
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    }
};

TEST_F(FrameStress, EveryFrameIsInExactlyOnePlace) {
    queue.SetWaitTime(5);
    std::atomic<bool> done{false};
    std::thread checker([&] { Check(done); });
    std::vector<std::thread> consumers;
    for (int i = 0; i < kConsumers; ++i) {
        consumers.emplace_back([&] { Consume(); });
    }
    std::vector<std::thread> producers;
    for (int i = 0; i < kProducers; ++i) {
        producers.emplace_back([&, i] { Produce(i); });
    }
    for (std::thread& producer : producers) {
        producer.join();
    }
    producing = false;
    for (std::thread& consumer : consumers) {
        consumer.join();
    }
    done = true;
    checker.join();

    EXPECT_EQ(handedOutTwice, 0);
    EXPECT_EQ(corrupted, 0);
    EXPECT_EQ(badCounts, 0);
    EXPECT_GT(checks, 0);
    EXPECT_EQ(queue.Size(), 0u);
    EXPECT_EQ(held.size(), 0u);
    EXPECT_EQ(queue.Pool().FreeCount(), kPoolCount);
}

}  // namespace
