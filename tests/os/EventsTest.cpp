// Events of the OS layer.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <semaphore.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "XnLinuxEvent.h"
#include "XnOS.h"

namespace {

// Starts n waiters with a limited wait each; returns how many were released.
int ReleasedWaiters(XN_EVENT_HANDLE ev, int n, XnUInt32 waitMs) {
    std::atomic<int> ready{0}, released{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < n; ++i)
        threads.emplace_back([&] {
            ++ready;
            if (xnOSWaitEvent(ev, waitMs) == 0) ++released;
        });
    while (ready.load() < n) std::this_thread::yield();
    xnOSSleep(50);  // let them block in the wait
    EXPECT_EQ(0u, xnOSSetEvent(ev));
    for (auto& t : threads) t.join();
    return released.load();
}

TEST(EventsTest, AutoResetReleasesExactlyOneOfThree) {
    XN_EVENT_HANDLE ev = nullptr;
    ASSERT_EQ(0u, xnOSCreateEvent(&ev, FALSE));
    EXPECT_EQ(1, ReleasedWaiters(ev, 3, 400));
    EXPECT_EQ(0x20022u, xnOSWaitEvent(ev, 0));  // consumed
    EXPECT_EQ(0u, xnOSCloseEvent(&ev));
    EXPECT_EQ(nullptr, ev);
}

TEST(EventsTest, ManualResetReleasesAll) {
    XN_EVENT_HANDLE ev = nullptr;
    ASSERT_EQ(0u, xnOSCreateEvent(&ev, TRUE));
    EXPECT_EQ(3, ReleasedWaiters(ev, 3, 2000));
    EXPECT_EQ(0u, xnOSWaitEvent(ev, 0));  // stays signalled
    EXPECT_TRUE(xnOSIsEventSet(ev));
    EXPECT_EQ(0u, xnOSResetEvent(ev));
    EXPECT_EQ(0x20022u, xnOSWaitEvent(ev, 0));
    EXPECT_FALSE(xnOSIsEventSet(ev));
    EXPECT_EQ(0u, xnOSCloseEvent(&ev));
}

TEST(EventsTest, AutoResetSecondWaitZeroTimesOut) {
    XN_EVENT_HANDLE ev = nullptr;
    ASSERT_EQ(0u, xnOSCreateEvent(&ev, FALSE));
    EXPECT_EQ(0u, xnOSSetEvent(ev));
    EXPECT_EQ(0u, xnOSSetEvent(ev));
    EXPECT_EQ(0u, xnOSWaitEvent(ev, 0));
    EXPECT_EQ(0x20022u, xnOSWaitEvent(ev, 0));
    EXPECT_EQ(0u, xnOSSetEvent(ev));
    EXPECT_TRUE(xnOSIsEventSet(ev));  // consumes the signal
    EXPECT_FALSE(xnOSIsEventSet(ev));
    EXPECT_EQ(0u, xnOSCloseEvent(&ev));
}

TEST(EventsTest, TimedWaits) {
    XN_EVENT_HANDLE ev = nullptr;
    ASSERT_EQ(0u, xnOSCreateEvent(&ev, FALSE));
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(0x20022u, xnOSWaitEvent(ev, 60));
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(55));
    EXPECT_LT(took, std::chrono::milliseconds(2000));
    // A set from another thread ends a limited wait early.
    std::thread setter([&] {
        xnOSSleep(30);
        xnOSSetEvent(ev);
    });
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(0u, xnOSWaitEvent(ev, 5000));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2000));
    setter.join();
    // Without limit, once set.
    std::thread setter2([&] {
        xnOSSleep(20);
        xnOSSetEvent(ev);
    });
    EXPECT_EQ(0u, xnOSWaitEvent(ev, XN_WAIT_INFINITE));
    setter2.join();
    EXPECT_EQ(0u, xnOSCloseEvent(&ev));
}

TEST(EventsTest, NullHandles) {
    XN_EVENT_HANDLE ev = nullptr;
    EXPECT_EQ(0x10004u, xnOSCreateEvent(nullptr, FALSE));
    EXPECT_EQ(0x10004u, xnOSCloseEvent(nullptr));
    EXPECT_EQ(0x2003Cu, xnOSCloseEvent(&ev));
    EXPECT_EQ(0x2003Cu, xnOSSetEvent(nullptr));
    EXPECT_EQ(0x2003Cu, xnOSResetEvent(nullptr));
    EXPECT_EQ(0x2003Cu, xnOSWaitEvent(nullptr, 0));
    EXPECT_FALSE(xnOSIsEventSet(nullptr));
    EXPECT_EQ(0x10004u, xnOSCreateNamedEvent(nullptr, nullptr, FALSE));  // name checked first
    EXPECT_EQ(0x10005u, xnOSCreateNamedEvent(nullptr, "/n", FALSE));
    EXPECT_EQ(0x10004u, xnOSOpenNamedEvent(&ev, nullptr));
}

TEST(EventsTest, NamedEventCreateAndDestroy) {
    std::string name = "/xnos_test_" + std::to_string(getpid()) + "_" +
                       std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
    XN_EVENT_HANDLE ev = reinterpret_cast<XN_EVENT_HANDLE>(0x1);
    ASSERT_EQ(0u, xnOSCreateNamedEvent(&ev, name.c_str(), FALSE));
    ASSERT_NE(nullptr, ev);
    EXPECT_NE(nullptr, dynamic_cast<XnLinuxPosixNamedEvent*>(ev));
    // The kit's named event offers only creation and closing.
    EXPECT_EQ(0x20020u, xnOSSetEvent(ev));
    EXPECT_EQ(0x20021u, xnOSResetEvent(ev));
    EXPECT_EQ(0x20023u, xnOSWaitEvent(ev, 0));
    EXPECT_EQ(0u, xnOSCloseEvent(&ev));
    EXPECT_EQ(nullptr, ev);
    // Closing leaves the semaphore in the system.
    sem_t* sem = sem_open(name.c_str(), 0);
    EXPECT_NE(SEM_FAILED, sem);
    if (sem != SEM_FAILED) sem_close(sem);
    EXPECT_EQ(0, sem_unlink(name.c_str()));

    XN_EVENT_HANDLE opened = reinterpret_cast<XN_EVENT_HANDLE>(0x1);
    EXPECT_EQ(0x20084u, xnOSOpenNamedEvent(&opened, name.c_str()));
    EXPECT_EQ(nullptr, opened);  // cleared by the creator
    // A name the system refuses (a second '/') fails creation.
    XN_EVENT_HANDLE bad = nullptr;
    EXPECT_EQ(0x2001Eu, xnOSCreateNamedEventEx(&bad, "/a/b", FALSE, FALSE));
    EXPECT_EQ(nullptr, bad);
}

}  // namespace
