/* Records that the application, the kit and the plug-ins exchange unchanged. Plain C; their
 * layouts cross library boundaries. Only the depth pixel needs packing: the others have no
 * padding, and keeping their natural alignment lets them be members of any object. */
#ifndef QL_TYPES_H
#define QL_TYPES_H

#include <stdint.h>

/* A pixel coordinate (x column, y row, from the top left) or an image size, in pixels. */
typedef struct QlVector2u16 {
    uint16_t x;
    uint16_t y;
} QlVector2u16;

/* A 3D point in millimetres in the depth camera's frame: origin at its optical centre, x to the
 * right, y down, z forward along the optical axis. */
typedef struct QlVector3f {
    float x;
    float y;
    float z;
} QlVector3f;

/* A depth pixel (column, row) and its depth in millimetres (0 and 0xFFFF: no depth). */
#pragma pack(push, 1)
typedef struct QlDepthVector3 {
    int32_t depthX;
    int32_t depthY;
    uint16_t depthZ;
} QlDepthVector3;
#pragma pack(pop)

/* mode: 1 manual time, 0 automatic exposure's upper limit (colour), 255 the camera's maximum
 * (get only). exposureTime: ToF in milliseconds; colour in thousandths of the camera's unit,
 * so values below 1000 (mode 0) or 100 (mode 1) read back 0. */
typedef struct ExposureTimeParams {
    int32_t mode;
    int32_t exposureTime;
} ExposureTimeParams;

/* Width and height in pixels. */
typedef struct QlResolution {
    int32_t width;
    int32_t height;
} QlResolution;

typedef struct ResolutionList {
    int32_t count; /* entries used, at most 6 */
    QlResolution resolution[6];
} ResolutionList;

/* From the ToF camera to the colour camera: rotation row by row, translation in millimetres. */
typedef struct SensorExtrinsicParameters {
    double rotation[9];
    double translation[3];
} SensorExtrinsicParameters;

/* A frame as the application receives it; its data stay in the kit's buffer until the next
 * frame-ready query. frameType and pixelFormat carry FrameType and PixelFormat values; rows
 * run top to bottom. Depth pixels are uint16 millimetres, 0 and 0xFFFF meaning no depth.
 * Packed: pFrameData may be misaligned. Read it by name (frame.pFrameData), which the compiler
 * does safely, or memcpy it out; never through a pointer to the member. */
#pragma pack(push, 1)
#pragma pack(push, 1)
typedef struct QlFrame {
    uint32_t frameIndex; /* counts the data frames of this open, from 1; one group shares it */
    int32_t frameType;
    int32_t pixelFormat;
    uint8_t* pFrameData;      /* the kit's buffer */
    uint32_t dataLen;         /* bytes: width x height x bytes per pixel */
    float exposureTime;       /* the camera's exposure as the frame carries it; 0 when it carries none */
    uint8_t depthRange;       /* the depth range it was measured in, 0 to 5 */
    uint16_t width;           /* pixels */
    uint16_t height;          /* pixels */
    uint64_t deviceTimestamp; /* the camera's clock, passed on unchanged (0: none sent) */
} QlFrame;
#pragma pack(pop)
#pragma pack(pop)

/* State of a camera of the kit's list. */
typedef int32_t QlDeviceStatus;
enum {
    QlDeviceRemoving = 0, /* the camera announced it is leaving, or an unknown state */
    QlDeviceGone = 1,     /* dropped or closed; never handed to the application */
    QlDeviceAvailable = 2,
    QlDeviceOpened = 3,
    QlUpgradeUnconnected = 4, /* the camera waits in its upgrade state */
    QlDeviceCameraState4 = 5
};

/* One camera as the application sees it; texts are NUL-terminated and zero-filled. uri is
 * "productName:serialNumber"; alias is the serial number when the camera announces none; ip is
 * the camera's IPv4 address text. */
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
