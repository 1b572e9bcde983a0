/* Records that the application, the kit and the plug-ins exchange unchanged. Plain C, packed:
 * their layouts cross library boundaries. */
#ifndef QL_TYPES_H
#define QL_TYPES_H

#include <stdint.h>

#pragma pack(push, 1)

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
typedef struct QlDepthVector3 {
    int32_t depthX;
    int32_t depthY;
    uint16_t depthZ;
} QlDepthVector3;

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

#pragma pack(pop)

#ifdef __cplusplus
static_assert(sizeof(QlVector2u16) == 4, "QlVector2u16 layout");
static_assert(sizeof(QlVector3f) == 12, "QlVector3f layout");
static_assert(sizeof(QlDepthVector3) == 10, "QlDepthVector3 layout");
static_assert(sizeof(ExposureTimeParams) == 8, "ExposureTimeParams layout");
static_assert(sizeof(ResolutionList) == 52, "ResolutionList layout");
static_assert(sizeof(SensorExtrinsicParameters) == 96, "SensorExtrinsicParameters layout");
#endif

#endif
