/* Enumerations that the application, the kit and the plug-ins share. C and C++: C++ gets
 * enums of a fixed 32-bit type, C the same values as int32_t typedefs and constants. */
#ifndef QL_ENUMS_H
#define QL_ENUMS_H

#include <stdint.h>

/* The enumerations below are laid out by hand: the formatter reads QL_ENUM(...){ as a braced list. */
/* clang-format off */
#ifdef __cplusplus
#define QL_ENUM(name) enum name : int32_t
#define QL_ENUM_END(name)
#else
#define QL_ENUM(name) typedef int32_t name; enum
#define QL_ENUM_END(name)
#endif

/* Which image a frame holds (formats and sizes in docs/api.md). Values outside the named ones
 * still occur and name frames without a buffer. */
QL_ENUM(FrameType){
    FRAME_RAW_TOF = -2,
    FRAME_RAW_COLOR = -1,
    FRAME_DEPTH = 0,          /* uint16 millimetres */
    FRAME_IR = 1,             /* uint8 (or uint16) brightness */
    FRAME_COLOR = 3,          /* 3 bytes a pixel, RGB or BGR */
    FRAME_COLOR_IN_DEPTH = 4, /* the colour image mapped onto the depth image */
    FRAME_DEPTH_IN_COLOR = 5, /* depth in millimetres mapped onto the colour image */
    FRAME_CONFIDENCE = 8,     /* uint16 signal amplitude; needs "Py_ConfidenceFrameEnable" */
};

QL_ENUM(PixelFormat){
    PIXEL_FORMAT_RAW = -1,
    PIXEL_FORMAT_DEPTH_MM16 = 0, /* uint16 millimetres */
    PIXEL_FORMAT_GRAY16 = 1,     /* uint16 */
    PIXEL_FORMAT_GRAY8 = 2,      /* uint8 */
    PIXEL_FORMAT_RGB = 3,        /* bytes R, G, B */
    PIXEL_FORMAT_BGR = 4,        /* bytes B, G, R */
};

/* Selects the camera of a calibration or setting. */
QL_ENUM(SensorType){
    SENSOR_TYPE_TOF = 1,
    SENSOR_TYPE_COLOR = 2,
};

#undef QL_ENUM
#undef QL_ENUM_END
/* clang-format on */

/* Ready bits of the frame-ready query, one per frame type of the group. */
typedef uint32_t FrameReady;
#ifdef __cplusplus
constexpr FrameReady FRAME_READY_DEPTH = 0x01;
constexpr FrameReady FRAME_READY_IR = 0x02;
constexpr FrameReady FRAME_READY_COLOR = 0x04;
constexpr FrameReady FRAME_READY_COLOR_IN_DEPTH = 0x08;
constexpr FrameReady FRAME_READY_DEPTH_IN_COLOR = 0x10;
constexpr FrameReady FRAME_READY_CONFIDENCE = 0x20;
#else
#define FRAME_READY_DEPTH          ((FrameReady)0x01)
#define FRAME_READY_IR             ((FrameReady)0x02)
#define FRAME_READY_COLOR          ((FrameReady)0x04)
#define FRAME_READY_COLOR_IN_DEPTH ((FrameReady)0x08)
#define FRAME_READY_DEPTH_IN_COLOR ((FrameReady)0x10)
#define FRAME_READY_CONFIDENCE     ((FrameReady)0x20)
#endif

#endif
