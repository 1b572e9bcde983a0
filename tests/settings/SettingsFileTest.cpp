#include <gtest/gtest.h>

#include <sys/stat.h>

#include <map>
#include <string>
#include <vector>

#include "LogCapture.h"
#include "RecordingDevice.h"
#include "SettingsFile.h"
#include "TempDir.h"

namespace settingstest {
namespace {

using Calls = std::vector<std::string>;

class SettingsFileTest : public ::testing::Test {
protected:
    // Writes the file and applies it to the device.
    int Apply(const std::string& json, const std::string& name = "settings.json") {
        const std::string path = dir.File(name);
        testsupport::WriteFile(path, json);
        return ApplySettingsFile(device, path.c_str(), device.Switches());
    }

    testsupport::LogCapture log;
    testsupport::TempDir dir;
    RecordingDevice device;
};

struct WalkCase {
    const char* name;
    const char* json;
    Calls calls;
    int result = 0;
    std::map<size_t, int> failures = {};
    const char* logLine = nullptr;  // a line the walk must have written, tag included
    int colorMode = 0;
    int tofMode = 0;
};

void PrintTo(const WalkCase& c, std::ostream* os) { *os << c.name; }

class SettingsWalkTable : public SettingsFileTest, public ::testing::WithParamInterface<WalkCase> {};

TEST_P(SettingsWalkTable, CallsInOrderAndResult) {
    const WalkCase& c = GetParam();
    device.failures = c.failures;
    device.colorMode = c.colorMode;
    device.tofMode = c.tofMode;
    EXPECT_EQ(Apply(c.json), c.result);
    EXPECT_EQ(device.calls, c.calls);
    if (c.logLine != nullptr) {
        EXPECT_TRUE(log.Contains(c.logLine)) << log.Text();
    }
}

const char kFullFile[] = R"({
  "SignalParams": {"Input_width": 5},
  "Filter": {"TimeFilter": true},
  "Control": {"WorkMode": "ActiveMode", "IRGmmGain": 4, "FrameRate": 30, "ColorResolution": "640*480"},
  "ExposureTime": {"ToF_ExposureMode": "Auto", "HDR_Mode": true}
})";

const WalkCase kWalkCases[] = {
    {"EmptyObject", "{}", {}, -15, {}, "<SN01> Json file is invalid"},
    {"EmptyArray", "[]", {}, -15, {}, "<SN01> Json file is invalid"},
    {"ArrayRoot", R"([{"Control": {"FrameRate": 5}}])", {}, -15, {}, "<SN01> Json file is invalid"},
    {"PlainValueRoot", "5", {}, -15, {}, "<SN01> Json file is invalid"},
    {"NotJson", R"({"Control": )", {}, -15, {}, "is failed:"},
    {"HdrBeforeControlWhateverTheOrder",
     R"({"Control": {"FrameRate": 30}, "ExposureTime": {"HDR_Mode": true}})",
     {"SetHDRModeEnabled(1)", "SetFrameRate(30)"}},
    {"NullHdrIsSkipped", R"({"ExposureTime": {"HDR_Mode": null}, "Control": {"IRGmmGain": 1}})", {"SetIRGMMGain(1)"}},
    {"ControlKeysInNameOrder",
     R"({"Control": {"WorkMode": "HardwareTriggerMode", "IRGmmGain": 5, "FrameRate": 10, "ColorResolution": "800*600"}})",
     {"SetColorResolution(800,600)", "SetFrameRate(10)", "SetIRGMMGain(5)", "SetWorkMode(1)"}},
    {"AllResolutionsAndWorkModes",
     R"({"Control": {"ColorResolution": "1600*1200", "WorkMode": "SoftwareTriggerMode"}})",
     {"SetColorResolution(1600,1200)", "SetWorkMode(2)"}},
    {"FrameRateZeroSendsNothing", R"({"Control": {"FrameRate": 0, "IRGmmGain": 3}})", {"SetIRGMMGain(3)"}},
    {"UnknownWorkModeFallsBackToActive",
     R"({"Control": {"WorkMode": "Sleep"}})",
     {"SetWorkMode(0)"},
     0,
     {},
     "<SN01> WorkMode set fail: Sleep"},
    {"ResolutionWithLetterXIsSkipped",
     R"({"Control": {"ColorResolution": "640x480", "FrameRate": 15}})",
     {"SetFrameRate(15)"},
     0,
     {},
     "<SN01> ColorResolution set fail: 640x480"},
    {"FailingFrameRateStopsEverything",
     kFullFile,
     {"SetHDRModeEnabled(1)", "SetColorResolution(640,480)", "SetFrameRate(30)"},
     -105,
     {{2, -105}},
     "<SN01> SetFrameRate fail : -105  "},
    {"FullFileInSectionOrder",
     kFullFile,
     {"SetHDRModeEnabled(1)", "SetColorResolution(640,480)", "SetFrameRate(30)", "SetIRGMMGain(4)", "SetWorkMode(0)",
      "SetExposureControlMode(1,0)", "SetTimeFilterParams(1,0)", "SetProperty(Py_MCUparameters,1,0,5,0)"}},
    {"MissingColourSensorEndsAtResolution",
     R"({"Control": {"ColorResolution": "800*600", "FrameRate": 5}, "ExposureTime": {"HDR_Mode": false}})",
     {"SetHDRModeEnabled(0)", "SetColorResolution(800,600)"},
     -20,
     {{1, -20}},
     "<SN01> SetColorResolution fail : -20"},
    {"FailingHdrIsReported",
     R"({"ExposureTime": {"HDR_Mode": true}, "Control": {"FrameRate": 5}})",
     {"SetHDRModeEnabled(1)"},
     -104,
     {{0, -104}},
     "<SN01> SetHDRModeEnabled fail : -104 "},
    {"ExposureKeysInNameOrder",
     R"({"ExposureTime": {"ToF_ExposureTime": 300, "ToF_ExposureMode": "Manual", "Color_ManualGain": 2.5,
                          "Color_ExposureTime": 100, "Color_ExposureMode": "Manual"}})",
     {"SetExposureControlMode(2,1)", "GetExposureControlMode(2)", "SetExposureTime(2,1,100)",
      "GetExposureControlMode(2)", "SetProperty(Py_ColorGain,2.5)", "SetExposureControlMode(1,1)",
      "GetExposureControlMode(1)", "SetExposureTime(1,1,300)"}},
    {"ColourTimeCarriesTheCurrentMode",
     R"({"ExposureTime": {"Color_ExposureTime": 40}})",
     {"GetExposureControlMode(2)", "SetExposureTime(2,0,40)"}},
    {"ManualGainInAutoExposureIsSkipped",
     R"({"ExposureTime": {"Color_ManualGain": 2.0}})",
     {"GetExposureControlMode(2)"}},
    {"ToFTimeInAutoExposureIsSkipped", R"({"ExposureTime": {"ToF_ExposureTime": 9}})", {"GetExposureControlMode(1)"}},
    {"UnknownToFModeKeepsTheSensorsMode",
     R"({"ExposureTime": {"ToF_ExposureMode": "Fast", "ToF_ExposureTime": 300}})",
     {"GetExposureControlMode(1)", "SetExposureTime(1,1,300)"},
     0,
     {},
     "<SN01> ToF_ExposureMode set fail: Fast",
     0,
     1},
    {"UnknownColourModeIsSkipped",
     R"({"ExposureTime": {"Color_ExposureMode": "auto", "Color_ManualGain": 1.5}})",
     {"GetExposureControlMode(2)", "SetProperty(Py_ColorGain,1.5)"},
     0,
     {},
     "<SN01> Color_ExposureMode set fail: auto",
     1},
    {"FailedQueryUsesTheModeTheFileSet",
     R"({"ExposureTime": {"Color_ExposureMode": "Manual", "Color_ExposureTime": 50, "Color_ManualGain": 3}})",
     {"SetExposureControlMode(2,1)", "GetExposureControlMode(2)", "SetExposureTime(2,1,50)",
      "GetExposureControlMode(2)", "SetProperty(Py_ColorGain,3)"},
     0,
     {{1, -105}, {3, -105}}},
    {"FailedQueryWithoutModeKeyUsesAuto",
     R"({"ExposureTime": {"Color_ExposureTime": 50, "Color_ManualGain": 3, "ToF_ExposureTime": 7}})",
     {"GetExposureControlMode(2)", "SetExposureTime(2,0,50)", "GetExposureControlMode(2)", "GetExposureControlMode(1)"},
     0,
     {{0, -1}, {2, -1}, {3, -1}},
     "GetExposureControlMode of sensor 1 fail : -1",
     1,
     1},
    {"FailingColourModeStopsTheWalk",
     R"({"ExposureTime": {"Color_ExposureMode": "Auto", "ToF_ExposureMode": "Auto"}})",
     {"SetExposureControlMode(2,0)"},
     -105,
     {{0, -105}},
     "<SN01> SetExposureControlMode - Color_ExposureMode fail: -105 "},
    {"FailingToFTime",
     R"({"ExposureTime": {"ToF_ExposureTime": 9}, "Filter": {"TimeFilter": true}})",
     {"GetExposureControlMode(1)", "SetExposureTime(1,1,9)"},
     -105,
     {{1, -105}},
     "<SN01> SetExposureTime - ToF_ExposureTime fail : -105 ",
     0,
     1},
    {"FailingColourGain",
     R"({"ExposureTime": {"Color_ManualGain": 1}})",
     {"GetExposureControlMode(2)", "SetProperty(Py_ColorGain,1)"},
     -7,
     {{1, -7}},
     "<SN01> SetColorGain fail : -7 ",
     1},
    {"OnlyTimeFilterWithThresholdZero", R"({"Filter": {"TimeFilter": true}})", {"SetTimeFilterParams(1,0)"}},
    {"FilterSwitchesThenPairsInOrder",
     R"({"Filter": {"TimeFilter_Threshold": 3, "SpatialFilter": false, "FlyingPixelFilter": true,
                    "FlyingPixelFilter_Threshold": 9, "Fillhole": true, "ConfidenceFilter_Threshold": 4}})",
     {"SetFillHoleFilterEnabled(1)", "SetSpatialFilterEnabled(0)", "SetConfidenceFilterParams(0,4)",
      "SetFlyingPixelFilterParams(1,9)", "SetTimeFilterParams(0,3)"}},
    {"FailingFillHoleLogsTheEnable",
     R"({"Filter": {"Fillhole": true, "SpatialFilter": true}})",
     {"SetFillHoleFilterEnabled(1)"},
     -255,
     {{0, -255}},
     "<SN01> QL_SetFillHoleFilterEnabled fail!  Fillhole: 1  "},
    {"FailingSpatialLogsTheEnable",
     R"({"Filter": {"SpatialFilter": false, "TimeFilter": true}})",
     {"SetSpatialFilterEnabled(0)"},
     -104,
     {{0, -104}},
     "<SN01> SetSpatialFilterEnabled fail! SpatialFilter: 0 "},
    {"FailingConfidenceLogsTheRecord",
     R"({"Filter": {"ConfidenceFilter_Threshold": 4, "TimeFilter": true}})",
     {"SetConfidenceFilterParams(0,4)"},
     -104,
     {{0, -104}},
     "<SN01> SetConfidenceFilterParams fail : -104 ConfidenceFilter: 0 ConfidenceFilter_Threshold: 4"},
    {"FailingTimeFilterLogsTheRecord",
     R"({"Filter": {"TimeFilter": true, "TimeFilter_Threshold": 6}})",
     {"SetTimeFilterParams(1,6)"},
     -104,
     {{0, -104}},
     "<SN01> SetTimeFilterParams fail : -104  TimeFilter: 1  TimeFilter_Threshold: 6"},
    {"SignalsKeepTheirLowBits",
     R"({"SignalParams": {"Output_delay": 70000, "Input_width": 5, "Output_polarity": 257}})",
     {"SetProperty(Py_MCUparameters,1,0,5,0)", "SetProperty(Py_MCUparameters,2,1,0,4464)"}},
    {"InputSignalWithAllKeys",
     R"({"SignalParams": {"Input_polarity": 1, "Input_width": 20, "Input_interval": 30}})",
     {"SetProperty(Py_MCUparameters,1,1,20,30)"}},
    {"FailingOutputSignal",
     R"({"SignalParams": {"Output_width": 2}})",
     {"SetProperty(Py_MCUparameters,2,0,2,0)"},
     -105,
     {{0, -105}},
     "<SN01> SetOutputSignalParamsForHWTrigger fail : -105 "},
    {"OtherMembersAndCommentsAreIgnored",
     R"({"Other": [1, 2], /* a note */ "Control": {"Nope": "x", "IRGmmGain": 2}, "Filter": {}})",
     {"SetIRGMMGain(2)"}},
};

INSTANTIATE_TEST_SUITE_P(Files, SettingsWalkTable, ::testing::ValuesIn(kWalkCases),
                         [](const ::testing::TestParamInfo<WalkCase>& info) { return std::string(info.param.name); });

// A value the field cannot carry refuses the whole file before anything is sent.
struct TypeCase {
    const char* name;
    const char* json;
    const char* logLine;
};

void PrintTo(const TypeCase& c, std::ostream* os) { *os << c.name; }

class WrongTypeTable : public SettingsFileTest, public ::testing::WithParamInterface<TypeCase> {};

TEST_P(WrongTypeTable, RefusedWithNothingSent) {
    EXPECT_EQ(Apply(GetParam().json), -15);
    EXPECT_TRUE(device.calls.empty());
    EXPECT_TRUE(log.Contains(GetParam().logLine)) << log.Text();
}

const TypeCase kTypeCases[] = {
    {"TextForNumber", R"({"ExposureTime": {"HDR_Mode": true}, "Control": {"FrameRate": "30"}})",
     "<SN01> Control.FrameRate has the wrong type"},
    {"TextForBool", R"({"ExposureTime": {"HDR_Mode": "yes"}})", "<SN01> ExposureTime.HDR_Mode has the wrong type"},
    {"NumberForText", R"({"Control": {"WorkMode": 1}})", "<SN01> Control.WorkMode has the wrong type"},
    {"NegativeUnsigned", R"({"SignalParams": {"Input_width": -1}})",
     "<SN01> SignalParams.Input_width has the wrong type"},
    {"NumberTooLargeForInt", R"({"Control": {"IRGmmGain": 1e20}})", "<SN01> Control.IRGmmGain has the wrong type"},
    {"ObjectForThreshold", R"({"Filter": {"TimeFilter_Threshold": {}}})",
     "<SN01> Filter.TimeFilter_Threshold has the wrong type"},
    {"ArrayForSection", R"({"ExposureTime": {"HDR_Mode": true}, "Control": [1]})", "<SN01> Control is not an object"},
    {"NumberForSection", R"({"Filter": 5})", "<SN01> Filter is not an object"},
};

INSTANTIATE_TEST_SUITE_P(Files, WrongTypeTable, ::testing::ValuesIn(kTypeCases),
                         [](const ::testing::TestParamInfo<TypeCase>& info) { return std::string(info.param.name); });

// The reader's nesting limit is far below this.
TEST_F(SettingsFileTest, DeepNestingIsRefusedNotThrown) {
    EXPECT_EQ(Apply("{\"Control\":" + std::string(5000, '[') + std::string(5000, ']') + "}"), -15);
    EXPECT_TRUE(log.Contains("is failed:")) << log.Text();
    EXPECT_TRUE(device.calls.empty());
}

const char kOneSetting[] = R"({"Control": {"IRGmmGain": 2}})";

// A path of exactly `length` characters to a file in the test's folder.
std::string PathOfLength(const testsupport::TempDir& dir, size_t length) {
    const std::string prefix = dir.Path() + "/";
    return prefix + std::string(length - prefix.size(), 'p');
}

TEST_F(SettingsFileTest, PathOf260CharactersIsAccepted) {
    const std::string path = PathOfLength(dir, 260);
    testsupport::WriteFile(path, kOneSetting);
    EXPECT_EQ(ApplySettingsFile(device, path.c_str(), device.Switches()), 0);
    EXPECT_EQ(device.calls, Calls{"SetIRGMMGain(2)"});
}

TEST_F(SettingsFileTest, PathOf261CharactersIsRefusedBeforeReading) {
    const std::string path = PathOfLength(dir, 261);
    testsupport::WriteFile(path, kOneSetting);
    EXPECT_EQ(CheckSettingsPath(path.c_str()), -18);
    EXPECT_EQ(ApplySettingsFile(device, path.c_str(), device.Switches()), -18);
    EXPECT_TRUE(device.calls.empty());
}

TEST_F(SettingsFileTest, NullPathIsRefused) {
    EXPECT_EQ(CheckSettingsPath(nullptr), -12);
    EXPECT_EQ(ApplySettingsFile(device, nullptr, device.Switches()), -12);
}

TEST_F(SettingsFileTest, BackslashesAreFolderSeparators) {
    ASSERT_EQ(mkdir(dir.File("sub").c_str(), 0755), 0);
    testsupport::WriteFile(dir.File("sub/s.json"), kOneSetting);
    std::string path = dir.File("sub/s.json");
    for (char& c : path)
        if (c == '/') c = '\\';
    EXPECT_EQ(ApplySettingsFile(device, path.c_str(), device.Switches()), 0);
    EXPECT_EQ(device.calls, Calls{"SetIRGMMGain(2)"});
}

TEST_F(SettingsFileTest, BareFileNameIsRefusedEvenWhenItExists) {
    testsupport::ScopedWorkingDirectory cwd(dir.Path());
    testsupport::WriteFile("s.json", kOneSetting);
    EXPECT_EQ(ApplySettingsFile(device, "s.json", device.Switches()), -15);
    EXPECT_TRUE(log.Contains("<SN01> JsonFileFullPath:s.json error")) << log.Text();
    EXPECT_TRUE(device.calls.empty());
}

TEST_F(SettingsFileTest, RelativePathWithFolderIsOpened) {
    testsupport::ScopedWorkingDirectory cwd(dir.Path());
    testsupport::WriteFile("s.json", kOneSetting);
    EXPECT_EQ(ApplySettingsFile(device, "./s.json", device.Switches()), 0);
    EXPECT_EQ(device.calls, Calls{"SetIRGMMGain(2)"});
}

TEST_F(SettingsFileTest, MissingFileLogsConvertedPathAndErrno) {
    const std::string path = dir.File("absent.json");
    std::string windows = path;
    windows[dir.Path().size()] = '\\';
    EXPECT_EQ(ApplySettingsFile(device, windows.c_str(), device.Switches()), -15);
    EXPECT_TRUE(log.Contains("<SN01> Open Json File:" + path + " error: 2")) << log.Text();
}

TEST_F(SettingsFileTest, FolderInPlaceOfFileIsRefused) {
    EXPECT_EQ(ApplySettingsFile(device, dir.Path().c_str(), device.Switches()), -15);
    EXPECT_TRUE(log.Contains("<SN01> Open Json File:" + dir.Path() + " error: 21")) << log.Text();
}

TEST_F(SettingsFileTest, OversizedFileIsRefused) {
    EXPECT_EQ(Apply(std::string(kOneSetting) + std::string(1 << 20, ' ')), -15);
    EXPECT_TRUE(log.Contains("is larger than")) << log.Text();
    EXPECT_TRUE(device.calls.empty());
}

TEST_F(SettingsFileTest, ParseFailureNamesCallersPath) {
    const std::string path = dir.File("bad.json");
    testsupport::WriteFile(path, "{\"Control\": }");
    EXPECT_EQ(ApplySettingsFile(device, path.c_str(), device.Switches()), -15);
    EXPECT_TRUE(log.Contains("<SN01> parse " + path + " is failed:")) << log.Text();
}

}  // namespace
}  // namespace settingstest
