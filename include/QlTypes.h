/* Records that the application, the kit and the plug-ins exchange unchanged. Plain C; their
 * layouts cross library boundaries. Only the depth pixel needs packing: the others have no
 * padding, and keeping their natural alignment lets them be members of any object. */
#ifndef QL_TYPES_H
#define QL_TYPES_H

#include <stdint.h>

/* A pixel coordinate or an image size. */
typedef struct QlVector2u16 {
    uint16_t x;
    uint16_t y;
} QlVector2u16;

/* A 3D point in millimetres in the depth camera's frame. */
typedef struct QlVector3f {
    float x;
    float y;
    float z;
} QlVector3f;

/* A depth pixel and its depth in millimetres. */
#pragma pack(push, 1)
typedef struct QlDepthVector3 {
    int32_t depthX;
    int32_t depthY;
    uint16_t depthZ;
} QlDepthVector3;
#pragma pack(pop)

typedef struct ExposureTimeParams {
    int32_t mode;
    int32_t exposureTime;
} ExposureTimeParams;

typedef struct QlResolution {
    int32_t width;
    int32_t height;
} QlResolution;

typedef struct ResolutionList {
    int32_t count;
    QlResolution resolution[6];
} ResolutionList;

/* From the ToF camera to the colour camera: rotation row by row, translation in millimetres. */
typedef struct SensorExtrinsicParameters {
    double rotation[9];
    double translation[3];
} SensorExtrinsicParameters;

/* A frame as the application receives it; its data stay in the kit's buffer until the next
 * frame-ready query. frameType and pixelFormat carry FrameType and PixelFormat values. */
#pragma pack(push, 1)
#pragma pack(push, 1)
typedef struct QlFrame {
    uint32_t frameIndex;
    int32_t frameType;
    int32_t pixelFormat;
    uint8_t* pFrameData;
    uint32_t dataLen;
    float exposureTime;
    uint8_t depthRange;
    uint16_t width;
    uint16_t height;
    uint64_t deviceTimestamp;
} QlFrame;
#pragma pack(pop)
#pragma pack(pop)

/* State of a camera of the kit's list. */
typedef int32_t QlDeviceStatus;
enum {
    QlDeviceRemoving = 0,      /* the camera announced it is leaving, or an unknown state */
    QlDeviceGone = 1,          /* dropped or closed; never handed to the application */
    QlDeviceAvailable = 2,
    QlDeviceOpened = 3,
    QlUpgradeUnconnected = 4,  /* the camera waits in its upgrade state */
    QlDeviceCameraState4 = 5
};

/* One camera as the application sees it; texts are NUL-terminated and zero-filled. */
#pragma pack(push, 1)
typedef struct QlDeviceInfo {
    char productName[64];
    char uri[256];
    char alias[64];
    char serialNumber[64];
    char ip[17];
    QlDeviceStatus status;
} QlDeviceInfo;
#pragma pack(pop)

/* The camera's last error list: count, then up to ten zero-terminated texts. */
typedef struct QlDeviceErrorInfo {
    int32_t count;
    char errMsg[10][64];
} QlDeviceErrorInfo;

#ifdef __cplusplus
static_assert(sizeof(QlVector2u16) == 4, "QlVector2u16 layout");
static_assert(sizeof(QlVector3f) == 12, "QlVector3f layout");
static_assert(sizeof(QlDepthVector3) == 10, "QlDepthVector3 layout");
static_assert(sizeof(ExposureTimeParams) == 8, "ExposureTimeParams layout");
static_assert(sizeof(ResolutionList) == 52, "ResolutionList layout");
static_assert(sizeof(SensorExtrinsicParameters) == 96, "SensorExtrinsicParameters layout");
static_assert(sizeof(QlFrame) == 41, "QlFrame layout");
static_assert(sizeof(QlDeviceErrorInfo) == 644, "QlDeviceErrorInfo layout");
static_assert(sizeof(QlDeviceInfo) == 469, "QlDeviceInfo layout");
#endif

#endif
