#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "CameraScript.h"
#include "DeviceTestSupport.h"
#include "FakeColor.h"
#include "FakeToF.h"
#include "IdentityPreProcess.h"
#include "JsonCtl.h"
#include "LogCapture.h"
#include "ScriptedIO.h"
#include "TempDir.h"
#include "TofAndColorDevice.h"
#include "Upgrade.h"
#include "WebServer.h"

namespace colordevtest {
namespace {

constexpr int kCalibrationCmd = 16;

class TofAndColorDeviceTest : public ::testing::Test {
protected:
    TofAndColorDeviceTest() {
        auto ownedIO = std::make_unique<testsupport::ScriptedIO>();
        io = ownedIO.get();
        io->deviceSN = "SN01";
        io->SetResponder([this](const testsupport::ScriptedIO::Sent& s) { return Answer(s); });
        auto ownedToF = std::make_unique<devicetest::FakeToF>();
        tof = ownedToF.get();
        auto ownedColor = std::make_unique<FakeColor>();
        color = ownedColor.get();
        DeviceInfo info = devicetest::MakeDeviceInfo();
        info.deviceType = 0x12;
        device = std::make_unique<TofAndColorDevice>(
            info, std::move(ownedToF), std::move(ownedColor), std::move(ownedIO),
            std::make_unique<testsupport::IdentityPreProcess>(), [](linktiming::milliseconds) {});
    }

    // Rotation (subs 8 and 9) and translation (sub 10) fail while the test says so.
    testsupport::ScriptedIO::Reply Answer(const testsupport::ScriptedIO::Sent& s) {
        const uint8_t sub = s.payload.empty() ? 0 : s.payload[0];
        if (s.cmd == kCalibrationCmd && s.type == CMDTYPE_GET && sub >= 8) {
            calibrationSubs.push_back(sub);
            if (sub < 10 && rotationResult != 0) return {rotationResult, std::nullopt};
            std::vector<uint8_t> reply(1 + (sub == 9 ? 5 : sub == 8 ? 4 : 3) * sizeof(double));
            reply[0] = sub;
            for (size_t i = 0; i + 1 < reply.size(); i += sizeof(double)) {
                const double value = sub * 10.0 + double(i / sizeof(double));
                std::memcpy(reply.data() + 1 + i, &value, sizeof(value));
            }
            return {0, reply};
        }
        return camera.Answer(s);
    }

    testsupport::LogCapture log;
    devicetest::CameraScript camera;
    int rotationResult = 0;
    std::vector<uint8_t> calibrationSubs;
    testsupport::ScriptedIO* io = nullptr;
    devicetest::FakeToF* tof = nullptr;
    FakeColor* color = nullptr;
    std::unique_ptr<TofAndColorDevice> device;
};

TEST_F(TofAndColorDeviceTest, ConstructionGivesBothPlugInsTheProfileAndTheCameraUndistortsColour) {
    EXPECT_TRUE(color->Called("Init"));
    EXPECT_TRUE(color->Called("SetConfigFilePath:"));
    EXPECT_TRUE(color->Called("SetDistortionCorrectionCmd(1)"));
}

TEST_F(TofAndColorDeviceTest, ExtrinsicsReadRotationThenTranslation) {
    SensorExtrinsicParameters params{};
    ASSERT_EQ(device->GetSensorExtrinsicParameters(&params), 0);
    EXPECT_EQ(calibrationSubs, (std::vector<uint8_t>{8, 9, 10}));
    EXPECT_EQ(params.rotation[0], 80.0);
    EXPECT_EQ(params.rotation[4], 90.0);
    EXPECT_EQ(params.translation[2], 102.0);
}

TEST_F(TofAndColorDeviceTest, FailedRotationEndsTheReadWithoutTranslation) {
    rotationResult = -104;
    SensorExtrinsicParameters params{};
    EXPECT_NE(device->GetSensorExtrinsicParameters(&params), 0);
    EXPECT_EQ(std::count(calibrationSubs.begin(), calibrationSubs.end(), 10), 0);
    EXPECT_EQ(params.translation[0], 0.0);
}

TEST_F(TofAndColorDeviceTest, SensorTypeChoosesThePlugIn) {
    double K[9] = {};
    color->intrinsic[0] = 321;
    EXPECT_EQ(device->GetCameraIntrinsic(SENSOR_TYPE_COLOR, K), 0);
    EXPECT_EQ(K[0], 321);
    EXPECT_TRUE(tof->Calls().empty() || !tof->Called("GetIntrinsic"));
    EXPECT_EQ(device->GetCameraIntrinsic(SENSOR_TYPE_TOF, K), 0);
    EXPECT_TRUE(tof->Called("GetIntrinsic"));
    EXPECT_EQ(device->GetCameraIntrinsic(static_cast<SensorType>(3), K), -20);
    EXPECT_TRUE(log.Contains("sensorType:3 is invalid."));
    EXPECT_EQ(device->SetExposureTime(SENSOR_TYPE_COLOR, ExposureTimeParams{1, 100}), 0);
    EXPECT_TRUE(color->Called("SetExposureTime"));
}

TEST_F(TofAndColorDeviceTest, UnknownKeyGoesToToFThenColourThenMinus6OrMinus7) {
    uint8_t data[4] = {};
    EXPECT_EQ(device->GetProperty("Py_Nobody", data, 4), -6);
    EXPECT_EQ(device->SetProperty("Py_Nobody", data, 4), -7);
    EXPECT_TRUE(tof->Called("GetProperty(Py_Nobody,4)"));
    EXPECT_TRUE(color->Called("GetProperty(Py_Nobody,4)"));
    EXPECT_TRUE(color->Called("SetProperty(Py_Nobody,4)"));
    EXPECT_TRUE(log.Contains("<SN01> pKey:Py_Nobody is not supported."));

    color->propertyResult = 0;  // the colour gain, say
    EXPECT_EQ(device->GetProperty("Py_ColorGain", data, 4), 0);
    tof->propertyResult = -15;  // the ToF plug-in's answer wins
    EXPECT_EQ(device->SetProperty("Py_ColorGain", data, 2), -15);
    EXPECT_TRUE(log.Contains("dataSize:2 is invalid."));
}

struct KeyCase {
    const char* key;
    int size;
    int expected;
    const char* colorCall;  // null: the colour plug-in is not asked
};

class OwnKeys : public TofAndColorDeviceTest, public ::testing::WithParamInterface<KeyCase> {};

TEST_P(OwnKeys, SetReachesItsPlugIn) {
    const KeyCase& c = GetParam();
    uint8_t data[4] = {1, 0, 0, 0};
    EXPECT_EQ(device->SetProperty(c.key, data, c.size), c.expected);
    if (c.colorCall) {
        EXPECT_TRUE(color->Called(c.colorCall));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Keys, OwnKeys,
    ::testing::Values(KeyCase{"Py_RGBFrameEnable", 1, 0, "SetFrameEnable(3,1)"},
                      KeyCase{"Py_RGBDistortionCorrectionEnabled", 1, 0, "SetDistortionCorrectionEnabled(1)"},
                      KeyCase{"Py_RGBFrameEnable", 2, -15, nullptr}, KeyCase{"Py_DepthFrameEnable", 1, 0, nullptr}));

TEST_F(TofAndColorDeviceTest, ColourDistortionFlagReadsOneByte) {
    uint8_t data[2] = {0, 0};
    EXPECT_EQ(device->GetProperty("Py_RGBDistortionCorrectionEnabled", data, 1), 0);
    EXPECT_EQ(data[0], 1);
    EXPECT_EQ(device->GetProperty("Py_RGBDistortionCorrectionEnabled", data, 2), -15);
}

TEST_F(TofAndColorDeviceTest, DepthInColourPointCloudUsesTheColourIntrinsics) {
    color->intrinsic[0] = 500;
    color->intrinsic[4] = 500;
    uint16_t depth[2] = {0, 1000};
    QlFrame frame{};
    frame.frameType = FRAME_DEPTH_IN_COLOR;
    frame.pFrameData = reinterpret_cast<uint8_t*>(depth);
    frame.dataLen = sizeof(depth);
    frame.width = 2;
    frame.height = 1;
    QlVector3f points[2] = {{9, 9, 9}, {9, 9, 9}};
    ASSERT_EQ(device->ConvertDepthFrameToPointCloudVector(&frame, points), 0);
    EXPECT_EQ(points[0].x, 0.0f);
    EXPECT_EQ(points[0].z, 0.0f);
    EXPECT_EQ(points[1].x, 2.0f);
    EXPECT_EQ(points[1].y, 0.0f);
    EXPECT_EQ(points[1].z, 1000.0f);
}

TEST_F(TofAndColorDeviceTest, DepthInColourPointCloudRefusesZeroFocalLengthsAndShortFrames) {
    uint16_t depth[2] = {1000, 1000};
    QlFrame frame{};
    frame.frameType = FRAME_DEPTH_IN_COLOR;
    frame.pFrameData = reinterpret_cast<uint8_t*>(depth);
    frame.dataLen = sizeof(depth);
    frame.width = 2;
    frame.height = 1;
    QlVector3f points[2] = {{9, 9, 9}, {9, 9, 9}};
    EXPECT_EQ(device->ConvertDepthFrameToPointCloudVector(&frame, points), -255);
    EXPECT_EQ(points[1].z, 9.0f);  // nothing written
    color->intrinsic[0] = color->intrinsic[4] = 500;
    frame.dataLen = 2;
    EXPECT_EQ(device->ConvertDepthFrameToPointCloudVector(&frame, points), -15);
    frame.frameType = FRAME_COLOR;
    EXPECT_EQ(device->ConvertDepthFrameToPointCloudVector(&frame, points), -15);
    EXPECT_EQ(points[1].z, 9.0f);
}

TEST_F(TofAndColorDeviceTest, OpenAndCloseSwitchTheColourPlugIn) {
    ASSERT_EQ(device->Open(), 0);
    EXPECT_TRUE(color->Called("SetOpenState(1)"));
    EXPECT_TRUE(color->Called("SetStream(1)"));  // through the pipeline's stream start
    EXPECT_TRUE(color->Called("SetIntrinsicParams"));
    EXPECT_EQ(device->Close(), 0);
    EXPECT_TRUE(color->Called("SetOpenState(0)"));
    EXPECT_TRUE(color->Called("SetStream(0)"));
}

TEST_F(TofAndColorDeviceTest, TransformSwitchesReachThePipeline) {
    bool on = false;
    EXPECT_EQ(device->SetTransformDepthImgToColorCameraEnabled(true), 0);
    EXPECT_EQ(device->GetTransformDepthImgToColorCameraEnabled(&on), 0);
    EXPECT_TRUE(on);
    EXPECT_EQ(device->GetTransformColorImgToDepthCameraEnabled(&on), 0);
    EXPECT_FALSE(on);
    QlVector2u16 point{};
    EXPECT_EQ(device->TransformedDepthPointToColorPoint(QlDepthVector3{3, 4, 500}, QlVector2u16{640, 480}, &point), 0);
    EXPECT_EQ(point.x, 3);
}

using devicetest::SentTransfer;

constexpr int kRefused = devicetest::CameraScript::kRefused;
// The JSON controller's status while the camera waits in JSON mode for the host's file.
constexpr int kWaitsForFile = 3;

// The JSON controller is process-wide: each test starts it afresh and frees it, and the
// upgrade controller that the device's detach reaches, once the device is gone.
class JsonPathHandOverTest : public TofAndColorDeviceTest {
protected:
    void TearDown() override {
        device.reset();
        JsonCtl::Release();
        Upgrade::Release();
        WebServer::getInstance()->stop();
    }
    int SetJsonPath(const std::string& path) {
        return device->SetProperty("Py_JsonPath", path.c_str(), static_cast<int>(path.size()) + 1);
    }
    std::vector<std::vector<uint8_t>> Fetches() const {
        return SentTransfer::Of(*io, SentTransfer::kKindJson, SentTransfer::kJsonFetch);
    }

    testsupport::TempDir dir;
};

TEST_F(JsonPathHandOverTest, EmptyPathIsRefusedWithoutSendingOrMovingTheController) {
    JsonCtl::GetInstance()->SetStatus(kWaitsForFile);
    EXPECT_EQ(SetJsonPath(""), -15);
    EXPECT_TRUE(io->SentCommands().empty());
    EXPECT_EQ(JsonCtl::GetInstance()->Status(), kWaitsForFile);
    EXPECT_TRUE(log.Contains("<SN01> dataSize:1 is invalid."));
}

struct HandOverCase {
    const char* name;
    int status;                        // the JSON controller's before the path is set
    std::vector<int> transferResults;  // the camera's answers to the fetch command
    int expected;
    size_t fetches;
    int statusAfter;
    const char* logLine;
};
void PrintTo(const HandOverCase& c, std::ostream* os) { *os << c.name; }

class HandOver : public JsonPathHandOverTest, public ::testing::WithParamInterface<HandOverCase> {};

TEST_P(HandOver, OnlyWhileTheCameraWaitsForTheFileAndOnlyThroughTheController) {
    const HandOverCase& c = GetParam();
    JsonCtl* json = JsonCtl::GetInstance();
    json->SetStatus(c.status);
    camera.transferResults.assign(c.transferResults.begin(), c.transferResults.end());

    EXPECT_EQ(SetJsonPath(dir.File("p.json")), c.expected);

    const auto fetches = Fetches();
    ASSERT_EQ(fetches.size(), c.fetches);
    for (const auto& payload : fetches) EXPECT_EQ(SentTransfer::FileName(payload), "p.json");
    if (c.fetches == 0) {
        EXPECT_TRUE(io->SentCommands().empty());
    }
    EXPECT_EQ(json->Status(), c.statusAfter);
    EXPECT_TRUE(log.Contains(c.logLine)) << c.logLine;
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, HandOver,
    ::testing::Values(HandOverCase{"Idle", 0, {}, -2, 0, 0, "<SN01> Status:0."},
                      HandOverCase{"Reconnected", 2, {}, -2, 0, 2, "<SN01> Status:2."},
                      HandOverCase{"FileAlreadyHandedOver", 4, {}, -2, 0, 4, "<SN01> Status:4."},
                      HandOverCase{"CameraWaitsAndAccepts", kWaitsForFile, {}, 0, 1, 4, "<SN01> m_Status:3 -> 4"},
                      HandOverCase{"CameraWaitsAndRefuses",
                                   kWaitsForFile,
                                   {kRefused},
                                   kRefused,
                                   1,
                                   kWaitsForFile,
                                   "<SN01> SetJsonPath_P is failed."}),
    [](const ::testing::TestParamInfo<HandOverCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace colordevtest
