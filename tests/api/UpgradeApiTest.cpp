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
        NoteRecord();
        return upgradeResult;
    }
    int SetUpgradeJsonStatusCallback(UpgradeJsonStatusCallback, const void*) override {
        NoteRecord();
        return jsonResult;
    }
    // The record the directory held when the device was asked.
    void NoteRecord() { recordAtStart.push_back(records->empty() ? -1 : records->back()); }

    int upgradeResult = 0;
    int jsonResult = 0;
    std::vector<std::string> paths;
    const std::vector<int>* records = nullptr;
    std::vector<int> recordAtStart;
};

// One camera, and the transfer records the API stored.
class TransferDirectory : public apitest::FakeDirectory {
public:
    BaseDevice* Open(Key, const char*, int&) override { return &device; }
    std::shared_ptr<BaseDevice> Unlink(BaseDevice*) override { return nullptr; }
    void SetUpgradeState(int state) override { states.push_back(state); }

    TransferDevice device;
    std::vector<int> states;
    TransferDirectory() { device.records = &states; }
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
    // The refused path records nothing.
    EXPECT_EQ(list->states, std::vector<int>{1});
}

TEST_F(UpgradeApi, DeviceResultIsUnmappedAndRecordCleared) {
    // -20 and -130 are outside the public set: the mapping would give -255.
    for (const int result : {-16, -20, -130}) {
        list->device.upgradeResult = result;
        EXPECT_EQ(QL_StartUpgradeFirmWare(handle, "dir/fw.img"), result);
        EXPECT_EQ(list->states.back(), 0);
    }
}

TEST_F(UpgradeApi, NullCallbacksGiveMinus12) {
    EXPECT_EQ(QL_SetUpgradeStatusCallback(handle, nullptr, nullptr), -12);
    EXPECT_EQ(QL_SetUpgradeJsonStatusCallback(handle, nullptr, nullptr), -12);
    EXPECT_EQ(QL_StartUpgradeFirmWare(handle, nullptr), -12);
    EXPECT_TRUE(list->states.empty());
}

TEST_F(UpgradeApi, JsonTransferRecord) {
    struct Case {
        int deviceResult;
        int expected;
        int record;
    };
    for (const Case& c : {Case{0, 0, 2}, Case{-3, -3, 0}}) {
        list->device.jsonResult = c.deviceResult;
        EXPECT_EQ(QL_SetUpgradeJsonStatusCallback(handle, Report, nullptr), c.expected);
        EXPECT_EQ(list->states.back(), c.record);
    }
}

// A controller may end the transfer before the device returns: its end must find the record.
TEST_F(UpgradeApi, TransferIsRecordedBeforeTheDeviceStartsIt) {
    ASSERT_EQ(QL_StartUpgradeFirmWare(handle, "dir/fw.img"), 0);
    ASSERT_EQ(QL_SetUpgradeJsonStatusCallback(handle, Report, nullptr), 0);
    EXPECT_EQ(list->device.recordAtStart, (std::vector<int>{1, 2}));
    EXPECT_EQ(list->states, (std::vector<int>{1, 2}));
}

TEST(UpgradeApiNotInitialised, Gives102) {
    EXPECT_EQ(QL_StartUpgradeFirmWare(nullptr, std::string(300, 'a').c_str()), -102);
    EXPECT_EQ(QL_SetUpgradeStatusCallback(nullptr, nullptr, nullptr), -102);
}

}  // namespace
