// Threads of the OS layer.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <pthread.h>

#include "XnOS.h"

namespace {

std::atomic<bool> g_release{false};
std::atomic<bool> g_ended{false};

void* WaitForRelease(void*) {
    while (!g_release.load()) xnOSSleep(1);
    g_ended = true;
    return nullptr;
}

// Ignores cancellation altogether: a cancel never ends it.
void* IgnoreCancellation(void*) {
    pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, nullptr);
    while (!g_release.load()) {
        struct timespec t = {0, 1000000};
        nanosleep(&t, nullptr);  // a cancellation point, disabled here
    }
    g_ended = true;
    return nullptr;
}

void* Blocking(void*) {
    for (;;) xnOSSleep(10);  // cancellable in nanosleep
    return nullptr;
}

class ThreadsTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_release = false;
        g_ended = false;
    }
};

TEST_F(ThreadsTest, CreateRejectsNullArguments) {
    XN_THREAD_HANDLE h = nullptr;
    EXPECT_EQ(0x10004u, xnOSCreateThread(nullptr, nullptr, &h));
    EXPECT_EQ(0x10005u, xnOSCreateThread(WaitForRelease, nullptr, nullptr));
}

TEST_F(ThreadsTest, WaitTimeoutZeroOnRunningThreadThenInfiniteAfterEnd) {
    XN_THREAD_HANDLE h = nullptr;
    ASSERT_EQ(0u, xnOSCreateThread(WaitForRelease, nullptr, &h));
    ASSERT_NE(nullptr, h);
    EXPECT_EQ(0x20015u, xnOSWaitForThreadExit(h, 0));
    EXPECT_EQ(0x20015u, xnOSWaitForThreadExit(h, 20));
    g_release = true;
    EXPECT_EQ(0u, xnOSWaitForThreadExit(h, XN_WAIT_INFINITE));
    EXPECT_TRUE(g_ended.load());
    EXPECT_EQ(0u, xnOSCloseThread(&h));
    EXPECT_EQ(nullptr, h);
}

TEST_F(ThreadsTest, NullHandles) {
    XN_THREAD_HANDLE h = nullptr;
    EXPECT_EQ(0x2003Bu, xnOSWaitForThreadExit(nullptr, 0));
    EXPECT_EQ(0x10004u, xnOSCloseThread(nullptr));
    EXPECT_EQ(0x2003Bu, xnOSCloseThread(&h));
    EXPECT_EQ(0x10004u, xnOSTerminateThread(nullptr));
    EXPECT_EQ(0x2003Bu, xnOSTerminateThread(&h));
    EXPECT_EQ(0x2003Bu, xnOSSetThreadPriority(nullptr, XN_PRIORITY_CRITICAL));
}

TEST_F(ThreadsTest, TerminateCancelsABlockedThread) {
#if defined(__SANITIZE_ADDRESS__)
    // GCC 12's ASan reports a false stack-buffer-underflow (sigaltstack interceptor) when a
    // cancelled thread unwinds; the cancellation path itself is checked in the plain build.
    GTEST_SKIP() << "ASan misreports the unwinding of a cancelled thread";
#endif
    XN_THREAD_HANDLE h = nullptr;
    ASSERT_EQ(0u, xnOSCreateThread(Blocking, nullptr, &h));
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(0u, xnOSTerminateThread(&h));
    EXPECT_EQ(nullptr, h);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));
}

TEST_F(ThreadsTest, TerminateOfThreadIgnoringCancellationIsBounded) {
    XN_THREAD_HANDLE h = nullptr;
    ASSERT_EQ(0u, xnOSCreateThread(IgnoreCancellation, nullptr, &h));
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(0u, xnOSTerminateThread(&h));
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(nullptr, h);
    EXPECT_GE(took, std::chrono::milliseconds(900));
    EXPECT_LT(took, std::chrono::milliseconds(3000));
    // The thread was let go (detached); it ends on its own once released.
    g_release = true;
    for (int i = 0; i < 2000 && !g_ended.load(); ++i) xnOSSleep(1);
    EXPECT_TRUE(g_ended.load());
}

TEST_F(ThreadsTest, PriorityOtherThanCriticalIsRefusedAndChangesNothing) {
    XN_THREAD_HANDLE h = nullptr;
    ASSERT_EQ(0u, xnOSCreateThread(WaitForRelease, nullptr, &h));
    int policyBefore = -1, policyAfter = -1;
    struct sched_param before = {}, after = {};
    ASSERT_EQ(0, pthread_getschedparam(*h, &policyBefore, &before));
    EXPECT_EQ(0x20018u, xnOSSetThreadPriority(h, XN_PRIORITY_HIGH));
    EXPECT_EQ(0x20018u, xnOSSetThreadPriority(h, XN_PRIORITY_LOW));
    ASSERT_EQ(0, pthread_getschedparam(*h, &policyAfter, &after));
    EXPECT_EQ(policyBefore, policyAfter);
    EXPECT_EQ(before.sched_priority, after.sched_priority);
    g_release = true;
    EXPECT_EQ(0u, xnOSWaitForThreadExit(h, XN_WAIT_INFINITE));
    EXPECT_EQ(0u, xnOSCloseThread(&h));
}

TEST_F(ThreadsTest, CurrentThreadId) {
    XN_THREAD_ID id = 0;
    EXPECT_EQ(0x10005u, xnOSGetCurrentThreadID(nullptr));
    EXPECT_EQ(0u, xnOSGetCurrentThreadID(&id));
    EXPECT_EQ(static_cast<XN_THREAD_ID>(pthread_self()), id);
}

}  // namespace
