#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "DeviceFixture.h"
#include "FirmwareImageSpec.h"
#include "JsonCtl.h"
#include "TempDir.h"
#include "TransferReports.h"
#include "Upgrade.h"
#include "WebServer.h"

namespace {

using devicetest::CameraScript;
using devicetest::DeviceFixture;
using devicetest::SentTransfer;
using transfertest::ImageSpec;
using transfertest::Report;
using transfertest::Reports;

constexpr int kRefused = CameraScript::kRefused;
constexpr int kRebootCmd = 18;
constexpr uint8_t kRebootByte = 8;

// The camera that ImageSpec's default image fits: device type 16, "FW_20240115_V5".
DeviceInfo UpgradableCamera() {
    DeviceInfo info = devicetest::MakeDeviceInfo();
    info.deviceType = 16;
    return info;
}

// Both transfer controllers are process-wide: each test starts them afresh and frees them
// after its device is gone, so that no test sees another's status or callback.
class TransferStartTest : public DeviceFixture {
protected:
    TransferStartTest() : DeviceFixture(UpgradableCamera()) { camera.firmwareVersion = "FW_20240115_V5"; }

    void SetUp() override { ASSERT_EQ(device->Open(), 0); }
    void TearDown() override {
        // The device detaches from the controllers as it goes, so it goes first.
        device.reset();
        Upgrade::Release();
        JsonCtl::Release();
        WebServer::getInstance()->stop();
    }

    size_t TransferCommands() { return Sent(CameraScript::kTransferCmd, CMDTYPE_SET).size(); }
    // Position of the first command with this id, kind and first payload byte; -1 when none.
    long IndexOf(int cmd, CMDTYPE type, uint8_t first) const {
        const auto& sent = io->SentCommands();
        const auto it = std::find_if(sent.begin(), sent.end(), [&](const testsupport::ScriptedIO::Sent& s) {
            return s.cmd == cmd && s.type == type && !s.payload.empty() && s.payload[0] == first;
        });
        return it == sent.end() ? -1 : static_cast<long>(it - sent.begin());
    }
    bool StillStreaming() {
        return camera.streamOn && Sent(CameraScript::kStreamCmd, CMDTYPE_SET) == std::vector<uint8_t>{1} &&
               io->closes == 0;
    }

    std::string WriteImage(const ImageSpec& spec) {
        const std::string path = dir.File("fw.img");
        testsupport::WriteFile(path, spec.Bytes());
        return path;
    }
    void SetUpgradeCallback() {
        UpgradeStatusCallback callback = &Reports::Callback;
        Upgrade::GetInstance()->SetUpgradeStatusCallback(callback, &reports);
    }
    // The application's JSON callback, set on the controller alone: no command set is lent.
    void SetJsonCallback() {
        ::UpgradeJsonStatusCallback callback = &Reports::Callback;
        JsonCtl::GetInstance()->SetUpgradeJsonStatusCallback(callback, &reports, nullptr);
    }
    int SetJsonPath(const std::string& path) {
        return device->SetProperty("Py_JsonPath", path.c_str(), static_cast<int>(path.size()) + 1);
    }

    testsupport::TempDir dir;
    Reports reports;
};

TEST_F(TransferStartTest, UnusableImageIsRefusedBeforeTheCameraIsTold) {
    EXPECT_EQ(device->StartUpgradeFirmWare("/nonexistent/folder/fw.img"), -17);
    EXPECT_EQ(TransferCommands(), 0u);
    // Neither stopped nor closed.
    EXPECT_TRUE(camera.streamOn);
    EXPECT_EQ(device->StartStream(), 0);
    EXPECT_TRUE(log.Contains("The device image stream has been started."));
}

TEST_F(TransferStartTest, ValidImageWithoutCallbackIsFetchedAndLeavesTheDeviceClosed) {
    EXPECT_EQ(device->StartUpgradeFirmWare(WriteImage(ImageSpec()).c_str()), -19);

    const auto fetches = SentTransfer::Of(*io, SentTransfer::kKindFirmware, SentTransfer::kFirmwareFetch);
    ASSERT_EQ(fetches.size(), 1u);
    EXPECT_EQ(SentTransfer::FileName(fetches[0]), "fw.img");
    // Version query, then the fetch, then the stream-off that still reaches the camera.
    const long query = IndexOf(CameraScript::kVersionCmd, CMDTYPE_GET, CameraScript::kFirmwareVersionSub);
    const long fetch = IndexOf(CameraScript::kTransferCmd, CMDTYPE_SET, SentTransfer::kKindFirmware);
    const long streamOff = IndexOf(CameraScript::kStreamCmd, CMDTYPE_SET, 0);
    EXPECT_NE(query, -1);
    EXPECT_LT(query, fetch);
    EXPECT_LT(fetch, streamOff);
    EXPECT_FALSE(camera.streamOn);
    EXPECT_EQ(io->closes, 1);
    EXPECT_TRUE(tof->Called("SetOpenState(0)"));
    EXPECT_EQ(device->GetFrameReady(0, nullptr), -108);
    EXPECT_TRUE(log.Contains("<SN01> UpgradeStatusCallback is null."));
    EXPECT_FALSE(log.Contains("Upgrade Ready"));
    // The controller was not started.
    EXPECT_EQ(Upgrade::GetInstance()->Status(), 0);
    // Closed: a new open goes through instead of finding the device open.
    EXPECT_EQ(device->Open(), 0);
}

TEST_F(TransferStartTest, ValidImageWithCallbackLendsTheCommandSetToTheController) {
    SetUpgradeCallback();
    EXPECT_EQ(device->StartUpgradeFirmWare(WriteImage(ImageSpec()).c_str()), 0);

    EXPECT_EQ(SentTransfer::Of(*io, SentTransfer::kKindFirmware, SentTransfer::kFirmwareFetch).size(), 1u);
    EXPECT_FALSE(camera.streamOn);
    EXPECT_EQ(io->closes, 1);
    Upgrade* upgrade = Upgrade::GetInstance();
    EXPECT_EQ(upgrade->Status(), 1);
    EXPECT_TRUE(log.Contains("<SN01> Upgrade Ready"));
    // Length and whole-file sum of the checked image are what the controller will send.
    EXPECT_EQ(upgrade->GetimgFileLen(), ImageSpec().Bytes().size());
    EXPECT_EQ(upgrade->GetimgChecksum(), ImageSpec().WholeSum());
    // The controller's reboot goes out through this device's transport.
    io->ClearSent();
    upgrade->RebootAndrm();
    EXPECT_EQ(Sent(kRebootCmd, CMDTYPE_SET), std::vector<uint8_t>{kRebootByte});
    EXPECT_TRUE(reports.Got().empty());
}

TEST_F(TransferStartTest, DestroyingTheDeviceTakesItsCommandSetBackFromTheController) {
    SetUpgradeCallback();
    ASSERT_EQ(device->StartUpgradeFirmWare(WriteImage(ImageSpec()).c_str()), 0);
    device.reset();

    // The transfer that could no longer run is ended and reported.
    EXPECT_EQ(Upgrade::GetInstance()->Status(), 0);
    EXPECT_EQ(reports.Got(), (std::vector<Report>{{1, -1}}));
    EXPECT_TRUE(log.Contains("device closed during the transfer, status:1"));
    // A shut-down finds nothing to reboot; under ASan a touch of the freed device would show.
    log.Mark();
    Upgrade::Release();
    EXPECT_FALSE(log.Contains("m_Status:"));
    EXPECT_EQ(reports.Got().size(), 1u);
}

// The kit's shut-down releases the controllers before it deletes the devices: a lent
// device then going makes no new controller.
TEST_F(TransferStartTest, DeviceGoingAfterTheControllersWereReleasedMakesNoNewOnes) {
    SetUpgradeCallback();
    ASSERT_EQ(device->StartUpgradeFirmWare(WriteImage(ImageSpec()).c_str()), 0);
    Upgrade::Release();
    JsonCtl::Release();
    device.reset();
    EXPECT_EQ(Upgrade::Existing(), nullptr);
    EXPECT_EQ(JsonCtl::Existing(), nullptr);
}

struct ImageCase {
    const char* name;
    ImageSpec image;
    const char* cameraText;
    int expected;
};
void PrintTo(const ImageCase& c, std::ostream* os) { *os << c.name; }

ImageSpec Spoilt(void (*change)(ImageSpec&)) {
    ImageSpec spec;
    change(spec);
    return spec;
}

class ImageCheckTest : public TransferStartTest, public ::testing::WithParamInterface<ImageCase> {};

TEST_P(ImageCheckTest, ResultReachesTheCallerBeforeAnythingIsSent) {
    const ImageCase& c = GetParam();
    camera.firmwareVersion = c.cameraText;
    SetUpgradeCallback();
    EXPECT_EQ(device->StartUpgradeFirmWare(WriteImage(c.image).c_str()), c.expected);
    EXPECT_EQ(TransferCommands(), 0u);
    EXPECT_TRUE(StillStreaming());
    EXPECT_EQ(Upgrade::GetInstance()->Status(), 0);
    EXPECT_TRUE(reports.Got().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Images, ImageCheckTest,
    ::testing::Values(
        ImageCase{"OlderVersion", Spoilt([](ImageSpec& s) { s.version = 4; }), "FW_20240115_V5", -16},
        ImageCase{"OlderVersionWrongLength", Spoilt([](ImageSpec& s) {
                      s.version = 4;
                      s.lengthDelta = 1;
                  }),
                  "FW_20240115_V5", -17},
        ImageCase{"SpoiltPayload", Spoilt([](ImageSpec& s) { s.checksumDelta = 1; }), "FW_20240115_V5", -17},
        ImageCase{"OtherProductGroup", Spoilt([](ImageSpec& s) { s.productType = 18; }), "FW_20240115_V5", -17},
        // An unanswered version query leaves an empty text.
        ImageCase{"NoCameraVersion", ImageSpec(), "", -17}),
    [](const ::testing::TestParamInfo<ImageCase>& info) { return std::string(info.param.name); });

TEST_F(TransferStartTest, CameraRefusingTheFetchKeepsTheDeviceOpen) {
    SetUpgradeCallback();
    camera.transferResults = {kRefused};
    EXPECT_EQ(device->StartUpgradeFirmWare(WriteImage(ImageSpec()).c_str()), kRefused);
    EXPECT_TRUE(log.Contains("<SN01> StartUpgradeFirmWare is failed."));
    EXPECT_EQ(TransferCommands(), 1u);
    EXPECT_TRUE(StillStreaming());
    EXPECT_EQ(device->Open(), -103);
    EXPECT_EQ(Upgrade::GetInstance()->Status(), 0);
    EXPECT_FALSE(WebServer::getInstance()->isRunning());
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

struct JsonCase {
    const char* name;
    bool callback;
    std::vector<int> transferResults;  // base command, then the controller's
    int expected;
    size_t fetches;
    int status;  // the JSON controller's afterwards
    const char* logLine;
};
void PrintTo(const JsonCase& c, std::ostream* os) { *os << c.name; }

class JsonPathTest : public TransferStartTest, public ::testing::WithParamInterface<JsonCase> {};

TEST_P(JsonPathTest, DeviceSendsThePathThenHandsItToTheController) {
    const JsonCase& c = GetParam();
    if (c.callback) SetJsonCallback();
    camera.transferResults.assign(c.transferResults.begin(), c.transferResults.end());

    EXPECT_EQ(SetJsonPath(dir.File("p.json")), c.expected);

    const auto fetches = SentTransfer::Of(*io, SentTransfer::kKindJson, SentTransfer::kJsonFetch);
    ASSERT_EQ(fetches.size(), c.fetches);
    for (const auto& payload : fetches) EXPECT_EQ(SentTransfer::FileName(payload), "p.json");
    EXPECT_EQ(JsonCtl::GetInstance()->Status(), c.status);
    EXPECT_TRUE(log.Contains(c.logLine)) << c.logLine;
    EXPECT_EQ(log.Contains("<SN01> Upgrade Ready"), c.expected == 0);
    // A JSON-path hand-over never stops or closes the device.
    EXPECT_TRUE(StillStreaming());
    EXPECT_TRUE(reports.Got().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, JsonPathTest,
    ::testing::Values(
        JsonCase{"CameraRefusesThePath", true, {kRefused}, kRefused, 1, 0, "<SN01> SetJsonPath_P is failed."},
        JsonCase{"NoJsonCallback", false, {}, -19, 1, 0, "<SN01> UpgradeJsonStatusCallback is null."},
        JsonCase{"HandedToTheController", true, {}, 0, 2, 4, "<SN01> m_Status:0 -> 4"},
        JsonCase{"ControllersCommandRefused", true, {0, kRefused}, kRefused, 2, 0, "<SN01> SetJsonPath_P is failed."}),
    [](const ::testing::TestParamInfo<JsonCase>& info) { return std::string(info.param.name); });

}  // namespace
