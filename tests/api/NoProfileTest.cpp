// A kit whose folder holds no Config/: initialisation gives -21 and the kit stays so.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "TempDir.h"

namespace {

TEST(ApiNoProfile, InitialiseGivesMinus21EveryTime) {
    testsupport::TempDir dir;
    const std::string copy = dir.File("libTorvane_api.so");
    std::filesystem::copy_file(KIT_LIBRARY_PATH, copy);
    void* kit = dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(kit, nullptr) << dlerror();
    using Init = int (*)(const char*);
    using Plain = int (*)();
    using Count = int (*)(uint32_t*);
    const auto init = reinterpret_cast<Init>(dlsym(kit, "QL_InitializeWithLogPath"));
    const auto initialize = reinterpret_cast<Plain>(dlsym(kit, "QL_Initialize"));
    const auto shutdown = reinterpret_cast<Plain>(dlsym(kit, "QL_Shutdown"));
    const auto count = reinterpret_cast<Count>(dlsym(kit, "QL_GetDeviceCount"));
    ASSERT_TRUE(init && initialize && shutdown && count);

    EXPECT_EQ(init(dir.Path().c_str()), -21);
    EXPECT_EQ(initialize(), -21);
    uint32_t cameras = 0;
    EXPECT_EQ(count(&cameras), -102);
    EXPECT_EQ(shutdown(), -102);
    EXPECT_NE(testsupport::ReadFile(dir.File("QueltaSDK.txt")).find("IsProductProfileEmpty:1"), std::string::npos);
    // The kit is never unloaded: its threads run until the process ends.
}

}  // namespace
