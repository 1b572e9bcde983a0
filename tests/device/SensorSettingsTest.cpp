#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "DeviceFixture.h"

namespace {

using devicetest::DeviceFixture;

class SensorSettingsTest : public DeviceFixture {};

struct SensorCase {
    const char* name;
    std::function<int(BaseDevice&, SensorType)> call;
    const char* pluginCall;
    int result;  // the fake answers 3 to settings, 0 to the calibration reads
};

TEST_F(SensorSettingsTest, SensorOperationsTakeTheToFSensorOnly) {
    double values[9] = {};
    ResolutionList list{};
    int mode = 0;
    ExposureTimeParams exposure{1, 250};
    const SensorCase cases[] = {
        {"intrinsic", [&](BaseDevice& d, SensorType t) { return d.GetCameraIntrinsic(t, values); }, "GetIntrinsic", 0},
        {"distortion", [&](BaseDevice& d, SensorType t) { return d.GetCameraDistortion(t, values); }, "GetDistortion",
         0},
        {"resolutions", [&](BaseDevice& d, SensorType t) { return d.GetSupportedResolutionList(t, &list); },
         "GetResolutionList", 3},
        {"set exposure mode", [&](BaseDevice& d, SensorType t) { return d.SetExposureControlMode(t, 1); },
         "SetExposureControlMode(1)", 3},
        {"get exposure mode", [&](BaseDevice& d, SensorType t) { return d.GetExposureControlMode(t, &mode); },
         "GetExposureControlMode", 3},
        {"set exposure", [&](BaseDevice& d, SensorType t) { return d.SetExposureTime(t, exposure); },
         "SetExposureTime(1,250)", 3},
        {"get exposure", [&](BaseDevice& d, SensorType t) { return d.GetExposureTime(t, &exposure); },
         "GetExposureTime", 3},
    };
    tof->settingResult = 3;  // passed on unchanged
    for (const SensorCase& c : cases) {
        SCOPED_TRACE(c.name);
        tof->ClearCalls();
        log.Mark();
        EXPECT_EQ(c.call(*device, SENSOR_TYPE_TOF), c.result);
        EXPECT_TRUE(tof->Called(c.pluginCall));
        tof->ClearCalls();
        EXPECT_EQ(c.call(*device, SENSOR_TYPE_COLOR), -20);
        EXPECT_EQ(c.call(*device, static_cast<SensorType>(3)), -20);
        EXPECT_TRUE(tof->Calls().empty());
        EXPECT_TRUE(log.Contains("<SN01> sensorType:2 is invalid."));
        EXPECT_TRUE(log.Contains("<SN01> sensorType:3 is invalid."));
    }
}

TEST_F(SensorSettingsTest, IntrinsicsAreThePluginsNotTheCamerasRawSet) {
    for (int i = 0; i < 9; ++i) tof->intrinsic[i] = 10 + i;
    double k[9] = {};
    ASSERT_EQ(device->GetCameraIntrinsic(SENSOR_TYPE_TOF, k), 0);
    EXPECT_EQ(k[4], 14);
    EXPECT_TRUE(io->SentCommands().empty());
}

TEST_F(SensorSettingsTest, DistortionSwitchRefreshesThePluginsTables) {
    ASSERT_EQ(device->SetToFDistortionCorrectionEnable(true), 0);
    EXPECT_EQ(tof->Calls(), (std::vector<std::string>{"Init", "SetConfigFilePath", "SetDistortionCorrectionEnabled(1)",
                                                      "GetIntrinsic", "GetDistortion"}));
    tof->ClearCalls();
    tof->settingResult = -105;
    EXPECT_EQ(device->SetToFDistortionCorrectionEnable(false), -105);
    EXPECT_EQ(tof->Calls(), (std::vector<std::string>{"SetDistortionCorrectionEnabled(0)"}));
}

TEST_F(SensorSettingsTest, FiltersAndGainsReachThePluginUnchanged) {
    tof->settingResult = -104;
    EXPECT_EQ(device->SetTimeFilterParams(TimeFilterParams{1, 300}), -104);
    EXPECT_TRUE(tof->Called("SetTimeFilterParams(1,300)"));
    EXPECT_EQ(device->SetIRGMMGain(9), -104);
    EXPECT_TRUE(tof->Called("SetIRGMMGain(9)"));
    EXPECT_EQ(device->SetHDRModeEnabled(true), -104);
    EXPECT_TRUE(tof->Called("SetHDRModeEnabled(1)"));
    EXPECT_EQ(device->SetColorResolution(640, 480), -20);
}

TEST_F(SensorSettingsTest, ThePluginIsGivenTheProfilePath) {
    EXPECT_TRUE(tof->Called("SetConfigFilePath"));
    EXPECT_EQ(tof->control, device->GetCommonProtocol());
    EXPECT_EQ(tof->preProcess, preProcess);
    EXPECT_NE(tof->consumer, nullptr);
}

class PointCloudTest : public DeviceFixture {
protected:
    QlFrame DepthFrame(uint16_t width, uint16_t height, uint32_t length) {
        pixels.assign(length, 0);
        QlFrame f{};
        f.frameIndex = 12;
        f.frameType = FRAME_DEPTH;
        f.pixelFormat = PIXEL_FORMAT_DEPTH_MM16;
        f.pFrameData = pixels.data();
        f.dataLen = length;
        f.exposureTime = 2.5f;
        f.depthRange = 3;
        f.width = width;
        f.height = height;
        f.deviceTimestamp = 123456789;
        return f;
    }

    std::vector<uint8_t> pixels;
    std::vector<QlVector3f> points = std::vector<QlVector3f>(64);
};

TEST_F(PointCloudTest, ThePublicFrameBecomesThePluginsRecord) {
    const QlFrame f = DepthFrame(4, 2, 16);
    ASSERT_EQ(device->ConvertDepthFrameToPointCloudVector(&f, points.data()), 0);
    const Frame& r = tof->pointCloudFrame;
    EXPECT_EQ(devicetest::Unpacked(r.frameIndex), 12u);
    EXPECT_EQ(devicetest::Unpacked(r.frameType), FRAME_DEPTH);
    EXPECT_EQ(devicetest::Unpacked(r.data), pixels.data());
    EXPECT_EQ(devicetest::Unpacked(r.length), 16u);
    EXPECT_EQ(devicetest::Unpacked(r.capacity), 0u);
    EXPECT_EQ(devicetest::Unpacked(r.exposureTime), 2.5f);
    EXPECT_EQ(devicetest::Unpacked(r.depthRange), 3u);
    EXPECT_EQ(devicetest::Unpacked(r.width), 4);
    EXPECT_EQ(devicetest::Unpacked(r.height), 2);
    EXPECT_EQ(devicetest::Unpacked(r.hasFrameType), 0u);
    EXPECT_EQ(devicetest::Unpacked(r.timestamp), 123456789u);
}

TEST_F(PointCloudTest, FramesThatCannotBeConvertedAreRefused) {
    struct Case {
        const char* name;
        int32_t type;
        uint32_t length;
        bool data;
        int result;
    };
    const Case cases[] = {
        {"IR frame", FRAME_IR, 16, true, -15},           {"depth-in-colour frame", FRAME_DEPTH_IN_COLOR, 16, true, -15},
        {"one pixel short", FRAME_DEPTH, 15, true, -15}, {"empty", FRAME_DEPTH, 0, true, -15},
        {"no data", FRAME_DEPTH, 16, false, -5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        tof->ClearCalls();
        QlFrame f = DepthFrame(4, 2, c.length);
        f.frameType = c.type;
        if (!c.data) f.pFrameData = nullptr;
        EXPECT_EQ(device->ConvertDepthFrameToPointCloudVector(&f, points.data()), c.result);
        EXPECT_FALSE(tof->Called("ConvertDepthFrameToPointCloudVector"));
    }
    EXPECT_TRUE(log.Contains("<SN01> frameType:1 is invalid."));
    EXPECT_EQ(device->ConvertDepthFrameToPointCloudVector(nullptr, points.data()), -5);
}

TEST_F(PointCloudTest, ThePluginsAnswerIsPassedOn) {
    tof->pointCloudResult = -255;  // no usable table
    const QlFrame f = DepthFrame(4, 2, 16);
    EXPECT_EQ(device->ConvertDepthFrameToPointCloudVector(&f, points.data()), -255);
    tof->pointCloudResult = -15;
    EXPECT_EQ(device->ConvertDepthFrameToPointCloudVector(&f, points.data()), -15);
}

}  // namespace
