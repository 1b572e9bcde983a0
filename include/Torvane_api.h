/* The kit's public interface: find ToF cameras on the network, open one, stream its frames,
 * change its settings. Plain C (C99 and later) and C++. Every function returns 0 or a
 * negative status unless it says otherwise; docs/api.md is the guide: call sequence, threads,
 * every status code, frame formats, property keys, settings file, timings.
 *
 * Codes every function may give and that the lines below do not repeat: -102 not initialised,
 * -12 a required pointer is NULL, -3 an empty handle, -15 a handle whose camera was closed (or
 * an argument out of range), -104 the camera did not answer, -105 it did not confirm a setting,
 * -255 any other failure (for instance a colour function on a ToF-only camera).
 * Units: times in milliseconds, distances in millimetres, sizes in bytes. */
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

/* An opened camera. Several handles may name one camera (opened by IP twice); once the camera
 * is closed through any of them, the others give -15. */
typedef struct QlDeviceCell* QlDeviceHandle;

#pragma pack(push, 1)
/* Pinhole intrinsics: focal lengths and principal point in pixels of the current image size. */
typedef struct QlSensorIntrinsicParameters {
    double fx;
    double fy;
    double cx;
    double cy;
    double distortion[8]; /* the camera's distortion coefficients, unitless */
} QlSensorIntrinsicParameters;

/* Depth filters: enable 1 on, 0 off; thresholds and counts are unitless strengths. */
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

/* Trigger signals: width, interval and delay are passed to the camera unchanged, in its own
 * units (the kit knows none; 16 bits, so at most 65535); polarity 0 or 1. */
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

/* Called on a short-lived thread of the kit when a camera appears (0) or is lost (1); info is
 * valid during the call only. Any kit function may be called from it. */
typedef void (*QlHotPlugStatusCallback)(const QlDeviceInfo* info, int status, void* userData);

/* Life cycle. */
/* Starts the kit, logging to ~/.config/Quelta/Log; -101 initialised already, -21 no product profile. */
QL_EXPORT int QL_Initialize(void);
/* As QL_Initialize, logging to logPath (NULL: the folder given before); -24 folder, -25 log file. */
QL_EXPORT int QL_InitializeWithLogPath(const char* logPath);
/* Closes every camera, stops the kit's threads; no callback runs after it returns. -102 twice. */
QL_EXPORT int QL_Shutdown(void);
/* The kit's version text; works without initialisation. */
QL_EXPORT const char* QL_GetSDKVersion(void);

/* Cameras on the network: a camera is listed about a second after its first announcement. */
/* The number of listed cameras. */
QL_EXPORT int QL_GetDeviceCount(uint32_t* count);
/* Writes at most count records; the rest of the array is left alone. */
QL_EXPORT int QL_GetDeviceInfoList(uint32_t count, QlDeviceInfo* list);
/* The index-th listed camera; -15 beyond the list. */
QL_EXPORT int QL_GetDeviceInfo(uint32_t index, QlDeviceInfo* info);
/* Replaces the hot-plug callback (NULL: none). userData comes back to the callback as the same
 * pointer, const dropped; the kit never reads or writes through it. */
QL_EXPORT int QL_SetHotPlugStatusCallback(QlHotPlugStatusCallback callback, const void* userData);

/* Open and close. An open starts the plug-ins, connects, starts the stream and stores a new
 * handle; about 0.5 s for a ToF-only camera, 1 to 2 s with colour. Codes: -15 not
 * listed, -1 leaving or gone (also a reopen before the camera announced itself again), -106 not
 * on a host subnet, -109 no plug-in for it, -255 the command connection (TCP 9008) refused or
 * unanswered, -13 the data connection (TCP 9009) not made, -104 the camera answered none of the
 * open's commands. */
/* By the listed uri ("productName:serialNumber"); -103 opened already. */
QL_EXPORT int QL_OpenDeviceByUri(const char* uri, QlDeviceHandle* handle);
/* By the listed alias; -103 opened already. */
QL_EXPORT int QL_OpenDeviceByAlias(const char* alias, QlDeviceHandle* handle);
/* By the camera's IPv4 text; an opened camera gives a second handle. */
QL_EXPORT int QL_OpenDeviceByIP(const char* ip, QlDeviceHandle* handle);
/* Closes the camera, frees the handle and sets *handle to NULL. Another handle of the camera
 * then gives -15 from every call but this one, which gives 0. */
QL_EXPORT int QL_CloseDevice(QlDeviceHandle* handle);

/* Stream and frames. The frame's data stay valid until the next frame-ready query. From the
 * moment the kit notices a loss (its hot-plug report follows within milliseconds) the three
 * give -1 until QL_CloseDevice, or until the camera is opened again: the new handle shares the
 * kept device, so the old one gives frames again. */
/* Starts the stream (the open already did; 0 when it runs). */
QL_EXPORT int QL_StartStream(QlDeviceHandle handle);
/* Stops the stream; frame calls then give -108. */
QL_EXPORT int QL_StopStream(QlDeviceHandle handle);
/* Waits up to waitTime ms for the next frame group and sets FRAME_READY_ bits; -11 none came,
 * -23 the group is older than 1000 ms, -108 the stream is stopped. */
QL_EXPORT int QL_GetFrameReady(QlDeviceHandle handle, uint16_t waitTime, FrameReady* ready);
/* Hands out a ready frame once; -4 not ready or taken already, -23 stale (frame still filled). */
QL_EXPORT int QL_GetFrame(QlDeviceHandle handle, FrameType type, QlFrame* frame);

/* Properties by key (the key table is in docs/api.md): -8 data NULL, -15 wrong size, an unknown
 * key -255 (ToF-only camera) or -6 get / -7 set (colour camera). */
QL_EXPORT int QL_GetProperty(QlDeviceHandle handle, const char* key, void* data, int dataSize);
QL_EXPORT int QL_SetProperty(QlDeviceHandle handle, const char* key, const void* data, int dataSize);

/* Settings; each set that goes to the camera is read back (about 45 ms a set). */
/* 0 active, 1 hardware trigger, 2 software trigger; takes about 1 s and drops the frames in flight. */
QL_EXPORT int QL_SetWorkMode(QlDeviceHandle handle, int32_t mode);
QL_EXPORT int QL_GetWorkMode(QlDeviceHandle handle, int32_t* mode);
/* One frame in software-trigger mode. */
QL_EXPORT int QL_SetSoftwareSlaveTrigger(QlDeviceHandle handle);
/* Frames per second, 0 to 127 (0 stops the frames); takes about 0.55 s. */
QL_EXPORT int QL_SetFrameRate(QlDeviceHandle handle, int32_t fps);
QL_EXPORT int QL_GetFrameRate(QlDeviceHandle handle, int32_t* fps);
/* PIXEL_FORMAT_RGB or PIXEL_FORMAT_BGR (default), else -15. Kept by the kit, effective at once;
 * no getter: a colour frame's pixelFormat shows it. */
QL_EXPORT int QL_SetColorPixelFormat(QlDeviceHandle handle, PixelFormat format);
/* One of the colour sensor's resolution list, else -15. */
QL_EXPORT int QL_SetColorResolution(QlDeviceHandle handle, int32_t width, int32_t height);
QL_EXPORT int QL_GetColorResolution(QlDeviceHandle handle, int32_t* width, int32_t* height);
/* The resolutions of a sensor (ToF: the depth image's). */
QL_EXPORT int QlGetSupportedResolutionList(QlDeviceHandle handle, SensorType type, ResolutionList* list);
/* 0 automatic, 1 manual exposure; the camera's setting (the kit sets none at open). */
QL_EXPORT int QL_SetExposureControlMode(QlDeviceHandle handle, SensorType type, int32_t mode);
QL_EXPORT int QL_GetExposureControlMode(QlDeviceHandle handle, SensorType type, int32_t* mode);
/* params.mode 1 manual time, 0 (colour) automatic upper limit; -15 for another mode or a time
 * the kit refuses: ToF below 0 or above 4294967 ms (not checked against the camera's maximum),
 * colour mode 0 outside 0 to 255999, mode 1 outside 0 to 6553599. ToF in ms, colour in
 * thousandths of the camera's unit (see ExposureTimeParams). */
QL_EXPORT int QL_SetExposureTime(QlDeviceHandle handle, SensorType type, ExposureTimeParams params);
/* Reads the time of the mode in params->mode (255: the camera's maximum); only exposureTime is written. */
QL_EXPORT int QL_GetExposureTime(QlDeviceHandle handle, SensorType type, ExposureTimeParams* params);
/* IR gain 0 to 255; the camera's setting (the kit sets none at open). */
QL_EXPORT int QL_SetIRGMMGain(QlDeviceHandle handle, uint8_t gain);
QL_EXPORT int QL_GetIRGMMGain(QlDeviceHandle handle, uint8_t* gain);
QL_EXPORT int QL_SetHDRModeEnabled(QlDeviceHandle handle, bool enable);
QL_EXPORT int QL_GetHDRModeEnabled(QlDeviceHandle handle, bool* enable);
/* Colour gain, the property "Py_ColorGain". */
QL_EXPORT int QL_SetColorGain(QlDeviceHandle handle, float gain);
QL_EXPORT int QL_GetColorGain(QlDeviceHandle handle, float* gain);
/* The hardware trigger's input and the camera's output signal. */
QL_EXPORT int QL_SetInputSignalParamsForHWTrigger(QlDeviceHandle handle, QlInputSignalParamsForHWTrigger params);
QL_EXPORT int QL_GetInputSignalParamsForHWTrigger(QlDeviceHandle handle, QlInputSignalParamsForHWTrigger* params);
QL_EXPORT int QL_SetOutputSignalParams(QlDeviceHandle handle, QlOutputSignalParams params);
QL_EXPORT int QL_GetOutputSignalParams(QlDeviceHandle handle, QlOutputSignalParams* params);

/* Depth filters of the ToF plug-in; the ...Enabled functions change only the enable byte. The
 * time and confidence filters run on raw phase records only, the confidence filter only with
 * ./Config/ConfidenceFactor.bin; their sets go to the decoder and the camera, their gets read
 * the camera's setting. -15 a time threshold outside 0 to 255 or a confidence threshold outside
 * 0 to 65535; the other filters' values are not checked. */
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

/* Settings file (format in docs/api.md, example examples/settings.json): applies a JSON file of
 * settings in a fixed order; the first failing setting ends the call with its status and what
 * was applied before it stays applied. -18 path over 260 characters, -15 a path without "/", a
 * file that cannot be read or parsed, or a value of the wrong type (then nothing is applied). */
QL_EXPORT int QL_SetParamsByJson(QlDeviceHandle handle, const char* path);

/* Calibration and geometry. */
/* The intrinsics for the current image size of the sensor; -14 a type other than 1 and 2. */
QL_EXPORT int QL_GetSensorIntrinsicParameters(QlDeviceHandle handle, SensorType type,
                                              QlSensorIntrinsicParameters* params);
/* From the ToF camera to the colour camera (colour cameras). */
QL_EXPORT int QL_GetSensorExtrinsicParameters(QlDeviceHandle handle, SensorExtrinsicParameters* params);
/* Switches the FRAME_COLOR_IN_DEPTH frames on or off. */
QL_EXPORT int QL_SetTransformColorImgToDepthSensorEnabled(QlDeviceHandle handle, bool enable);
QL_EXPORT int QL_GetTransformColorImgToDepthSensorEnabled(QlDeviceHandle handle, bool* enable);
/* Switches the FRAME_DEPTH_IN_COLOR frames on or off. */
QL_EXPORT int QL_SetTransformDepthImgToColorSensorEnabled(QlDeviceHandle handle, bool enable);
QL_EXPORT int QL_GetTransformDepthImgToColorSensorEnabled(QlDeviceHandle handle, bool* enable);
/* The colour pixel of a depth pixel, for a colour image of colorSize; -1 when it has none. */
QL_EXPORT int QL_TransformedDepthPointToColorPoint(QlDeviceHandle handle, QlDepthVector3 depthPoint,
                                                   QlVector2u16 colorSize, QlVector2u16* colorPoint);
/* A depth (or depth-in-colour) frame as points in mm: x right, y down, z forward; an invalid pixel
 * gives (0, 0, 0). points must hold width x height elements. -5 frame without data, -15 another
 * frame type. */
QL_EXPORT int QL_ConvertDepthFrameToPointCloudVector(QlDeviceHandle handle, const QlFrame* frame, QlVector3f* points);
/* Pinhole arithmetic on count elements of the caller's arrays with the given intrinsics. */
QL_EXPORT int QL_ConvertDepthToPointCloud(QlDeviceHandle handle, const QlDepthVector3* in, QlVector3f* out,
                                          int32_t count, const QlSensorIntrinsicParameters* params);
QL_EXPORT int QL_ConvertPointCloudToDepth(QlDeviceHandle handle, const QlVector3f* in, QlDepthVector3* out,
                                          int32_t count, const QlSensorIntrinsicParameters* params);

/* Maintenance. Texts are NUL-terminated within the size given. */
/* The camera's firmware version text; len of at least 19, else -15. */
QL_EXPORT int QL_GetFirmwareVersion(QlDeviceHandle handle, char* buf, int32_t len);
/* "xx:xx:xx:xx:xx:xx"; mac holds 18 bytes. */
QL_EXPORT int QL_GetDeviceMACAddress(QlDeviceHandle handle, char* mac);
/* Restarts the camera; it is lost, then listed again. (Spelt so: the API's name.) */
QL_EXPORT int QL_RebootDevie(QlDeviceHandle handle);
/* The error texts the camera last sent with its frames; 0 whenever the handle is valid. */
QL_EXPORT int QL_GetDeviceErrorInfo(QlDeviceHandle handle, QlDeviceErrorInfo* info);

/* Firmware upgrade and JSON parameter transfer. The callbacks get a step, its parameter (-1 a
 * failure) and userData, on the kit's transfer threads; the steps are tabled in docs/api.md. */
typedef void (*UpgradeStatusCallback)(int status, int params, void* userData);
typedef void (*UpgradeJsonStatusCallback)(int status, int params, void* userData);
/* Checks the image, has the camera fetch it (HTTP, port 8080) and closes the device. imgPath of
 * at most 260 characters (-18); -16 older image, -17 unusable image, -19 no upgrade callback
 * (the camera fetches the image all the same), -22 the file server could not start. */
QL_EXPORT int QL_StartUpgradeFirmWare(QlDeviceHandle handle, const char* imgPath);
/* The callback of every firmware upgrade (one for the whole kit). */
QL_EXPORT int QL_SetUpgradeStatusCallback(QlDeviceHandle handle, UpgradeStatusCallback callback, const void* userData);
/* Stops the stream and switches the camera into JSON mode: it posts its parameter file to
 * ./Config/config.json; then the property "Py_JsonPath" sends a file. -3 the camera refused. */
QL_EXPORT int QL_SetUpgradeJsonStatusCallback(QlDeviceHandle handle, UpgradeJsonStatusCallback callback,
                                              const void* userData);

#ifdef __cplusplus
}
#endif

#endif
