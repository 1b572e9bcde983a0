/* The public header as a C++ program sees it: it compiles under -pedantic -Werror, and every
 * record keeps the layout that crosses the library boundary. */
#include <stddef.h>

#include "Torvane_api.h"

#define LAYOUT(name, cond) static_assert(cond, #name)

LAYOUT(vector2u16, sizeof(QlVector2u16) == 4);
LAYOUT(vector3f, sizeof(QlVector3f) == 12 && offsetof(QlVector3f, z) == 8);
LAYOUT(depthVector3, sizeof(QlDepthVector3) == 10 && offsetof(QlDepthVector3, depthZ) == 8);
LAYOUT(exposure, sizeof(ExposureTimeParams) == 8 && offsetof(ExposureTimeParams, exposureTime) == 4);
LAYOUT(resolutionList, sizeof(ResolutionList) == 52 && offsetof(ResolutionList, resolution) == 4);
LAYOUT(extrinsics, sizeof(SensorExtrinsicParameters) == 96 && offsetof(SensorExtrinsicParameters, translation) == 72);
LAYOUT(frame, sizeof(QlFrame) == 41);
LAYOUT(frameIndex, offsetof(QlFrame, frameIndex) == 0);
LAYOUT(frameType, offsetof(QlFrame, frameType) == 4);
LAYOUT(pixelFormat, offsetof(QlFrame, pixelFormat) == 8);
LAYOUT(frameData, offsetof(QlFrame, pFrameData) == 12);
LAYOUT(dataLen, offsetof(QlFrame, dataLen) == 20);
LAYOUT(exposureTime, offsetof(QlFrame, exposureTime) == 24);
LAYOUT(depthRange, offsetof(QlFrame, depthRange) == 28);
LAYOUT(width, offsetof(QlFrame, width) == 29);
LAYOUT(height, offsetof(QlFrame, height) == 31);
LAYOUT(timestamp, offsetof(QlFrame, deviceTimestamp) == 33);
LAYOUT(deviceInfo, sizeof(QlDeviceInfo) == 469);
LAYOUT(uri, offsetof(QlDeviceInfo, uri) == 64);
LAYOUT(alias, offsetof(QlDeviceInfo, alias) == 320);
LAYOUT(serial, offsetof(QlDeviceInfo, serialNumber) == 384);
LAYOUT(ip, offsetof(QlDeviceInfo, ip) == 448);
LAYOUT(status, offsetof(QlDeviceInfo, status) == 465);
LAYOUT(errorInfo, sizeof(QlDeviceErrorInfo) == 644 && offsetof(QlDeviceErrorInfo, errMsg) == 4);
LAYOUT(intrinsics,
       sizeof(QlSensorIntrinsicParameters) == 96 && offsetof(QlSensorIntrinsicParameters, distortion) == 32);
LAYOUT(timeFilter, sizeof(QlTimeFilterParams) == 5 && offsetof(QlTimeFilterParams, enable) == 4);
LAYOUT(confidenceFilter, sizeof(QlConfidenceFilterParams) == 5 && offsetof(QlConfidenceFilterParams, enable) == 4);
LAYOUT(flyingFilter, sizeof(QlFlyingPixelFilterParams) == 5 && offsetof(QlFlyingPixelFilterParams, enable) == 4);
LAYOUT(fillHole, sizeof(QlFillHoleFilterParams) == 13 && offsetof(QlFillHoleFilterParams, enable) == 12);
LAYOUT(spatial, sizeof(QlSpatialFilterParams) == 13 && offsetof(QlSpatialFilterParams, enable) == 12);
LAYOUT(input, sizeof(QlInputSignalParamsForHWTrigger) == 5 && offsetof(QlInputSignalParamsForHWTrigger, polarity) == 4);
LAYOUT(output, sizeof(QlOutputSignalParams) == 5 && offsetof(QlOutputSignalParams, delay) == 2);
LAYOUT(enums, sizeof(FrameType) == 4 && sizeof(PixelFormat) == 4 && sizeof(SensorType) == 4 && sizeof(FrameReady) == 4);

/* The C view of the entry points: a table of their addresses must compile. */
int HeaderCxxProbe(void) {
    int (*const open)(const char*, QlDeviceHandle*) = QL_OpenDeviceByIP;
    int (*const frame)(QlDeviceHandle, FrameType, QlFrame*) = QL_GetFrame;
    (void)open;
    (void)frame;
    return FRAME_READY_DEPTH == 1u;
}
