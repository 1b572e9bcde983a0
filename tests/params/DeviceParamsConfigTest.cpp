#include <gtest/gtest.h>

#include <string>

#include "DeviceParamsConfig.h"
#include "TempDir.h"

namespace {

TEST(DeviceParamsConfigTest, DefaultsAsBuilt) {
    DeviceParamsConfig store;
    EXPECT_FALSE(store.LogToConsole);
    EXPECT_FALSE(store.m_iniLoaded);
    EXPECT_TRUE(store.IsCheckedInfoOK());
    EXPECT_EQ(store.DeviceType, 0);
    EXPECT_EQ(store.SessionCount, 0);
    EXPECT_EQ(store.DataMode, -255);
    const auto filters = store.GetFilterThreshold();
    const uint16_t expected[11] = {6, 3, 3, 4, 5, 5, 0, 5, 2, 1, 0};
    for (int i = 0; i < 11; ++i) EXPECT_EQ(filters.values[i], expected[i]) << i;
    const auto dual = store.GetDualFreqMode();
    EXPECT_EQ(dual.totalRange, 3);
    EXPECT_EQ(dual.range1, 0);
    EXPECT_EQ(dual.range2, 0);
    EXPECT_EQ(dual.range3, 0);
}

TEST(DeviceParamsConfigTest, SingletonIsCreatedAgainAfterRelease) {
    DeviceParamsConfig* first = DeviceParamsConfig::GetInstance();
    first->LogToConsole = true;
    EXPECT_EQ(DeviceParamsConfig::GetInstance(), first);
    DeviceParamsConfig::Release();
    DeviceParamsConfig::Release();  // a second release does nothing
    EXPECT_FALSE(DeviceParamsConfig::GetInstance()->LogToConsole);
    DeviceParamsConfig::Release();
}

class DeviceParamsFileTest : public ::testing::Test {
protected:
    void Write(const std::string& name, const std::string& text) { testsupport::WriteFile(dir.File(name), text); }
    testsupport::TempDir dir;
    DeviceParamsConfig store;
};

TEST_F(DeviceParamsFileTest, MissingFileChangesNothing) {
    store.ReadIni(dir.Path(), 18, 0);
    EXPECT_FALSE(store.m_iniLoaded);
    EXPECT_TRUE(store.IsCheckedInfoOK());
}

TEST_F(DeviceParamsFileTest, TypeWithoutFileReadsNothing) {
    Write("config_hx22.ini", "[settings]\nLogToConsole=1\n");
    store.ReadIni(dir.Path(), 13, 0);
    EXPECT_FALSE(store.m_iniLoaded);
    EXPECT_FALSE(store.LogToConsole);
}

TEST_F(DeviceParamsFileTest, MatchingFileFillsSettingsAndSession) {
    Write("config_hx11.ini",
          "[settings]\nDeviceType=15\nSessionCount=2\nLogToConsole=1\nReleaseVersion=7\n"
          "[session1]\nDataMode=5\nValidOutMode=a b\nS2_BG=0\nt1_threshold2=4000\n"
          "DepthIntrinsic=1,2,3,4,5,6,7,8,9,10,11\nDepthDistortion=0.5,0.25\n"
          "[session2]\nDataMode=9\n");
    store.ReadIni(dir.Path(), 15, 0);
    EXPECT_TRUE(store.m_iniLoaded);
    EXPECT_TRUE(store.IsCheckedInfoOK());
    EXPECT_TRUE(store.LogToConsole);
    EXPECT_EQ(store.ReleaseVersion, 7);
    EXPECT_EQ(store.DataMode, 5);
    EXPECT_EQ(store.ValidOutMode, "ab");
    EXPECT_FALSE(store.S2_BG);
    EXPECT_EQ(store.t1_threshold2, 4000);
    EXPECT_EQ(store.DepthRange, -255);  // missing keys keep their defaults
    // Nine intrinsics are kept; the list never runs past its member.
    EXPECT_DOUBLE_EQ(store.DepthIntrinsic[0], 1);
    EXPECT_DOUBLE_EQ(store.DepthIntrinsic[8], 9);
    EXPECT_DOUBLE_EQ(store.DepthDistortion[0], 0.5);
    EXPECT_DOUBLE_EQ(store.DepthDistortion[1], 0.25);
    EXPECT_DOUBLE_EQ(store.DepthDistortion[2], 0);
}

TEST_F(DeviceParamsFileTest, SessionNumberSelectsItsSection) {
    Write("config_zq520.ini", "[settings]\nDeviceType=21\nSessionCount=2\n[session2]\nDataMode=9\n");
    store.ReadIni(dir.Path(), 21, 1);
    EXPECT_EQ(store.DataMode, 9);
}

struct MismatchCase {
    const char* name;
    const char* settings;
    int session;
};

class DeviceParamsMismatchTest : public DeviceParamsFileTest, public ::testing::WithParamInterface<MismatchCase> {};

TEST_P(DeviceParamsMismatchTest, FileNotFittingTheCameraSkipsTheSession) {
    Write("config_hx23.ini", std::string("[settings]\n") + GetParam().settings +
                                 "LogToConsole=1\nReleaseVersion=3\n[session1]\nDataMode=5\n[session2]\nDataMode=6\n");
    store.ReadIni(dir.Path(), 19, GetParam().session);
    EXPECT_TRUE(store.m_iniLoaded);
    EXPECT_FALSE(store.IsCheckedInfoOK());
    EXPECT_EQ(store.DataMode, -255);
    EXPECT_TRUE(store.LogToConsole);  // still taken
    EXPECT_EQ(store.ReleaseVersion, 3);
}

const MismatchCase kMismatchCases[] = {
    {"OtherModel", "DeviceType=18\nSessionCount=2\n", 0},
    {"NoDeviceType", "SessionCount=2\n", 0},
    {"TooFewSessions", "DeviceType=19\nSessionCount=1\n", 2},
};

INSTANTIATE_TEST_SUITE_P(Cases, DeviceParamsMismatchTest, ::testing::ValuesIn(kMismatchCases),
                         [](const auto& info) { return std::string(info.param.name); });

struct ListCase {
    const char* text;
    double first;
    double second;
};

TEST_F(DeviceParamsFileTest, ListValueForms) {
    const ListCase cases[] = {
        {"5", 0, 0},        // no comma fills nothing
        {",1,2", 0, 0},     // a leading comma fills nothing
        {"1.5,x", 1.5, 0},  // an element that is not a number reads as 0
        {"-2,3e1", -2, 30},
    };
    for (const ListCase& c : cases) {
        DeviceParamsConfig fresh;
        Write("config_hx22.ini",
              std::string("[settings]\nDeviceType=18\nSessionCount=1\n[session1]\nDepthDistortion=") + c.text + "\n");
        fresh.ReadIni(dir.Path(), 18, 0);
        EXPECT_DOUBLE_EQ(fresh.DepthDistortion[0], c.first) << c.text;
        EXPECT_DOUBLE_EQ(fresh.DepthDistortion[1], c.second) << c.text;
    }
}

TEST_F(DeviceParamsFileTest, IntAndFlagValueForms) {
    Write("config_zq510.ini",
          "[settings]\nDeviceType=20\nSessionCount=1\n[session1]\nGmmGain=12abc\nPulseCount=abc\nSync=2\n");
    store.ReadIni(dir.Path(), 20, 0);
    EXPECT_EQ(store.GmmGain, 12);
    EXPECT_EQ(store.PulseCount, 0);
    EXPECT_TRUE(store.Sync);
}

}  // namespace
