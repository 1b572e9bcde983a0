#include "ApiCalls.h"

namespace apitest {
namespace {

struct Buffers {
    int32_t i = 0, j = 0;
    uint8_t u8 = 0;
    bool b = false;
    float f = 0;
    char text[64] = {};
    FrameReady ready = 0;
    QlFrame frame{};
    ResolutionList resolutions{};
    ExposureTimeParams exposure{};
    QlTimeFilterParams time{};
    QlConfidenceFilterParams confidence{};
    QlFlyingPixelFilterParams flying{};
    QlFillHoleFilterParams fillHole{};
    QlSpatialFilterParams spatial{};
    QlInputSignalParamsForHWTrigger input{};
    QlOutputSignalParams output{};
    QlSensorIntrinsicParameters intrinsics{};
    SensorExtrinsicParameters extrinsics{};
    QlVector2u16 point{};
    QlVector3f points[4] = {};
    QlDepthVector3 depth[4] = {};
    QlDeviceErrorInfo errors{};
};
thread_local Buffers b;

}  // namespace

// clang-format off
#define CALL(expr) {#expr, [](QlDeviceHandle h) { (void)h; return expr; }}
// clang-format on

std::vector<HandleCall> AllHandleCalls() {
    return {
        CALL(QL_StartStream(h)),
        CALL(QL_StopStream(h)),
        CALL(QL_GetFrameReady(h, 0, &b.ready)),
        CALL(QL_GetFrame(h, FRAME_DEPTH, &b.frame)),
        CALL(QL_SetProperty(h, "Py_Any", b.text, 4)),
        CALL(QL_SetWorkMode(h, 0)),
        CALL(QL_GetWorkMode(h, &b.i)),
        CALL(QL_SetSoftwareSlaveTrigger(h)),
        CALL(QL_SetFrameRate(h, 10)),
        CALL(QL_GetFrameRate(h, &b.i)),
        CALL(QL_SetColorPixelFormat(h, PIXEL_FORMAT_RGB)),
        CALL(QL_SetColorResolution(h, 640, 480)),
        CALL(QL_GetColorResolution(h, &b.i, &b.j)),
        CALL(QlGetSupportedResolutionList(h, SENSOR_TYPE_TOF, &b.resolutions)),
        CALL(QL_SetExposureControlMode(h, SENSOR_TYPE_TOF, 0)),
        CALL(QL_GetExposureControlMode(h, SENSOR_TYPE_TOF, &b.i)),
        CALL(QL_SetExposureTime(h, SENSOR_TYPE_TOF, b.exposure)),
        CALL(QL_GetExposureTime(h, SENSOR_TYPE_TOF, &b.exposure)),
        CALL(QL_SetIRGMMGain(h, 1)),
        CALL(QL_GetIRGMMGain(h, &b.u8)),
        CALL(QL_SetHDRModeEnabled(h, true)),
        CALL(QL_GetHDRModeEnabled(h, &b.b)),
        CALL(QL_SetColorGain(h, 1.0f)),
        CALL(QL_GetColorGain(h, &b.f)),
        CALL(QL_SetInputSignalParamsForHWTrigger(h, b.input)),
        CALL(QL_GetInputSignalParamsForHWTrigger(h, &b.input)),
        CALL(QL_SetOutputSignalParams(h, b.output)),
        CALL(QL_GetOutputSignalParams(h, &b.output)),
        CALL(QL_SetTimeFilterParams(h, b.time)),
        CALL(QL_GetTimeFilterParams(h, &b.time)),
        CALL(QL_SetConfidenceFilterParams(h, b.confidence)),
        CALL(QL_GetConfidenceFilterParams(h, &b.confidence)),
        CALL(QL_SetFlyingPixelFilterParams(h, b.flying)),
        CALL(QL_GetFlyingPixelFilterParams(h, &b.flying)),
        CALL(QL_SetFillHoleFilterParams(h, b.fillHole)),
        CALL(QL_GetFillHoleFilterParams(h, &b.fillHole)),
        CALL(QL_SetFillHoleFilterEnabled(h, true)),
        CALL(QL_GetFillHoleFilterEnabled(h, &b.b)),
        CALL(QL_SetSpatialFilterParams(h, b.spatial)),
        CALL(QL_GetSpatialFilterParams(h, &b.spatial)),
        CALL(QL_SetSpatialFilterEnabled(h, true)),
        CALL(QL_GetSpatialFilterEnabled(h, &b.b)),
        CALL(QL_GetSensorIntrinsicParameters(h, SENSOR_TYPE_TOF, &b.intrinsics)),
        CALL(QL_GetSensorExtrinsicParameters(h, &b.extrinsics)),
        CALL(QL_SetTransformColorImgToDepthSensorEnabled(h, true)),
        CALL(QL_GetTransformColorImgToDepthSensorEnabled(h, &b.b)),
        CALL(QL_SetTransformDepthImgToColorSensorEnabled(h, true)),
        CALL(QL_GetTransformDepthImgToColorSensorEnabled(h, &b.b)),
        CALL(QL_TransformedDepthPointToColorPoint(h, b.depth[0], b.point, &b.point)),
        CALL(QL_ConvertDepthToPointCloud(h, b.depth, b.points, 4, &b.intrinsics)),
        CALL(QL_ConvertPointCloudToDepth(h, b.points, b.depth, 4, &b.intrinsics)),
        CALL(QL_GetFirmwareVersion(h, b.text, 32)),
        CALL(QL_GetDeviceMACAddress(h, b.text)),
        CALL(QL_RebootDevie(h)),
        CALL(QL_GetDeviceErrorInfo(h, &b.errors)),
    };
}

std::vector<NullCall> AllNullPointerCalls() {
    return {
        CALL(QL_GetDeviceCount(nullptr)),
        CALL(QL_GetDeviceInfoList(1, nullptr)),
        CALL(QL_GetDeviceInfo(0, nullptr)),
        CALL(QL_OpenDeviceByUri(nullptr, &h)),
        CALL(QL_OpenDeviceByUri("uri", nullptr)),
        CALL(QL_OpenDeviceByAlias(nullptr, &h)),
        CALL(QL_OpenDeviceByAlias("alias", nullptr)),
        CALL(QL_OpenDeviceByIP(nullptr, &h)),
        CALL(QL_OpenDeviceByIP("127.0.0.2", nullptr)),
        CALL(QL_GetFrameReady(h, 0, nullptr)),
        CALL(QL_GetFrame(h, FRAME_DEPTH, nullptr)),
        CALL(QL_GetProperty(h, nullptr, b.text, 4)),
        CALL(QL_SetProperty(h, nullptr, b.text, 4)),
        CALL(QL_GetWorkMode(h, nullptr)),
        CALL(QL_GetFrameRate(h, nullptr)),
        CALL(QL_GetColorResolution(h, nullptr, &b.j)),
        CALL(QL_GetColorResolution(h, &b.i, nullptr)),
        CALL(QlGetSupportedResolutionList(h, SENSOR_TYPE_TOF, nullptr)),
        CALL(QL_GetExposureControlMode(h, SENSOR_TYPE_TOF, nullptr)),
        CALL(QL_GetExposureTime(h, SENSOR_TYPE_TOF, nullptr)),
        CALL(QL_GetIRGMMGain(h, nullptr)),
        CALL(QL_GetHDRModeEnabled(h, nullptr)),
        CALL(QL_GetColorGain(h, nullptr)),
        CALL(QL_GetInputSignalParamsForHWTrigger(h, nullptr)),
        CALL(QL_GetOutputSignalParams(h, nullptr)),
        CALL(QL_GetTimeFilterParams(h, nullptr)),
        CALL(QL_GetConfidenceFilterParams(h, nullptr)),
        CALL(QL_GetFlyingPixelFilterParams(h, nullptr)),
        CALL(QL_GetFillHoleFilterParams(h, nullptr)),
        CALL(QL_GetFillHoleFilterEnabled(h, nullptr)),
        CALL(QL_GetSpatialFilterParams(h, nullptr)),
        CALL(QL_GetSpatialFilterEnabled(h, nullptr)),
        CALL(QL_GetSensorIntrinsicParameters(h, SENSOR_TYPE_TOF, nullptr)),
        CALL(QL_GetSensorExtrinsicParameters(h, nullptr)),
        CALL(QL_GetTransformColorImgToDepthSensorEnabled(h, nullptr)),
        CALL(QL_GetTransformDepthImgToColorSensorEnabled(h, nullptr)),
        CALL(QL_TransformedDepthPointToColorPoint(h, b.depth[0], b.point, nullptr)),
        CALL(QL_ConvertDepthFrameToPointCloudVector(h, nullptr, b.points)),
        CALL(QL_ConvertDepthFrameToPointCloudVector(h, &b.frame, nullptr)),
        CALL(QL_GetFirmwareVersion(h, nullptr, 32)),
        CALL(QL_GetDeviceMACAddress(h, nullptr)),
        CALL(QL_GetDeviceErrorInfo(h, nullptr)),
    };
}

}  // namespace apitest
