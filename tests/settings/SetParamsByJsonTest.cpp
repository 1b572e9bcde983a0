#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ApiState.h"
#include "DeviceDirectory.h"
#include "LogCapture.h"
#include "RecordingDevice.h"
#include "TempDir.h"
#include "Torvane_api.h"

namespace settingstest {
namespace {

using Calls = std::vector<std::string>;

// A camera list holding one recording device; the API reaches it through its handles.
class OneDeviceDirectory : public DeviceDirectory {
public:
    explicit OneDeviceDirectory(std::shared_ptr<RecordingDevice> device) : m_device(std::move(device)) {}
    uint32_t GetCameraCount() override { return 1; }
    int GetDeviceInfoList(QlDeviceInfo*, uint32_t) override { return 0; }
    int GetDeviceInfo(QlDeviceInfo*, uint32_t) override { return 0; }
    int GetProperty(const char*, void*, int) override { return -15; }
    void SetHotPlugStatusCallback(QlHotPlugStatusCallback, const void*) override {}
    BaseDevice* Open(Key, const char*, int&) override { return m_device.get(); }
    bool IsOpened(Key, const char*) override { return false; }
    std::shared_ptr<BaseDevice> Unlink(BaseDevice* device) override {
        return device == m_device.get() ? std::move(m_device) : nullptr;
    }

private:
    std::shared_ptr<RecordingDevice> m_device;
};

class SetParamsByJsonTest : public ::testing::Test {
protected:
    void SetUp() override {
        device = std::make_shared<RecordingDevice>();
        api::Attach(std::make_unique<OneDeviceDirectory>(device));
        ASSERT_EQ(QL_OpenDeviceByIP("127.0.0.2", &handle), 0);
    }
    void TearDown() override {
        if (handle != nullptr) QL_CloseDevice(&handle);
        api::Detach();
    }

    std::string Write(const std::string& json) {
        const std::string path = dir.File("settings.json");
        testsupport::WriteFile(path, json);
        return path;
    }

    testsupport::LogCapture log;
    testsupport::TempDir dir;
    std::shared_ptr<RecordingDevice> device;
    QlDeviceHandle handle = nullptr;
};

TEST(SetParamsByJsonUninitialised, NullPathComesFirstThenTheKitState) {
    EXPECT_EQ(QL_SetParamsByJson(nullptr, nullptr), -12);
    EXPECT_EQ(QL_SetParamsByJson(nullptr, "/tmp/s.json"), -102);
}

TEST_F(SetParamsByJsonTest, PathLengthIsCheckedBeforeTheHandle) {
    const std::string prefix = dir.Path() + "/";
    EXPECT_EQ(QL_SetParamsByJson(nullptr, (prefix + std::string(261 - prefix.size(), 'p')).c_str()), -18);
    EXPECT_EQ(QL_SetParamsByJson(nullptr, (prefix + std::string(260 - prefix.size(), 'p')).c_str()), -3);
}

TEST_F(SetParamsByJsonTest, ClosedHandleIsRefusedWithoutReading) {
    QlDeviceHandle stale = handle;
    ASSERT_EQ(QL_CloseDevice(&handle), 0);
    EXPECT_EQ(QL_SetParamsByJson(stale, Write(R"({"Control": {"IRGmmGain": 2}})").c_str()), -15);
    EXPECT_TRUE(device->calls.empty());
}

TEST_F(SetParamsByJsonTest, FilterSwitchesChangeOnlyTheEnableThroughTheDevice) {
    EXPECT_EQ(QL_SetParamsByJson(handle, Write(R"({"Filter": {"SpatialFilter": false, "Fillhole": true}})").c_str()),
              0);
    EXPECT_EQ(device->calls, (Calls{"GetFillHoleFilterParams()", "SetFillHoleFilterParams(1,4,5,6)",
                                    "GetSpatialFilterParams()", "SetSpatialFilterParams(0,7,8,9)"}));
}

TEST_F(SetParamsByJsonTest, UnsupportedOperationIsMappedAndLogged) {
    device->failures = {{1, -20}};
    const std::string path =
        Write(R"({"ExposureTime": {"HDR_Mode": true}, "Control": {"ColorResolution": "800*600"}})");
    EXPECT_EQ(QL_SetParamsByJson(handle, path.c_str()), -255);
    EXPECT_EQ(device->calls, (Calls{"SetHDRModeEnabled(1)", "SetColorResolution(800,600)"}));
    EXPECT_TRUE(log.Contains("<SN01> SetColorResolution fail : -20")) << log.Text();
    EXPECT_TRUE(log.Contains("invalid param: interRet:-20")) << log.Text();
}

TEST_F(SetParamsByJsonTest, PassedStatusesReturnUnchanged) {
    device->failures = {{0, -105}};
    EXPECT_EQ(QL_SetParamsByJson(handle, Write(R"({"Control": {"FrameRate": 30, "WorkMode": "ActiveMode"}})").c_str()),
              -105);
    EXPECT_EQ(device->calls, Calls{"SetFrameRate(30)"});
}

TEST_F(SetParamsByJsonTest, UnreadableFileIsRefused) {
    EXPECT_EQ(QL_SetParamsByJson(handle, "settings.json"), -15);
    EXPECT_EQ(QL_SetParamsByJson(handle, Write("{}").c_str()), -15);
    EXPECT_TRUE(device->calls.empty());
}

}  // namespace
}  // namespace settingstest
