// A shut-down, and a close, while a camera keeps the kit waiting end within a bound: a slow
// fetch from the file server is cut after a short grace, an open of a camera that never
// answers is cut, heartbeats out are not waited for one after another, a transfer is ended.
#include <gtest/gtest.h>

#include <chrono>

#include "StallScenes.h"

namespace {

using namespace apie2e;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Generous beside the 2.5 s a shut-down is meant to take and the 0.5 s plus one 2 s reply wait
// of a close; far below what a slow camera's fetch (about a minute) or an open's reply waits (2 s
// each) would take.
constexpr auto kShutdownBound = 4s;
constexpr auto kCloseBound = 4s;

class Stalled : public ::testing::TestWithParam<StallCase> {};

TEST_P(Stalled, ShutdownEndsWithinItsBound) {
    StallRig rig;
    ASSERT_TRUE(rig.Enter(GetParam().stall)) << rig.failure;
    const auto start = Clock::now();
    EXPECT_EQ(rig.Shutdown(), 0);
    EXPECT_LT(Clock::now() - start, kShutdownBound);
}

TEST_P(Stalled, CloseEndsWithinItsBound) {
    StallRig rig;
    const Stall stall = GetParam().stall;
    ASSERT_TRUE(rig.Enter(stall)) << rig.failure;
    const auto start = Clock::now();
    EXPECT_EQ(QL_CloseDevice(&rig.Target(stall)), 0);
    EXPECT_LT(Clock::now() - start, kCloseBound);
    EXPECT_EQ(rig.Target(stall), nullptr);
}

INSTANTIATE_TEST_SUITE_P(States, Stalled, ::testing::ValuesIn(kStallCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
