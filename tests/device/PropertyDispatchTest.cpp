#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "DeviceFixture.h"

namespace {

using devicetest::DeviceFixture;

class PropertyDispatchTest : public DeviceFixture {};

struct DispatchCase {
    const char* key;
    int size;
    bool set;
    int pluginResult;  // the plug-in's answer to SetProperty or GetProperty
    int result;
    const char* pluginCall;  // the plug-in call the key must reach; "" none
    bool sizeLine;
    bool unsupportedLine;
};

TEST_F(PropertyDispatchTest, BaseThenClassThenPlugin) {
    const DispatchCase cases[] = {
        // The class's own keys reach the plug-in's typed operations, never its property table.
        {"Py_DepthFrameEnable", 1, true, -255, 0, "SetFrameEnable(0,1)", false, false},
        {"Py_IRFrameEnable", 1, true, -255, 0, "SetFrameEnable(1,1)", false, false},
        {"Py_ConfidenceFrameEnable", 1, true, -255, 0, "SetFrameEnable(8,1)", false, false},
        {"Py_ConfidenceFrameEnable", 1, false, -255, 0, "GetFrameEnable(8)", false, false},
        {"Py_ToFDistortionCorrectionEnabled", 1, true, -255, 0, "SetDistortionCorrectionEnabled(1)", false, false},
        {"Py_ToFDistortionCorrectionEnabled", 1, false, -255, 0, "GetDistortionCorrectionEnabled", false, false},
        {"Py_DataMode", 4, true, -255, 0, "SetDatamode(7)", false, false},
        {"Py_ConfidenceFrameEnable", 2, true, -255, -15, "", true, false},
        {"Py_ConfidenceFrameEnable", 2, false, -255, -15, "", true, false},
        {"Py_DataMode", 3, true, -255, -15, "", true, false},
        // Keys the class does not read go to the plug-in.
        {"Py_DataMode", 4, false, 0, 0, "GetProperty(Py_DataMode,4)", false, false},
        {"Py_DepthRange", 4, true, 0, 0, "SetProperty(Py_DepthRange,4)", false, false},
        {"Py_DepthRange", 2, true, -15, -15, "SetProperty(Py_DepthRange,2)", true, false},
        {"Py_NoSuchKey", 4, false, -255, -20, "GetProperty(Py_NoSuchKey,4)", false, true},
        {"Py_NoSuchKey", 4, true, -255, -20, "SetProperty(Py_NoSuchKey,4)", false, true},
        // A calibration key of the wrong size is one nobody takes.
        {"Py_Intrinsic", 10, true, -255, -20, "SetProperty(Py_Intrinsic,10)", false, true},
        // The base's own results are final.
        {"Py_Serialnumber", 16, false, 0, -9, "", false, false},
        {"Py_DHCPEnable", 2, false, 0, -15, "", true, false},
        {"Py_DHCPEnable", 1, true, 0, 0, "", false, false},
    };
    for (const DispatchCase& c : cases) {
        const std::string name = std::string(c.key) + " size " + std::to_string(c.size) + (c.set ? " set" : " get");
        SCOPED_TRACE(name);
        tof->ClearCalls();
        tof->propertyResult = c.pluginResult;
        log.Mark();
        uint8_t data[8] = {1, 0, 0, 0, 0, 0, 0, 0};
        if (c.size == 4) data[0] = 7;
        const int ret = c.set ? device->SetProperty(c.key, data, c.size) : device->GetProperty(c.key, data, c.size);
        EXPECT_EQ(ret, c.result);
        const auto calls = tof->Calls();
        if (*c.pluginCall) {
            EXPECT_TRUE(tof->Called(c.pluginCall)) << ::testing::PrintToString(calls);
        }
        // Nothing the class or the base answered was offered to the plug-in's table as well.
        for (const std::string& call : calls) {
            if (call.rfind("SetProperty(", 0) == 0 || call.rfind("GetProperty(", 0) == 0) {
                EXPECT_EQ(call, c.pluginCall);
            }
        }
        EXPECT_EQ(log.Contains("<SN01> dataSize:" + std::to_string(c.size) + " is invalid."), c.sizeLine);
        EXPECT_EQ(log.Contains("<SN01> pKey:" + std::string(c.key) + " is not supported."), c.unsupportedLine);
    }
}

TEST_F(PropertyDispatchTest, FlagReadWritesOneByte) {
    uint8_t data[2] = {0x55, 0x55};
    ASSERT_EQ(device->GetProperty("Py_IRFrameEnable", data, 1), 0);
    EXPECT_EQ(data[0], 1);  // the fake reports IR on
    EXPECT_EQ(data[1], 0x55);
    ASSERT_EQ(device->GetProperty("Py_DepthFrameEnable", data, 1), 0);
    EXPECT_EQ(data[0], 0);
}

TEST_F(PropertyDispatchTest, DataModeChangeFlushesOnlyWhenAccepted) {
    int32_t mode = 5;
    ASSERT_EQ(device->SetProperty("Py_DataMode", &mode, sizeof(mode)), 0);
    EXPECT_EQ(tof->givenDataMode, 5);
    EXPECT_TRUE(tof->Called("RecycleCache"));

    tof->ClearCalls();
    tof->settingResult = -105;
    EXPECT_EQ(device->SetProperty("Py_DataMode", &mode, sizeof(mode)), -105);
    EXPECT_FALSE(tof->Called("RecycleCache"));
}

TEST_F(PropertyDispatchTest, EveryCallIsLoggedWithItsKeyAndSize) {
    uint8_t data = 1;
    device->SetProperty("Py_IRFrameEnable", &data, 1);
    EXPECT_TRUE(log.Contains("<SN01> pKey:Py_IRFrameEnable, pData:"));
    EXPECT_TRUE(log.Contains(", dataSize:1"));
}

}  // namespace
