#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <string>

#include "TempDir.h"
#include "log.h"
#include "pathtools.h"

namespace {

// Points the home folder at a temporary one for one test.
class FakeHome : public ::testing::Test {
protected:
    void UseHome(const std::string& home) {
        homefolder::SetSource([home] { return home; });
    }
    void TearDown() override {
        LogCustom::Release();
        homefolder::SetSource(nullptr);
    }
    static bool IsDirectory(const std::string& path) {
        struct stat info {};
        return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    }

    testsupport::TempDir m_home;
};

struct AppDataCase {
    const char* name;
    std::function<void(const std::string& home)> prepare;
    bool expectFolder;
};

void PrintTo(const AppDataCase& c, std::ostream* out) { *out << c.name; }

class AppDataFolder : public FakeHome, public ::testing::WithParamInterface<AppDataCase> {};

TEST_P(AppDataFolder, IsCreatedOnlyUnderAnExistingConfigFolder) {
    GetParam().prepare(m_home.Path());
    UseHome(m_home.Path());
    const std::string expected = m_home.Path() + "/.config/Quelta";

    const std::string folder = GetAppDataDirectory();

    if (GetParam().expectFolder) {
        EXPECT_EQ(expected, folder);
        EXPECT_TRUE(IsDirectory(expected));
        EXPECT_EQ(expected + "/Config/", GetConfigPath());
    } else {
        EXPECT_EQ("", folder);
        EXPECT_FALSE(IsDirectory(expected));
        EXPECT_EQ("", GetConfigPath());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Homes, AppDataFolder,
    ::testing::Values(
        AppDataCase{"ConfigPresent", [](const std::string& home) { mkdir((home + "/.config").c_str(), 0777); }, true},
        AppDataCase{"AlreadyThere",
                    [](const std::string& home) {
                        mkdir((home + "/.config").c_str(), 0777);
                        mkdir((home + "/.config/Quelta").c_str(), 0777);
                    },
                    true},
        AppDataCase{"ConfigMissing", [](const std::string&) {}, false},
        AppDataCase{"ConfigIsAFile", [](const std::string& home) { testsupport::WriteFile(home + "/.config", "x"); },
                    false}),
    [](const ::testing::TestParamInfo<AppDataCase>& info) { return std::string(info.param.name); });

TEST_F(FakeHome, EmptyHomeGivesNoFolder) {
    UseHome("");
    EXPECT_EQ("", GetAppDataDirectory());
    EXPECT_EQ("", GetConfigPath());
}

TEST_F(FakeHome, DefaultLogFolderIsCreatedUnderTheApplicationDataFolder) {
    mkdir(m_home.File(".config").c_str(), 0777);
    UseHome(m_home.Path());

    ASSERT_EQ(0, LogCustom::Initance("", "QueltaSDK", "QueltaSDK", false));
    LogCustom::Printf("into the default folder\n");
    LogCustom::Release();

    const std::string content = testsupport::ReadFile(m_home.Path() + "/.config/Quelta/Log/QueltaSDK.txt");
    EXPECT_NE(std::string::npos, content.find(" into the default folder\n"));
}

}  // namespace
