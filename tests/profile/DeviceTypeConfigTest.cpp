#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DeviceTypeConfig.h"
#include "LinkTypeMap.h"
#include "TempDir.h"

namespace {

using Names = std::vector<std::string>;

struct ProfileCase {
    const char* name;
    const char* json;
    bool parsed;  // the profile's fields were taken
    const char* productName;
    QlLinkType linkType;
    Names tof;
    Names color;
};

class DeviceTypeConfigTest : public ::testing::TestWithParam<ProfileCase> {
protected:
    std::string Write(const std::string& json) {
        const std::string path = m_dir.File("Quelta_11.json");
        testsupport::WriteFile(path, json);
        return path;
    }

    testsupport::TempDir m_dir;
};

TEST_P(DeviceTypeConfigTest, ReadsWhatTheProfileHolds) {
    const ProfileCase& c = GetParam();
    const std::string path = Write(c.json);
    DeviceTypeConfig config;
    EXPECT_TRUE(config.Init(path));  // the file opened, whether or not it parsed
    EXPECT_EQ(config.GetConfigFilePath(), c.parsed ? path : std::string());
    EXPECT_EQ(config.GetProductName(), c.productName);
    EXPECT_EQ(config.GetLinkType(), c.linkType);
    EXPECT_EQ(config.GetToFType(), c.tof);
    EXPECT_EQ(config.GetColorType(), c.color);
}

const char* const kSocketProfile = R"({
  "productName": "Quelta Q1",
  "connectType": "socket",
  // comments are allowed and dropped
  "toFSensor": [{"type": "imx570"}, {"type": "imx571"}],
  "colorSensor": [{"type": "rc1720", "resolutionList": ["1920*1080", "1280*720"]}]
})";

INSTANTIATE_TEST_SUITE_P(
    Profiles, DeviceTypeConfigTest,
    ::testing::Values(
        ProfileCase{"SocketWithTwoToFSensors",
                    kSocketProfile,
                    true,
                    "Quelta Q1",
                    QlLinkTypeSocket,
                    {"imx570", "imx571"},
                    {"rc1720"}},
        ProfileCase{"Usb",
                    R"({"productName":"U","connectType":"usb","toFSensor":[{"type":"imx570"}]})",
                    true,
                    "U",
                    QlLinkTypeUsb,
                    {"imx570"},
                    {}},
        ProfileCase{"Mipi", R"({"productName":"M","connectType":"mipi"})", true, "M", QlLinkTypeMipi, {}, {}},
        ProfileCase{"UnknownLinkType",
                    R"({"productName":"X","connectType":"serial","toFSensor":[]})",
                    true,
                    "X",
                    QlLinkTypeUnknown,
                    {},
                    {}},
        ProfileCase{"LinkTypeIsCaseSensitive",
                    R"({"productName":"X","connectType":"Socket"})",
                    true,
                    "X",
                    QlLinkTypeUnknown,
                    {},
                    {}},
        ProfileCase{"NoColourKey",
                    R"({"productName":"T","connectType":"socket","toFSensor":[{"type":"imx570"}]})",
                    true,
                    "T",
                    QlLinkTypeSocket,
                    {"imx570"},
                    {}},
        ProfileCase{"NotJson", "{\"productName\": ", false, "", QlLinkTypeUnknown, {}, {}},
        ProfileCase{"EmptyFile", "", false, "", QlLinkTypeUnknown, {}, {}},
        ProfileCase{"RootIsAnArray", R"([{"productName":"A"}])", false, "", QlLinkTypeUnknown, {}, {}},
        ProfileCase{"ProductNameMissing", R"({"connectType":"socket"})", false, "", QlLinkTypeUnknown, {}, {}},
        ProfileCase{"ProductNameIsANumber",
                    R"({"productName":17,"connectType":"socket"})",
                    false,
                    "",
                    QlLinkTypeUnknown,
                    {},
                    {}},
        ProfileCase{"ConnectTypeIsAnArray",
                    R"({"productName":"A","connectType":["socket"]})",
                    false,
                    "",
                    QlLinkTypeUnknown,
                    {},
                    {}},
        ProfileCase{"ToFSensorIsAnObject",
                    R"({"productName":"A","connectType":"socket","toFSensor":{"type":"imx570"}})",
                    false,
                    "",
                    QlLinkTypeUnknown,
                    {},
                    {}},
        ProfileCase{"ToFEntryIsAText",
                    R"({"productName":"A","connectType":"socket","toFSensor":["imx570"]})",
                    false,
                    "",
                    QlLinkTypeUnknown,
                    {},
                    {}},
        ProfileCase{"ToFTypeIsANumber",
                    R"({"productName":"A","connectType":"socket","toFSensor":[{"type":"imx570"},{"type":5}]})",
                    false,
                    "",
                    QlLinkTypeUnknown,
                    {},
                    {}},
        ProfileCase{"ColourEntryWithoutType",
                    R"({"productName":"A","connectType":"socket","colorSensor":[{"resolutionList":[]}]})",
                    false,
                    "",
                    QlLinkTypeUnknown,
                    {},
                    {}}),
    [](const ::testing::TestParamInfo<ProfileCase>& info) { return std::string(info.param.name); });

TEST(DeviceTypeConfig, UnopenableFileGivesFalse) {
    testsupport::TempDir dir;
    testsupport::WriteFile(dir.File("plain"), "x");
    DeviceTypeConfig config;
    EXPECT_FALSE(config.Init(dir.File("plain") + "/Quelta_11.json"));
    EXPECT_FALSE(config.Init(dir.File("missing_11.json")));
    EXPECT_TRUE(config.GetConfigFilePath().empty());
    EXPECT_TRUE(config.GetProductName().empty());
    EXPECT_EQ(config.GetLinkType(), QlLinkTypeUnknown);
}

TEST(DeviceTypeConfig, FailedReadLeavesAnEarlierProfileUnchanged) {
    testsupport::TempDir dir;
    const std::string good = dir.File("good_11.json");
    const std::string bad = dir.File("bad_12.json");
    testsupport::WriteFile(good, kSocketProfile);
    testsupport::WriteFile(bad, R"({"productName":"B","connectType":"usb","toFSensor":[{"type":1}]})");
    DeviceTypeConfig config;
    ASSERT_TRUE(config.Init(good));

    EXPECT_TRUE(config.Init(bad));
    EXPECT_FALSE(config.Init(dir.File("missing_13.json")));
    EXPECT_EQ(config.GetConfigFilePath(), good);
    EXPECT_EQ(config.GetProductName(), "Quelta Q1");
    EXPECT_EQ(config.GetLinkType(), QlLinkTypeSocket);
    EXPECT_EQ(config.GetToFType(), (Names{"imx570", "imx571"}));
    EXPECT_EQ(config.GetColorType(), (Names{"rc1720"}));
}

TEST(DeviceTypeConfig, DeeplyNestedProfileIsRefusedWithoutThrowing) {
    testsupport::TempDir dir;
    const std::string path = dir.File("deep_11.json");
    testsupport::WriteFile(path, "{\"productName\":\"A\",\"connectType\":\"socket\",\"x\":" + std::string(5000, '[') +
                                     std::string(5000, ']') + "}");
    DeviceTypeConfig config;
    EXPECT_TRUE(config.Init(path));
    EXPECT_TRUE(config.GetProductName().empty());
}

}  // namespace
