#include <gtest/gtest.h>

#include <string>

#include "DeviceFixture.h"

namespace {

using devicetest::CameraScript;
using devicetest::DeviceFixture;

constexpr int kTransferCmd = 29;

class TransferStartTest : public DeviceFixture {
protected:
    void SetUp() override { ASSERT_EQ(device->Open(), 0); }
    size_t TransferCommands() { return Sent(kTransferCmd, CMDTYPE_SET).size(); }
};

TEST_F(TransferStartTest, UnusableImageIsRefusedBeforeTheCameraIsTold) {
    EXPECT_EQ(device->StartUpgradeFirmWare("/nonexistent/folder/fw.img"), -17);
    EXPECT_EQ(TransferCommands(), 0u);
    // Neither stopped nor closed.
    EXPECT_TRUE(camera.streamOn);
    EXPECT_EQ(device->StartStream(), 0);
    EXPECT_TRUE(log.Contains("The device image stream has been started."));
}

TEST_F(TransferStartTest, JsonPathSizesOutsideTheBufferGiveMinus15) {
    const std::string full(1024, 'a');
    struct Case {
        const char* name;
        int size;
    };
    for (const Case& c : {Case{"empty", 0}, Case{"too large", 1025}, Case{"no terminating zero", 1024}}) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(device->SetProperty("Py_JsonPath", full.c_str(), c.size), -15);
    }
    EXPECT_EQ(TransferCommands(), 0u);
    EXPECT_TRUE(log.Contains("dataSize:1025 is invalid."));
}

TEST_F(TransferStartTest, JsonPathReadingGoesToThePlugin) {
    char data[8] = {};
    device->GetProperty("Py_JsonPath", data, sizeof(data));
    EXPECT_TRUE(tof->Called("GetProperty(Py_JsonPath,8)"));
}

}  // namespace
