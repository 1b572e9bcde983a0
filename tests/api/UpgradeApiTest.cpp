#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ApiState.h"
#include "FakeDirectory.h"
#include "LogCapture.h"
#include "Torvane_api.h"

namespace {

using apitest::FakeDevice;

// Answers the transfer starts with scripted results and records the paths it got.
class TransferDevice : public FakeDevice {
public:
    int StartUpgradeFirmWare(const char* imgPath) override {
        paths.push_back(imgPath);
        return upgradeResult;
    }
    int SetUpgradeJsonStatusCallback(UpgradeJsonStatusCallback, const void*) override { return jsonResult; }

    int upgradeResult = 0;
    int jsonResult = 0;
    std::vector<std::string> paths;
};

// One camera.
class TransferDirectory : public apitest::FakeDirectory {
public:
    BaseDevice* Open(Key, const char*, int&) override { return &device; }
    std::shared_ptr<BaseDevice> Unlink(BaseDevice*) override { return nullptr; }

    TransferDevice device;
};

void Report(int, int, void*) {}

class UpgradeApi : public ::testing::Test {
protected:
    void SetUp() override {
        auto owned = std::make_unique<TransferDirectory>();
        list = owned.get();
        api::Attach(std::move(owned));
        ASSERT_EQ(QL_OpenDeviceByIP("127.0.0.2", &handle), 0);
    }
    void TearDown() override { api::Detach(); }

    testsupport::LogCapture log;
    TransferDirectory* list = nullptr;
    QlDeviceHandle handle = nullptr;
};

TEST_F(UpgradeApi, PathLengthBoundary) {
    const std::string fits(260, 'a');
    EXPECT_EQ(QL_StartUpgradeFirmWare(handle, fits.c_str()), 0);
    EXPECT_EQ(QL_StartUpgradeFirmWare(handle, (fits + "a").c_str()), -18);
    EXPECT_EQ(list->device.paths, std::vector<std::string>{fits});
}

TEST_F(UpgradeApi, DeviceResultIsUnmapped) {
    // -20 and -130 are outside the public set: the mapping would give -255.
    for (const int result : {-16, -20, -130}) {
        list->device.upgradeResult = result;
        EXPECT_EQ(QL_StartUpgradeFirmWare(handle, "dir/fw.img"), result);
    }
}

TEST_F(UpgradeApi, NullCallbacksGiveMinus12) {
    EXPECT_EQ(QL_SetUpgradeStatusCallback(handle, nullptr, nullptr), -12);
    EXPECT_EQ(QL_SetUpgradeJsonStatusCallback(handle, nullptr, nullptr), -12);
    EXPECT_EQ(QL_StartUpgradeFirmWare(handle, nullptr), -12);
    EXPECT_TRUE(list->device.paths.empty());
}

TEST_F(UpgradeApi, JsonTransferResultIsMapped) {
    struct Case {
        int deviceResult;
        int expected;
    };
    // -3: the camera refused JSON mode; -130 is outside the public set.
    for (const Case& c : {Case{0, 0}, Case{-3, -3}, Case{-130, -255}}) {
        list->device.jsonResult = c.deviceResult;
        EXPECT_EQ(QL_SetUpgradeJsonStatusCallback(handle, Report, nullptr), c.expected);
    }
}

TEST(UpgradeApiNotInitialised, Gives102) {
    EXPECT_EQ(QL_StartUpgradeFirmWare(nullptr, std::string(300, 'a').c_str()), -102);
    EXPECT_EQ(QL_SetUpgradeStatusCallback(nullptr, nullptr, nullptr), -102);
}

}  // namespace
