// The exported calibration, geometry and maintenance functions.
#include <algorithm>
#include <iterator>

#include "ApiCall.h"
#include "BaseDevice.h"
#include "PointConversion.h"

namespace {

constexpr int kFirmwareVersionLength = 19;  // the shortest version buffer the public header allows
constexpr int kMacLength = 18;              // "xx:xx:xx:xx:xx:xx" and its terminating zero

}  // namespace

extern "C" {

int QL_GetSensorIntrinsicParameters(QlDeviceHandle handle, SensorType type, QlSensorIntrinsicParameters* params) {
    if (!params) return api::NullArgument(__func__);
    return api::OnDevice(__func__, handle, [&](BaseDevice& device) {
        if (type != SENSOR_TYPE_TOF && type != SENSOR_TYPE_COLOR) {
            LOG_PRINTF_AS("QL_GetSensorIntrinsicParameters", "sensorType:%d is invalid.", static_cast<int>(type));
            return status::kInvalidSensorType;
        }
        double k[9] = {};
        double d[8] = {};
        int ret = device.GetCameraIntrinsic(type, k);
        if (ret != 0) return ret;
        ret = device.GetCameraDistortion(type, d);
        if (ret != 0) return ret;
        params->fx = k[0];
        params->fy = k[4];
        params->cx = k[2];
        params->cy = k[5];
        std::copy(std::begin(d), std::end(d), params->distortion);
        return 0;
    });
}

int QL_GetSensorExtrinsicParameters(QlDeviceHandle handle, SensorExtrinsicParameters* params) {
    if (!params) return api::NullArgument(__func__);
    return api::OnDevice(__func__, handle,
                         [&](BaseDevice& device) { return device.GetSensorExtrinsicParameters(params); });
}

int QL_SetTransformColorImgToDepthSensorEnabled(QlDeviceHandle handle, bool enable) {
    return api::OnDevice(__func__, handle,
                         [&](BaseDevice& device) { return device.SetTransformColorImgToDepthCameraEnabled(enable); });
}

int QL_GetTransformColorImgToDepthSensorEnabled(QlDeviceHandle handle, bool* enable) {
    if (!enable) return api::NullArgument(__func__);
    return api::OnDevice(__func__, handle,
                         [&](BaseDevice& device) { return device.GetTransformColorImgToDepthCameraEnabled(enable); });
}

int QL_SetTransformDepthImgToColorSensorEnabled(QlDeviceHandle handle, bool enable) {
    return api::OnDevice(__func__, handle,
                         [&](BaseDevice& device) { return device.SetTransformDepthImgToColorCameraEnabled(enable); });
}

int QL_GetTransformDepthImgToColorSensorEnabled(QlDeviceHandle handle, bool* enable) {
    if (!enable) return api::NullArgument(__func__);
    return api::OnDevice(__func__, handle,
                         [&](BaseDevice& device) { return device.GetTransformDepthImgToColorCameraEnabled(enable); });
}

int QL_TransformedDepthPointToColorPoint(QlDeviceHandle handle, QlDepthVector3 depthPoint, QlVector2u16 colorSize,
                                         QlVector2u16* colorPoint) {
    if (!colorPoint) return api::NullArgument(__func__);
    return api::OnDevice(__func__, handle, [&](BaseDevice& device) {
        return device.TransformedDepthPointToColorPoint(depthPoint, colorSize, colorPoint);
    });
}

int QL_ConvertDepthFrameToPointCloudVector(QlDeviceHandle handle, const QlFrame* frame, QlVector3f* points) {
    if (!frame || !points) return api::NullArgument(__func__);
    return api::OnDevice(__func__, handle, [&](BaseDevice& device) {
        if (!frame->pFrameData) return status::kNoFrameData;
        return device.ConvertDepthFrameToPointCloudVector(frame, points);
    });
}

int QL_ConvertDepthToPointCloud(QlDeviceHandle handle, const QlDepthVector3* in, QlVector3f* out, int32_t count,
                                const QlSensorIntrinsicParameters* params) {
    return api::OnDevice(__func__, handle, [&](BaseDevice&) {
        if (!in || !out || !params) return api::NullArgument("QL_ConvertDepthToPointCloud");
        DepthToPointCloud(in, out, count, *params);
        return 0;
    });
}

int QL_ConvertPointCloudToDepth(QlDeviceHandle handle, const QlVector3f* in, QlDepthVector3* out, int32_t count,
                                const QlSensorIntrinsicParameters* params) {
    return api::OnDevice(__func__, handle, [&](BaseDevice&) {
        if (!in || !out || !params) return api::NullArgument("QL_ConvertPointCloudToDepth");
        PointCloudToDepth(in, out, count, *params);
        return 0;
    });
}

int QL_GetFirmwareVersion(QlDeviceHandle handle, char* buf, int32_t len) {
    if (!buf) return api::NullArgument(__func__);
    return api::Boundary(__func__, [&] {
        if (!api::Initialised()) return status::kNotInitialised;
        if (len < kFirmwareVersionLength) {
            LOG_PRINTF_AS("QL_GetFirmwareVersion", "len:%d is less than %d.", len, kFirmwareVersionLength);
            return status::kInvalidParameter;
        }
        return api::OnDevice("QL_GetFirmwareVersion", handle,
                             [&](BaseDevice& device) { return device.GetFirmwareVersion(buf, len); });
    });
}

int QL_GetDeviceMACAddress(QlDeviceHandle handle, char* mac) {
    if (!mac) return api::NullArgument(__func__);
    return api::OnDevice(__func__, handle, [&](BaseDevice& device) { return device.GetMACAddress(mac, kMacLength); });
}

int QL_RebootDevie(QlDeviceHandle handle) {
    return api::OnDevice(__func__, handle, [](BaseDevice& device) { return device.Reboot(); });
}

int QL_GetDeviceErrorInfo(QlDeviceHandle handle, QlDeviceErrorInfo* info) {
    if (!info) return api::NullArgument(__func__);
    return api::OnDevice(__func__, handle, [&](BaseDevice& device) {
        // The list is informative; reading it does not fail the call.
        device.GetErrMsg(info);
        return 0;
    });
}

}  // extern "C"
