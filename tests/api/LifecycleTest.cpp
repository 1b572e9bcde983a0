// Start-up and shut-down of the real kit, one process per test.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "TempDir.h"
#include "Torvane_api.h"

namespace {

using testsupport::TempDir;

TEST(ApiLifecycle, InitialiseWithLogFolderCreatesTheLogFile) {
    TempDir dir;
    ASSERT_EQ(QL_InitializeWithLogPath(dir.Path().c_str()), 0);
    const std::string text = testsupport::ReadFile(dir.File("QueltaSDK.txt"));
    EXPECT_NE(text.find("Version: 1.2.7"), std::string::npos);
    EXPECT_EQ(QL_Shutdown(), 0);
}

TEST(ApiLifecycle, SecondInitialisationIsRefused) {
    TempDir dir;
    ASSERT_EQ(QL_InitializeWithLogPath(dir.Path().c_str()), 0);
    EXPECT_EQ(QL_InitializeWithLogPath(dir.Path().c_str()), -101);
    EXPECT_EQ(QL_Initialize(), -101);
    EXPECT_EQ(QL_Shutdown(), 0);
    EXPECT_NE(testsupport::ReadFile(dir.File("QueltaSDK.txt")).find("ReInitialized,do not call QL_Shutdown"),
              std::string::npos);
}

TEST(ApiLifecycle, ShutdownTwice) {
    TempDir dir;
    ASSERT_EQ(QL_InitializeWithLogPath(dir.Path().c_str()), 0);
    EXPECT_EQ(QL_Shutdown(), 0);
    EXPECT_EQ(QL_Shutdown(), -102);
    uint32_t count = 0;
    EXPECT_EQ(QL_GetDeviceCount(&count), -102);
}

TEST(ApiLifecycle, PlainInitialiseAfterShutdownKeepsTheFolder) {
    TempDir dir;
    ASSERT_EQ(QL_InitializeWithLogPath(dir.Path().c_str()), 0);
    ASSERT_EQ(QL_Shutdown(), 0);
    ASSERT_EQ(QL_Initialize(), 0);
    ASSERT_EQ(QL_Shutdown(), 0);
    const std::string text = testsupport::ReadFile(dir.File("QueltaSDK.txt"));
    EXPECT_NE(text.find("Version: 1.2.7"), text.rfind("Version: 1.2.7")) << "both starts log there";
}

TEST(ApiLifecycle, LogFolderThatCannotBeCreated) {
    TempDir dir;
    testsupport::WriteFile(dir.File("file"), "x");
    EXPECT_EQ(QL_InitializeWithLogPath(dir.File("file/log").c_str()), -24);
    uint32_t count = 0;
    EXPECT_EQ(QL_GetDeviceCount(&count), -102) << "the kit stays uninitialised";
}

TEST(ApiLifecycle, LogFileThatCannotBeOpened) {
    TempDir dir;
    ASSERT_EQ(mkdir(dir.File("QueltaSDK.txt").c_str(), 0755), 0);
    EXPECT_EQ(QL_InitializeWithLogPath(dir.Path().c_str()), -25);
    EXPECT_EQ(QL_Shutdown(), -102);
}

}  // namespace
