// Starts that fail: a kit whose folder holds no Config/, a log folder or file that cannot be
// opened. Each is a copy of the kit library in a folder of its own, loaded with dlopen.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <thread>

#include "Eventually.h"
#include "ProcessProbes.h"
#include "TempDir.h"
#include "ThreadCount.h"

namespace {

namespace fs = std::filesystem;

constexpr uint16_t kDiscoveryPort = 9007;

// The kit copied into a temporary folder (without Config/ beside it) and loaded from there.
class KitCopy {
public:
    KitCopy() {
        const std::string copy = dir.File("libTorvane_api.so");
        fs::copy_file(KIT_LIBRARY_PATH, copy);
        m_kit = dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
        EXPECT_NE(m_kit, nullptr) << dlerror();
        if (!m_kit) return;
        init = reinterpret_cast<Init>(dlsym(m_kit, "QL_InitializeWithLogPath"));
        initialize = reinterpret_cast<Plain>(dlsym(m_kit, "QL_Initialize"));
        shutdown = reinterpret_cast<Plain>(dlsym(m_kit, "QL_Shutdown"));
        count = reinterpret_cast<Count>(dlsym(m_kit, "QL_GetDeviceCount"));
    }
    bool Loaded() const { return init && initialize && shutdown && count; }
    // The product profiles that ship with the kit, beside the copy.
    void PlaceProfiles() const { fs::copy(fs::path(KIT_LIBRARY_PATH).parent_path() / "Config", dir.File("Config")); }

    using Init = int (*)(const char*);
    using Plain = int (*)();
    using Count = int (*)(uint32_t*);
    testsupport::TempDir dir;
    Init init = nullptr;
    Plain initialize = nullptr;
    Plain shutdown = nullptr;
    Count count = nullptr;

private:
    // Never unloaded: the kit's statics stay valid for the process.
    void* m_kit = nullptr;
};

TEST(ApiNoProfile, InitialiseGivesMinus21EveryTime) {
    KitCopy kit;
    ASSERT_TRUE(kit.Loaded());

    EXPECT_EQ(kit.init(kit.dir.Path().c_str()), -21);
    EXPECT_EQ(kit.initialize(), -21);
    uint32_t cameras = 0;
    EXPECT_EQ(kit.count(&cameras), -102);
    EXPECT_EQ(kit.shutdown(), -102);
    EXPECT_NE(testsupport::ReadFile(kit.dir.File("QueltaSDK.txt")).find("IsProductProfileEmpty:1"), std::string::npos);
}

// What this process holds of the kit's making.
struct Held {
    int threads;
    std::set<int> fds;
    bool discoveryBound;
};

Held Now(int settleAt) {
    return {testsupport::ThreadCountSettledAt(settleAt), testsupport::OpenFds(),
            testsupport::UdpPortBound(kDiscoveryPort)};
}

void ExpectSame(const Held& before, const Held& after, const std::string& when) {
    EXPECT_EQ(after.threads, before.threads) << when;
    EXPECT_EQ(after.fds, before.fds) << when;
    for (int fd : after.fds) {
        if (!before.fds.count(fd)) ADD_FAILURE() << when << ": fd " << fd << " " << testsupport::FdTarget(fd);
    }
    EXPECT_FALSE(after.discoveryBound) << when;
}

TEST(ApiFailedStart, LeavesNothingBehindAndSucceedsOnceTheCauseIsFixed) {
    struct Case {
        const char* name;
        int result;
        // Sets the cause up and returns the log folder to start with.
        std::function<std::string(const KitCopy&)> cause;
        std::function<void(const KitCopy&)> fix;
    };
    const Case cases[] = {
        {"no Config folder", -21, [](const KitCopy& kit) { return kit.dir.Path(); },
         [](const KitCopy& kit) { kit.PlaceProfiles(); }},
        {"log folder under a file", -24,
         [](const KitCopy& kit) {
             kit.PlaceProfiles();
             testsupport::WriteFile(kit.dir.File("logs"), "x");
             return kit.dir.File("logs/kit");
         },
         [](const KitCopy& kit) {
             fs::remove(kit.dir.File("logs"));
             fs::create_directory(kit.dir.File("logs"));
         }},
        {"log file is a folder", -25,
         [](const KitCopy& kit) {
             kit.PlaceProfiles();
             fs::create_directory(kit.dir.File("QueltaSDK.txt"));
             return kit.dir.Path();
         },
         [](const KitCopy& kit) { fs::remove(kit.dir.File("QueltaSDK.txt")); }},
    };
    // A thread runtime (TSan's) starts a thread of its own with the first thread: let it
    // start before the counts are taken.
    std::thread([] {}).join();
    for (const Case& c : cases) {
        KitCopy kit;
        ASSERT_TRUE(kit.Loaded()) << c.name;
        const std::string logFolder = c.cause(kit);
        const Held before = Now(testsupport::ThreadCount());
        ASSERT_FALSE(before.discoveryBound) << c.name;

        EXPECT_EQ(kit.init(logFolder.c_str()), c.result) << c.name;
        ExpectSame(before, Now(before.threads), std::string(c.name) + ", after the failed start");
        EXPECT_EQ(kit.shutdown(), -102) << c.name;

        c.fix(kit);
        ASSERT_EQ(kit.init(logFolder.c_str()), 0) << c.name;
        // Discovery binds on its own thread.
        EXPECT_TRUE(testsupport::Eventually([] { return testsupport::UdpPortBound(kDiscoveryPort); })) << c.name;
        uint32_t cameras = 7;
        EXPECT_EQ(kit.count(&cameras), 0) << c.name;
        EXPECT_EQ(cameras, 0u) << c.name;
        ASSERT_EQ(kit.shutdown(), 0) << c.name;
        ExpectSame(before, Now(before.threads), std::string(c.name) + ", after the shut-down");
    }
}

}  // namespace
