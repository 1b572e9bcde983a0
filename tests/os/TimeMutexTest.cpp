// Time, memory and mutexes of the OS layer.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <thread>

#include "XnOS.h"

namespace {

TEST(TimeTest, InitialisedAtLoad) {
    EXPECT_TRUE(g_xnOSInitialized);
    EXPECT_TRUE(g_xnOSHighResGlobalTimer.bHighRes);
    EXPECT_NE(0, g_xnOSHighResGlobalTimer.tStartTime.tv_sec);
    XnOSTimer before = g_xnOSHighResGlobalTimer;
    EXPECT_EQ(0u, xnOSTimeInit());  // a second call does nothing
    EXPECT_EQ(before.tStartTime.tv_sec, g_xnOSHighResGlobalTimer.tStartTime.tv_sec);
    EXPECT_EQ(before.tStartTime.tv_nsec, g_xnOSHighResGlobalTimer.tStartTime.tv_nsec);
}

TEST(TimeTest, TimeStampsCountFromLoad) {
    XnUInt64 ms = 0, us = 0;
    EXPECT_EQ(0x10005u, xnOSGetTimeStamp(nullptr));
    EXPECT_EQ(0x10005u, xnOSGetHighResTimeStamp(nullptr));
    ASSERT_EQ(0u, xnOSGetTimeStamp(&ms));
    ASSERT_EQ(0u, xnOSGetHighResTimeStamp(&us));
    EXPECT_LT(ms, 60u * 1000u);  // the test process started moments ago
    EXPECT_GE(us / 1000 + 1, ms);
}

struct TimeoutCase {
    XnUInt32 ms;
    time_t sec;
    long nsec;
};

TEST(TimeTest, GetTimeoutTable) {
    const TimeoutCase cases[] = {
        {0, 0, 0},    {1, 0, 1000000},      {999, 0, 999000000},
        {1000, 1, 0}, {2500, 2, 500000000}, {0xFFFFFFFEu, 4294967, 294000000},
    };
    for (const auto& c : cases) {
        struct timespec t = {};
        EXPECT_EQ(0u, xnOSGetTimeout(&t, c.ms));
        EXPECT_EQ(c.sec, t.tv_sec) << c.ms;
        EXPECT_EQ(c.nsec, t.tv_nsec) << c.ms;
    }
}

TEST(TimeTest, GetAbsTimeoutCarriesNanoseconds) {
    // Loop until "now" was read with at least 0.5 s past its second, so 1999 ms must carry.
    for (XnUInt32 ms : {1999u, 999u, 1u, 0u, 60000u}) {
        struct timespec before, t, after;
        clock_gettime(CLOCK_REALTIME, &before);
        ASSERT_EQ(0u, xnOSGetAbsTimeout(&t, ms));
        clock_gettime(CLOCK_REALTIME, &after);
        EXPECT_GE(t.tv_nsec, 0);
        EXPECT_LT(t.tv_nsec, 1000000000L);
        auto toNs = [](const timespec& x) { return int64_t(x.tv_sec) * 1000000000LL + x.tv_nsec; };
        EXPECT_GE(toNs(t), toNs(before) + int64_t(ms) * 1000000LL) << ms;
        EXPECT_LE(toNs(t), toNs(after) + int64_t(ms) * 1000000LL) << ms;
    }
}

TEST(TimeTest, GetAbsTimeoutAtHalfPastASecond) {
    // Wait until the wall clock is at about 0.5 s past a second, then ask for 1999 ms.
    struct timespec now;
    for (;;) {
        clock_gettime(CLOCK_REALTIME, &now);
        if (now.tv_nsec >= 500000000L && now.tv_nsec < 550000000L) break;
        xnOSSleep(1);
    }
    struct timespec t;
    ASSERT_EQ(0u, xnOSGetAbsTimeout(&t, 1999));
    EXPECT_LT(t.tv_nsec, 1000000000L);
    EXPECT_EQ(now.tv_sec + 2, t.tv_sec);  // 0.5 + 1.999 = 2.499: carried into the seconds
    EXPECT_GE(t.tv_nsec, 499000000L);
    EXPECT_LT(t.tv_nsec, 560000000L);
}

TEST(TimeTest, TimerMillisecondsAndMicroseconds) {
    XnOSTimer ms = {}, us = {};
    EXPECT_EQ(0x10004u, xnOSStartTimer(nullptr));
    ASSERT_EQ(0u, xnOSStartTimer(&ms));
    ASSERT_EQ(0u, xnOSStartHighResTimer(&us));
    EXPECT_FALSE(ms.bHighRes);
    EXPECT_TRUE(us.bHighRes);
    xnOSSleep(30);
    XnUInt64 elapsedMs = 0, elapsedUs = 0;
    EXPECT_EQ(0x10005u, xnOSQueryTimer(ms, nullptr));
    ASSERT_EQ(0u, xnOSQueryTimer(ms, &elapsedMs));
    ASSERT_EQ(0u, xnOSQueryTimer(us, &elapsedUs));
    EXPECT_GE(elapsedMs, 29u);
    EXPECT_LT(elapsedMs, 2000u);
    EXPECT_GE(elapsedUs, 29000u);
    EXPECT_LT(elapsedUs, 2000000u);
    EXPECT_EQ(0u, xnOSStopTimer(&ms));
    EXPECT_EQ(0, ms.tStartTime.tv_sec);
    EXPECT_EQ(0, ms.bHighRes);
}

TEST(TimeTest, SleepAndEpoch) {
    XnOSTimer t;
    xnOSStartHighResTimer(&t);
    EXPECT_EQ(0u, xnOSSleep(20));
    XnUInt64 us = 0;
    xnOSQueryTimer(t, &us);
    EXPECT_GE(us, 19000u);
    XnUInt32 epoch = 0;
    EXPECT_EQ(0u, xnOSGetEpochTime(&epoch));
    EXPECT_GT(epoch, 1600000000u);
}

TEST(MemoryTest, AlignedAllocation) {
    void* p = xnOSMallocAligned(100, 64);
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(p) % 64);
    xnOSFreeAligned(p);
    unsigned char* z = static_cast<unsigned char*>(xnOSCallocAligned(10, 13, 32));
    ASSERT_NE(nullptr, z);
    for (int i = 0; i < 130; ++i) EXPECT_EQ(0, z[i]);
    xnOSFreeAligned(z);
    // count * size wraps: refused instead of a short block
    EXPECT_EQ(nullptr, xnOSCallocAligned(SIZE_MAX / 2, 3, 16));
    EXPECT_EQ(nullptr, xnOSReallocAligned(nullptr, 10, 16));
    EXPECT_EQ(nullptr, xnOSRecalloc(nullptr, 1, 10));
}

TEST(MemoryTest, EndianSwaps) {
    EXPECT_EQ(0x0807060504030201ull, xnOSEndianSwapUINT64(0x0102030405060708ull));
    EXPECT_EQ(0x04030201u, xnOSEndianSwapUINT32(0x01020304u));
    EXPECT_EQ(0x0201u, xnOSEndianSwapUINT16(0x0102u));
    float f = 1.0f;  // 0x3F800000
    float s = xnOSEndianSwapFLOAT(f);
    uint32_t bits;
    memcpy(&bits, &s, 4);
    EXPECT_EQ(0x0000803Fu, bits);
    unsigned char buf[4];
    xnOSMemSet(buf, 0xAB, sizeof(buf));
    EXPECT_EQ(0xAB, buf[3]);
}

TEST(EnvTest, EnvironmentVariable) {
    char buf[16];
    setenv("XN_OS_TEST_VAR", "value", 1);
    EXPECT_EQ(0u, xnOSGetEnvironmentVariable("XN_OS_TEST_VAR", buf, sizeof(buf)));
    EXPECT_STREQ("value", buf);
    EXPECT_EQ(0x10008u, xnOSGetEnvironmentVariable("XN_OS_TEST_VAR", buf, 5));
    unsetenv("XN_OS_TEST_VAR");
    EXPECT_EQ(0x2008Cu, xnOSGetEnvironmentVariable("XN_OS_TEST_VAR", buf, sizeof(buf)));
    EXPECT_EQ(0x10004u, xnOSGetEnvironmentVariable(nullptr, buf, sizeof(buf)));
}

TEST(MutexTest, NamedMutexRefusedInKitAndHandleUntouched) {
    XN_MUTEX_HANDLE sentinel = reinterpret_cast<XN_MUTEX_HANDLE>(0x1234);
    XN_MUTEX_HANDLE h = sentinel;
    EXPECT_EQ(0x20019u, xnOSCreateNamedMutex(&h, "kit_named"));
    EXPECT_EQ(sentinel, h);
    EXPECT_EQ(0x20019u, xnOSCreateNamedMutexEx(&h, "kit_named", TRUE));
    EXPECT_EQ(sentinel, h);
    EXPECT_EQ(0x10005u, xnOSCreateNamedMutex(nullptr, "kit_named"));
}

TEST(MutexTest, RecursiveLockAndOtherThreadTimesOut) {
    XN_MUTEX_HANDLE m = nullptr;
    ASSERT_EQ(0u, xnOSCreateMutex(&m));
    ASSERT_NE(nullptr, m);
    EXPECT_FALSE(m->bIsNamed);
    EXPECT_EQ(0u, xnOSLockMutex(m, XN_WAIT_INFINITE));
    EXPECT_EQ(0u, xnOSLockMutex(m, 0));
    XnStatus other = 0, afterUnlock = 1;
    std::thread t([&] { other = xnOSLockMutex(m, 50); });
    t.join();
    EXPECT_EQ(0x2001Cu, other);
    EXPECT_EQ(0u, xnOSUnLockMutex(m));
    EXPECT_EQ(0u, xnOSUnLockMutex(m));
    std::thread t2([&] {
        afterUnlock = xnOSLockMutex(m, 50);
        if (afterUnlock == 0) xnOSUnLockMutex(m);
    });
    t2.join();
    EXPECT_EQ(0u, afterUnlock);
    EXPECT_EQ(0u, xnOSCloseMutex(&m));
    EXPECT_EQ(nullptr, m);
}

TEST(MutexTest, NullHandles) {
    XN_MUTEX_HANDLE m = nullptr;
    EXPECT_EQ(0x10005u, xnOSCreateMutex(nullptr));
    EXPECT_EQ(0x10004u, xnOSCloseMutex(nullptr));
    EXPECT_EQ(0x2003Au, xnOSCloseMutex(&m));
    EXPECT_EQ(0x2003Au, xnOSLockMutex(nullptr, 0));
    EXPECT_EQ(0x2003Au, xnOSUnLockMutex(nullptr));
}

TEST(MutexTest, CriticalSection) {
    XN_CRITICAL_SECTION_HANDLE cs = nullptr;
    ASSERT_EQ(0u, xnOSCreateCriticalSection(&cs));
    EXPECT_EQ(0u, xnOSEnterCriticalSection(&cs));
    EXPECT_EQ(0u, xnOSEnterCriticalSection(&cs));
    EXPECT_EQ(0u, xnOSLeaveCriticalSection(&cs));
    EXPECT_EQ(0u, xnOSLeaveCriticalSection(&cs));
    EXPECT_EQ(0u, xnOSCloseCriticalSection(&cs));
    EXPECT_EQ(nullptr, cs);
}

}  // namespace
