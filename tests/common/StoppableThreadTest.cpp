#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Eventually.h"
#include "StoppableThread.h"
#include "TempDir.h"
#include "log.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

using testsupport::Eventually;

// What the test sees of a worker; it outlives the worker object.
struct WorkerTrace {
    std::atomic<int> runs{0};
    std::atomic<int> passes{0};
    std::atomic<int> exits{0};
    std::atomic<bool> afterWait{false};
};

enum class Behaviour { Cooperative, IgnoresStopForOneSecond, JoinsItself };

class Worker : public StoppableThread {
public:
    Worker(const char* name, WorkerTrace& trace, Behaviour behaviour = Behaviour::Cooperative)
        : StoppableThread(name), m_trace(trace), m_behaviour(behaviour) {}
    ~Worker() override {
        Stop();
        Join();
    }

protected:
    void Run() override {
        ++m_trace.runs;
        switch (m_behaviour) {
            case Behaviour::Cooperative:
                while (IsRunning()) {
                    ++m_trace.passes;
                    std::this_thread::sleep_for(std::chrono::milliseconds(2));
                }
                break;
            case Behaviour::IgnoresStopForOneSecond:
                std::this_thread::sleep_for(std::chrono::seconds(1));
                m_trace.afterWait = true;
                break;
            case Behaviour::JoinsItself:
                Join();
                m_trace.afterWait = true;
                break;
        }
        ++m_trace.exits;
    }

private:
    WorkerTrace& m_trace;
    const Behaviour m_behaviour;
};

// Relies on the base destructor alone to stop and join; its Run touches only the base and
// the trace it copied, so it stays valid while the base destructor runs.
class BareWorker : public StoppableThread {
public:
    BareWorker(const char* name, WorkerTrace& trace) : StoppableThread(name), m_trace(&trace) {}

protected:
    void Run() override {
        WorkerTrace* trace = m_trace;
        ++trace->runs;
        while (IsRunning()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        ++trace->exits;
    }

private:
    WorkerTrace* m_trace;
};

class StoppableThreadTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(LogCustom::Initance(m_dir.Path(), "test", "test", false), 0); }
    void TearDown() override { LogCustom::Release(); }

    std::string LogText() const { return testsupport::ReadFile(m_dir.File("test.txt")); }
    bool Logged(const std::string& text) const { return LogText().find(text) != std::string::npos; }

    testsupport::TempDir m_dir;
    WorkerTrace m_trace;
};

enum class Step { Start, Stop, Join };

struct SequenceCase {
    const char* label;
    std::vector<Step> steps;
    int runs;           // how often Run was entered
    bool running;       // IsRunning at the end
    bool stillLooping;  // the thread keeps running its loop at the end
    std::vector<const char*> logged;
};

class StoppableThreadSequence : public StoppableThreadTest, public ::testing::WithParamInterface<SequenceCase> {};

TEST_P(StoppableThreadSequence, StartStopJoin) {
    const SequenceCase& c = GetParam();
    Worker worker("Seq", m_trace);
    int started = 0;
    for (Step step : c.steps) {
        switch (step) {
            case Step::Start:
                EXPECT_EQ(worker.Start(), 0);
                // Let a thread that was created enter Run before the next step.
                ++started;
                Eventually([&] { return m_trace.runs >= std::min(started, c.runs); });
                break;
            case Step::Stop: worker.Stop(); break;
            case Step::Join: worker.Join(); break;
        }
    }
    ASSERT_TRUE(Eventually([&] { return m_trace.runs == c.runs; }));
    EXPECT_EQ(worker.IsRunning(), c.running);
    if (c.stillLooping) {
        const int passes = m_trace.passes;
        EXPECT_TRUE(Eventually([&] { return m_trace.passes > passes + 2; }));
    }
    const std::string log = LogText();
    for (const char* text : c.logged) {
        EXPECT_NE(log.find(text), std::string::npos) << "missing \"" << text << "\" in:\n" << log;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StoppableThreadSequence,
    ::testing::Values(
        SequenceCase{"StartStopJoin",
                     {Step::Start, Step::Stop, Step::Join},
                     1,
                     false,
                     false,
                     {"Seq mPtrThreadHandle:", " begin\n", "Seq ret:0\n", "Seq Exit.\n", "Seq end\n"}},
        SequenceCase{"DoubleStart",
                     {Step::Start, Step::Start},
                     1,
                     true,
                     true,
                     {"Do not repeat invoke Start:Seq, if not Stop previous.\n"}},
        SequenceCase{"StartAfterStopWithoutJoin",
                     {Step::Start, Step::Stop, Step::Start},
                     1,
                     false,
                     false,
                     {"Do not repeat invoke Start:Seq, if not Stop previous.\n"}},
        SequenceCase{
            "JoinNeverStarted", {Step::Join}, 0, false, false, {"Seq mPtrThreadHandle:0 begin\n", "Seq end\n"}},
        SequenceCase{"StopNeverStarted", {Step::Stop}, 0, false, false, {"Seq mPtrThreadHandle:0\n"}},
        SequenceCase{"RestartAfterStopAndJoin",
                     {Step::Start, Step::Stop, Step::Join, Step::Start},
                     2,
                     true,
                     true,
                     {"Seq Exit.\n"}}),
    [](const ::testing::TestParamInfo<SequenceCase>& info) { return std::string(info.param.label); });

TEST_F(StoppableThreadTest, CooperativeWorkerJoinsQuickly) {
    Worker worker("Quick", m_trace);
    worker.Start();
    ASSERT_TRUE(Eventually([&] { return m_trace.passes > 0; }));
    const auto start = Clock::now();
    worker.Stop();
    worker.Join();
    EXPECT_LT(MsSince(start), 150.0);
    EXPECT_EQ(m_trace.exits, 1);
    EXPECT_FALSE(Logged("late"));
}

// Join never cancels: the worker finishes its wait and the code after it.
TEST_F(StoppableThreadTest, LateWorkerIsWaitedForNotCancelled) {
    Worker worker("Slow", m_trace, Behaviour::IgnoresStopForOneSecond);
    worker.Start();
    ASSERT_TRUE(Eventually([&] { return m_trace.runs == 1; }));
    const auto start = Clock::now();
    worker.Stop();
    worker.Join();
    const double elapsed = MsSince(start);
    EXPECT_GE(elapsed, 900.0);
    EXPECT_LT(elapsed, 5000.0);
    EXPECT_TRUE(m_trace.afterWait);
    EXPECT_EQ(m_trace.exits, 1);
    const std::string log = LogText();
    const size_t late = log.find("late");
    ASSERT_NE(late, std::string::npos) << log;
    const size_t lineStart = log.rfind('\n', late) + 1;
    EXPECT_NE(log.substr(lineStart, log.find('\n', late) - lineStart).find("Slow"), std::string::npos);
    EXPECT_TRUE(Logged("Slow ret:131093\n"));  // the 300 ms wait timed out
    EXPECT_TRUE(Logged("Slow end\n"));
}

TEST_F(StoppableThreadTest, BaseDestructorStopsAndJoins) {
    auto worker = std::make_unique<BareWorker>("Bare", m_trace);
    worker->Start();
    ASSERT_TRUE(Eventually([&] { return m_trace.runs == 1; }));
    worker.reset();
    EXPECT_EQ(m_trace.exits, 1);
    EXPECT_TRUE(Logged("Bare end\n"));
}

TEST_F(StoppableThreadTest, JoinFromTheWorkerDoesNotWaitForItself) {
    auto worker = std::make_unique<Worker>("Self", m_trace, Behaviour::JoinsItself);
    const auto start = Clock::now();
    worker->Start();
    ASSERT_TRUE(Eventually([&] { return m_trace.exits == 1; }));
    EXPECT_LT(MsSince(start), 250.0);  // well before the 300 ms after which Join calls it late
    EXPECT_TRUE(m_trace.afterWait);
    EXPECT_FALSE(Logged("late"));
    EXPECT_TRUE(Logged("Self end\n"));
    // The handle was released, so the object can start again.
    worker->Start();
    EXPECT_TRUE(Eventually([&] { return m_trace.exits == 2; }));
}

TEST_F(StoppableThreadTest, EntryWithoutObjectIsRefused) {
    EXPECT_EQ(StoppableThread::ThreadFunc(nullptr), nullptr);
    EXPECT_TRUE(Logged("pThreadParam:"));
    EXPECT_TRUE(Logged(" is invalid.\n"));
}

}  // namespace
