#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "pathtools.h"

namespace {

namespace fs = std::filesystem;

TEST(ModuleDir, IsTheFolderOfTheExecutableHoldingTheCode) {
    const std::string folder = Path_GetModuleDir();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ('/', folder.front());
    EXPECT_NE('/', folder.back());
    EXPECT_EQ(fs::canonical("/proc/self/exe").parent_path(), fs::canonical(folder));
}

TEST(ModuleDir, IsTheFolderOfTheLibraryHoldingTheCode) {
    void* probe = dlopen(LOG_PROBE_MODULE, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(nullptr, probe) << dlerror();
    using ProbeFunction = const char* (*)();
    auto reportFolder = reinterpret_cast<ProbeFunction>(dlsym(probe, "ProbeModuleDir"));
    ASSERT_NE(nullptr, reportFolder);

    const std::string folder = reportFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(fs::canonical(LOG_PROBE_MODULE).parent_path(), fs::canonical(folder));
    EXPECT_NE(fs::canonical("/proc/self/exe").parent_path(), fs::canonical(folder));
}

}  // namespace
