#include <sys/ipc.h>
#include <sys/mman.h>
#include <sys/sem.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>

#include "ChildProcess.h"
#include "NamedObjectNames.h"
#include "XnOS.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kChildMs = 10000;
enum : int32_t { kReady = 1, kGo = 2 };

int RegistrationCount(const XN_MUTEX_HANDLE mutex) { return semctl(mutex->NamedSem, 1, GETVAL); }

TEST(SysVNamedMutex, HandlesOfOneNameShareASetUntilTheLastClose) {
    NamedObjectNames names;
    const std::string name = names.New("share");
    const std::string keyFile = NamedObjectNames::MutexKeyFile(name);
    XN_MUTEX_HANDLE first = nullptr;
    ASSERT_EQ(xnOSCreateNamedMutex(&first, name.c_str()), XN_STATUS_OK);
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->bIsNamed);
    EXPECT_EQ(RegistrationCount(first), 1);
    const int semId = first->NamedSem;

    ChildProcess child([&](const Channel& link) {
        XN_MUTEX_HANDLE own = nullptr;
        if (xnOSCreateNamedMutexEx(&own, name.c_str(), TRUE) != XN_STATUS_OK) return 1;
        link.Send(own->NamedSem);
        int32_t go = 0;
        if (!link.Receive(&go, kChildMs)) return 2;
        if (xnOSCloseMutex(&own) != XN_STATUS_OK || own != nullptr) return 3;
        return 0;
    });
    int32_t childSem = -1;
    ASSERT_TRUE(child.Link().Receive(&childSem, kChildMs));
    EXPECT_EQ(childSem, semId);
    EXPECT_EQ(RegistrationCount(first), 2);

    // The child's close leaves the set and key file to the handle still open.
    child.Link().Send(kGo);
    ASSERT_EQ(child.Wait(kChildMs), 0);
    EXPECT_EQ(RegistrationCount(first), 1);
    EXPECT_TRUE(FileExists(keyFile));

    ASSERT_EQ(xnOSCloseMutex(&first), XN_STATUS_OK);
    EXPECT_EQ(first, nullptr);
    EXPECT_EQ(semctl(semId, 0, GETVAL), -1);
    EXPECT_FALSE(FileExists(keyFile));
}

TEST(SysVNamedMutex, TimedLockAgainstAnotherProcessTimesOutThenSucceeds) {
    NamedObjectNames names;
    const std::string name = names.New("timed");
    ChildProcess holder([&](const Channel& link) {
        XN_MUTEX_HANDLE own = nullptr;
        if (xnOSCreateNamedMutex(&own, name.c_str()) != XN_STATUS_OK) return 1;
        if (xnOSLockMutex(own, XN_WAIT_INFINITE) != XN_STATUS_OK) return 2;
        link.Send(kReady);
        int32_t go = 0;
        if (!link.Receive(&go, kChildMs)) return 3;
        if (xnOSUnLockMutex(own) != XN_STATUS_OK) return 4;
        return xnOSCloseMutex(&own) == XN_STATUS_OK ? 0 : 5;
    });
    int32_t ready = 0;
    ASSERT_TRUE(holder.Link().Receive(&ready, kChildMs));

    XN_MUTEX_HANDLE mutex = nullptr;
    ASSERT_EQ(xnOSCreateNamedMutex(&mutex, name.c_str()), XN_STATUS_OK);
    const auto begin = Clock::now();
    EXPECT_EQ(xnOSLockMutex(mutex, 200), XN_STATUS_OS_MUTEX_TIMEOUT);
    EXPECT_GE(Clock::now() - begin, std::chrono::milliseconds(150));
    EXPECT_EQ(xnOSLockMutex(mutex, 0), XN_STATUS_OS_MUTEX_TIMEOUT);

    holder.Link().Send(kGo);
    EXPECT_EQ(xnOSLockMutex(mutex, 5000), XN_STATUS_OK);
    EXPECT_EQ(holder.Wait(kChildMs), 0);
    EXPECT_EQ(xnOSUnLockMutex(mutex), XN_STATUS_OK);
    EXPECT_EQ(xnOSCloseMutex(&mutex), XN_STATUS_OK);
}

TEST(SysVNamedMutex, AKilledHolderReleasesItsLockAndRegistration) {
    NamedObjectNames names;
    const std::string name = names.New("killed");
    XN_MUTEX_HANDLE mutex = nullptr;
    ASSERT_EQ(xnOSCreateNamedMutex(&mutex, name.c_str()), XN_STATUS_OK);
    ChildProcess holder([&](const Channel& link) {
        XN_MUTEX_HANDLE own = nullptr;
        if (xnOSCreateNamedMutex(&own, name.c_str()) != XN_STATUS_OK) return 1;
        if (xnOSLockMutex(own, XN_WAIT_INFINITE) != XN_STATUS_OK) return 2;
        link.Send(kReady);
        int32_t never = 0;
        link.Receive(&never, kChildMs);
        return 3;
    });
    int32_t ready = 0;
    ASSERT_TRUE(holder.Link().Receive(&ready, kChildMs));
    EXPECT_EQ(RegistrationCount(mutex), 2);
    EXPECT_EQ(xnOSLockMutex(mutex, 0), XN_STATUS_OS_MUTEX_TIMEOUT);

    holder.Kill();
    EXPECT_EQ(holder.Wait(kChildMs), -1);
    EXPECT_EQ(xnOSLockMutex(mutex, 5000), XN_STATUS_OK);
    EXPECT_EQ(RegistrationCount(mutex), 1);
    EXPECT_EQ(xnOSUnLockMutex(mutex), XN_STATUS_OK);
    EXPECT_EQ(xnOSCloseMutex(&mutex), XN_STATUS_OK);
    EXPECT_FALSE(FileExists(NamedObjectNames::MutexKeyFile(name)));
}

// Processes incrementing one shared counter under the mutex lose no increment.
TEST(SysVNamedMutex, ExcludesOtherProcesses) {
    NamedObjectNames names;
    const std::string name = names.New("exclusion");
    void* shared = mmap(nullptr, sizeof(int), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(shared, MAP_FAILED);
    volatile int* counter = static_cast<volatile int*>(shared);
    *counter = 0;
    constexpr int kRounds = 2000;
    const auto worker = [&](const Channel&) {
        XN_MUTEX_HANDLE own = nullptr;
        if (xnOSCreateNamedMutex(&own, name.c_str()) != XN_STATUS_OK) return 1;
        for (int i = 0; i < kRounds; ++i) {
            if (xnOSLockMutex(own, 5000) != XN_STATUS_OK) return 2;
            const int seen = *counter;
            if (i % 64 == 0) usleep(50);  // widen the window a lost update needs
            *counter = seen + 1;
            if (xnOSUnLockMutex(own) != XN_STATUS_OK) return 3;
        }
        return xnOSCloseMutex(&own) == XN_STATUS_OK ? 0 : 4;
    };
    {
        ChildProcess a(worker);
        ChildProcess b(worker);
        ChildProcess c(worker);
        EXPECT_EQ(a.Wait(60000), 0);
        EXPECT_EQ(b.Wait(60000), 0);
        EXPECT_EQ(c.Wait(60000), 0);
    }
    EXPECT_EQ(*counter, 3 * kRounds);
    munmap(shared, sizeof(int));
    EXPECT_FALSE(FileExists(NamedObjectNames::MutexKeyFile(name)));
}

TEST(SysVNamedMutex, SlashesInTheNameBecomeUnderscores) {
    NamedObjectNames names;
    const std::string base = names.New("slash");
    names.Adopt(base + "_a_b");
    XN_MUTEX_HANDLE mutex = nullptr;
    ASSERT_EQ(xnOSCreateNamedMutex(&mutex, (base + "/a/b").c_str()), XN_STATUS_OK);
    EXPECT_STREQ(mutex->csSemFileName, NamedObjectNames::MutexKeyFile(base + "_a_b").c_str());
    EXPECT_TRUE(FileExists(NamedObjectNames::MutexKeyFile(base + "_a_b")));
    EXPECT_EQ(xnOSCloseMutex(&mutex), XN_STATUS_OK);
    EXPECT_FALSE(FileExists(NamedObjectNames::MutexKeyFile(base + "_a_b")));
}

// The key-file path holds 255 characters: a name that does not fit is refused, never cut to
// the key file of some other name.
TEST(SysVNamedMutex, RefusesNamesWhoseKeyFileDoesNotFit) {
    NamedObjectNames names;
    const std::string base = names.New("long");
    const size_t fixedLength = NamedObjectNames::MutexKeyFile("").size();
    struct LengthCase {
        size_t pathLength;
        XnStatus expected;
    };
    const LengthCase cases[] = {
        {255, XN_STATUS_OK},
        {256, XN_STATUS_OS_MUTEX_CREATION_FAILED},
        {fixedLength + 255, XN_STATUS_OS_MUTEX_CREATION_FAILED},
        {fixedLength + 256, XN_STATUS_OS_MUTEX_CREATION_FAILED},
        {fixedLength + 1000, XN_STATUS_OS_MUTEX_CREATION_FAILED},
    };
    for (const LengthCase& c : cases) {
        SCOPED_TRACE(c.pathLength);
        const std::string name = base + std::string(c.pathLength - fixedLength - base.size(), 'x');
        names.Adopt(name);
        const std::string keyFile = NamedObjectNames::MutexKeyFile(name);
        ASSERT_EQ(keyFile.size(), c.pathLength);
        XN_MUTEX_HANDLE mutex = reinterpret_cast<XN_MUTEX_HANDLE>(&names);  // must stay untouched
        EXPECT_EQ(xnOSCreateNamedMutex(&mutex, name.c_str()), c.expected);
        if (c.expected == XN_STATUS_OK) {
            EXPECT_TRUE(FileExists(keyFile));
            EXPECT_EQ(xnOSCloseMutex(&mutex), XN_STATUS_OK);
        } else {
            EXPECT_EQ(mutex, reinterpret_cast<XN_MUTEX_HANDLE>(&names));
            const std::string cut = keyFile.substr(0, 255);
            EXPECT_FALSE(FileExists(cut));
            EXPECT_FALSE(FileExists(cut.substr(0, 254)));
        }
    }
}

TEST(SysVNamedMutex, CreationFailures) {
    NamedObjectNames names;
    XN_MUTEX_HANDLE mutex = nullptr;
    EXPECT_EQ(xnOSCreateNamedMutex(nullptr, "x"), XN_STATUS_NULL_OUTPUT_PTR);
    EXPECT_EQ(xnOSCreateNamedMutex(&mutex, nullptr), XN_STATUS_NULL_INPUT_PTR);
    EXPECT_EQ(mutex, nullptr);

    // A folder where the key file belongs cannot be opened as one.
    const std::string name = names.New("keyfolder");
    const std::string keyFile = NamedObjectNames::MutexKeyFile(name);
    ASSERT_EQ(mkdir(keyFile.c_str(), 0700), 0);
    EXPECT_EQ(xnOSCreateNamedMutex(&mutex, name.c_str()), XN_STATUS_OS_FILE_OPEN_FAILED);
    EXPECT_EQ(mutex, nullptr);
    rmdir(keyFile.c_str());
}

// A set removed behind the handle's back: every operation reports its failure, and a failed
// close keeps the record.
TEST(SysVNamedMutex, ReportsFailuresOfARemovedSet) {
    NamedObjectNames names;
    const std::string name = names.New("removed");
    XN_MUTEX_HANDLE mutex = nullptr;
    ASSERT_EQ(xnOSCreateNamedMutex(&mutex, name.c_str()), XN_STATUS_OK);
    ASSERT_EQ(semctl(mutex->NamedSem, 0, IPC_RMID), 0);
    EXPECT_EQ(xnOSLockMutex(mutex, XN_WAIT_INFINITE), XN_STATUS_OS_MUTEX_LOCK_FAILED);
    EXPECT_EQ(xnOSLockMutex(mutex, 100), XN_STATUS_OS_MUTEX_LOCK_FAILED);
    EXPECT_EQ(xnOSUnLockMutex(mutex), XN_STATUS_OS_MUTEX_UNLOCK_FAILED);
    XN_MUTEX_HANDLE kept = mutex;
    EXPECT_EQ(xnOSCloseMutex(&mutex), XN_STATUS_OS_MUTEX_CLOSE_FAILED);
    EXPECT_EQ(mutex, kept);
    close(kept->hSemFile);
    xnOSFree(kept);
}

}  // namespace
