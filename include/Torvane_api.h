/* The kit's public interface: find ToF cameras on the network, open one, stream its frames,
 * change its settings. Plain C (C99 and later) and C++. Every function returns 0 or a
 * negative status unless it says otherwise. */
#ifndef TORVANE_API_H
#define TORVANE_API_H

#include <stdbool.h>
#include <stdint.h>

#include "QlEnums.h"
#include "QlTypes.h"

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define QL_EXPORT __attribute__((visibility("default")))
#else
#define QL_EXPORT
#endif

/* An opened camera. Several handles may name one camera; a closed one is refused. */
typedef struct QlDeviceCell* QlDeviceHandle;

#pragma pack(push, 1)
typedef struct QlSensorIntrinsicParameters {
    double fx;
    double fy;
    double cx;
    double cy;
    double distortion[8];
} QlSensorIntrinsicParameters;

typedef struct QlTimeFilterParams {
    int32_t threshold;
    uint8_t enable;
} QlTimeFilterParams;

typedef struct QlConfidenceFilterParams {
    int32_t threshold;
    uint8_t enable;
} QlConfidenceFilterParams;

typedef struct QlFlyingPixelFilterParams {
    int32_t threshold;
    uint8_t enable;
} QlFlyingPixelFilterParams;

typedef struct QlFillHoleFilterParams {
    int32_t validCount;
    int32_t deviationShift;
    int32_t iterations;
    uint8_t enable;
} QlFillHoleFilterParams;

typedef struct QlSpatialFilterParams {
    int32_t validCount;
    int32_t deviationPercent;
    int32_t iterations;
    uint8_t enable;
} QlSpatialFilterParams;

typedef struct QlInputSignalParamsForHWTrigger {
    uint16_t width;
    uint16_t interval;
    uint8_t polarity;
} QlInputSignalParamsForHWTrigger;

typedef struct QlOutputSignalParams {
    uint16_t width;
    uint16_t delay;
    uint8_t polarity;
} QlOutputSignalParams;
#pragma pack(pop)

/* Called on a thread of the kit when a camera appears (0) or is removed (1). */
typedef void (*QlHotPlugStatusCallback)(const QlDeviceInfo* info, int status, void* userData);

/* Life cycle. */
QL_EXPORT int QL_Initialize(void);
QL_EXPORT int QL_InitializeWithLogPath(const char* logPath);
QL_EXPORT int QL_Shutdown(void);
QL_EXPORT const char* QL_GetSDKVersion(void);

/* Cameras on the network. */
QL_EXPORT int QL_GetDeviceCount(uint32_t* count);
QL_EXPORT int QL_GetDeviceInfoList(uint32_t count, QlDeviceInfo* list);
QL_EXPORT int QL_GetDeviceInfo(uint32_t index, QlDeviceInfo* info);
QL_EXPORT int QL_SetHotPlugStatusCallback(QlHotPlugStatusCallback callback, const void* userData);

/* Open and close. */
QL_EXPORT int QL_OpenDeviceByUri(const char* uri, QlDeviceHandle* handle);
QL_EXPORT int QL_OpenDeviceByAlias(const char* alias, QlDeviceHandle* handle);
QL_EXPORT int QL_OpenDeviceByIP(const char* ip, QlDeviceHandle* handle);
QL_EXPORT int QL_CloseDevice(QlDeviceHandle* handle);

/* Stream and frames. The frame's data stay valid until the next frame-ready query. */
QL_EXPORT int QL_StartStream(QlDeviceHandle handle);
QL_EXPORT int QL_StopStream(QlDeviceHandle handle);
QL_EXPORT int QL_GetFrameReady(QlDeviceHandle handle, uint16_t waitTime, FrameReady* ready);
QL_EXPORT int QL_GetFrame(QlDeviceHandle handle, FrameType type, QlFrame* frame);

/* Properties by key. */
QL_EXPORT int QL_GetProperty(QlDeviceHandle handle, const char* key, void* data, int dataSize);
QL_EXPORT int QL_SetProperty(QlDeviceHandle handle, const char* key, const void* data, int dataSize);

/* Settings. */
QL_EXPORT int QL_SetWorkMode(QlDeviceHandle handle, int32_t mode);
QL_EXPORT int QL_GetWorkMode(QlDeviceHandle handle, int32_t* mode);
QL_EXPORT int QL_SetSoftwareSlaveTrigger(QlDeviceHandle handle);
QL_EXPORT int QL_SetFrameRate(QlDeviceHandle handle, int32_t fps);
QL_EXPORT int QL_GetFrameRate(QlDeviceHandle handle, int32_t* fps);
QL_EXPORT int QL_SetColorPixelFormat(QlDeviceHandle handle, PixelFormat format);
QL_EXPORT int QL_SetColorResolution(QlDeviceHandle handle, int32_t width, int32_t height);
QL_EXPORT int QL_GetColorResolution(QlDeviceHandle handle, int32_t* width, int32_t* height);
QL_EXPORT int QlGetSupportedResolutionList(QlDeviceHandle handle, SensorType type, ResolutionList* list);
QL_EXPORT int QL_SetExposureControlMode(QlDeviceHandle handle, SensorType type, int32_t mode);
QL_EXPORT int QL_GetExposureControlMode(QlDeviceHandle handle, SensorType type, int32_t* mode);
QL_EXPORT int QL_SetExposureTime(QlDeviceHandle handle, SensorType type, ExposureTimeParams params);
QL_EXPORT int QL_GetExposureTime(QlDeviceHandle handle, SensorType type, ExposureTimeParams* params);
QL_EXPORT int QL_SetIRGMMGain(QlDeviceHandle handle, uint8_t gain);
QL_EXPORT int QL_GetIRGMMGain(QlDeviceHandle handle, uint8_t* gain);
QL_EXPORT int QL_SetHDRModeEnabled(QlDeviceHandle handle, bool enable);
QL_EXPORT int QL_GetHDRModeEnabled(QlDeviceHandle handle, bool* enable);
QL_EXPORT int QL_SetColorGain(QlDeviceHandle handle, float gain);
QL_EXPORT int QL_GetColorGain(QlDeviceHandle handle, float* gain);
QL_EXPORT int QL_SetInputSignalParamsForHWTrigger(QlDeviceHandle handle, QlInputSignalParamsForHWTrigger params);
QL_EXPORT int QL_GetInputSignalParamsForHWTrigger(QlDeviceHandle handle, QlInputSignalParamsForHWTrigger* params);
QL_EXPORT int QL_SetOutputSignalParams(QlDeviceHandle handle, QlOutputSignalParams params);
QL_EXPORT int QL_GetOutputSignalParams(QlDeviceHandle handle, QlOutputSignalParams* params);

/* Depth filters. */
QL_EXPORT int QL_SetTimeFilterParams(QlDeviceHandle handle, QlTimeFilterParams params);
QL_EXPORT int QL_GetTimeFilterParams(QlDeviceHandle handle, QlTimeFilterParams* params);
QL_EXPORT int QL_SetConfidenceFilterParams(QlDeviceHandle handle, QlConfidenceFilterParams params);
QL_EXPORT int QL_GetConfidenceFilterParams(QlDeviceHandle handle, QlConfidenceFilterParams* params);
QL_EXPORT int QL_SetFlyingPixelFilterParams(QlDeviceHandle handle, QlFlyingPixelFilterParams params);
QL_EXPORT int QL_GetFlyingPixelFilterParams(QlDeviceHandle handle, QlFlyingPixelFilterParams* params);
QL_EXPORT int QL_SetFillHoleFilterParams(QlDeviceHandle handle, QlFillHoleFilterParams params);
QL_EXPORT int QL_GetFillHoleFilterParams(QlDeviceHandle handle, QlFillHoleFilterParams* params);
QL_EXPORT int QL_SetFillHoleFilterEnabled(QlDeviceHandle handle, bool enable);
QL_EXPORT int QL_GetFillHoleFilterEnabled(QlDeviceHandle handle, bool* enable);
QL_EXPORT int QL_SetSpatialFilterParams(QlDeviceHandle handle, QlSpatialFilterParams params);
QL_EXPORT int QL_GetSpatialFilterParams(QlDeviceHandle handle, QlSpatialFilterParams* params);
QL_EXPORT int QL_SetSpatialFilterEnabled(QlDeviceHandle handle, bool enable);
QL_EXPORT int QL_GetSpatialFilterEnabled(QlDeviceHandle handle, bool* enable);

/* Settings file: applies a JSON file of settings in a fixed order; the first failing setting
 * ends the call with its status and what was applied before it stays applied. */
QL_EXPORT int QL_SetParamsByJson(QlDeviceHandle handle, const char* path);

/* Calibration and geometry. */
QL_EXPORT int QL_GetSensorIntrinsicParameters(QlDeviceHandle handle, SensorType type, QlSensorIntrinsicParameters* params);
QL_EXPORT int QL_GetSensorExtrinsicParameters(QlDeviceHandle handle, SensorExtrinsicParameters* params);
QL_EXPORT int QL_SetTransformColorImgToDepthSensorEnabled(QlDeviceHandle handle, bool enable);
QL_EXPORT int QL_GetTransformColorImgToDepthSensorEnabled(QlDeviceHandle handle, bool* enable);
QL_EXPORT int QL_SetTransformDepthImgToColorSensorEnabled(QlDeviceHandle handle, bool enable);
QL_EXPORT int QL_GetTransformDepthImgToColorSensorEnabled(QlDeviceHandle handle, bool* enable);
QL_EXPORT int QL_TransformedDepthPointToColorPoint(QlDeviceHandle handle, QlDepthVector3 depthPoint, QlVector2u16 colorSize,
                                                   QlVector2u16* colorPoint);
/* points must hold width x height elements. */
QL_EXPORT int QL_ConvertDepthFrameToPointCloudVector(QlDeviceHandle handle, const QlFrame* frame, QlVector3f* points);
QL_EXPORT int QL_ConvertDepthToPointCloud(QlDeviceHandle handle, const QlDepthVector3* in, QlVector3f* out, int32_t count,
                                          const QlSensorIntrinsicParameters* params);
QL_EXPORT int QL_ConvertPointCloudToDepth(QlDeviceHandle handle, const QlVector3f* in, QlDepthVector3* out, int32_t count,
                                          const QlSensorIntrinsicParameters* params);

/* Maintenance. */
/* len of at least 19. */
QL_EXPORT int QL_GetFirmwareVersion(QlDeviceHandle handle, char* buf, int32_t len);
/* mac holds 18 bytes. */
QL_EXPORT int QL_GetDeviceMACAddress(QlDeviceHandle handle, char* mac);
QL_EXPORT int QL_RebootDevie(QlDeviceHandle handle);
QL_EXPORT int QL_GetDeviceErrorInfo(QlDeviceHandle handle, QlDeviceErrorInfo* info);

/* Firmware upgrade and JSON parameter transfer. The callbacks get a step, its parameter (-1 a
 * failure) and userData, on the kit's transfer threads. */
typedef void (*UpgradeStatusCallback)(int status, int params, void* userData);
typedef void (*UpgradeJsonStatusCallback)(int status, int params, void* userData);
/* imgPath of at most 260 characters; the result is the device's own. */
QL_EXPORT int QL_StartUpgradeFirmWare(QlDeviceHandle handle, const char* imgPath);
QL_EXPORT int QL_SetUpgradeStatusCallback(QlDeviceHandle handle, UpgradeStatusCallback callback, const void* userData);
QL_EXPORT int QL_SetUpgradeJsonStatusCallback(QlDeviceHandle handle, UpgradeJsonStatusCallback callback,
                                              const void* userData);

#ifdef __cplusplus
}
#endif

#endif
