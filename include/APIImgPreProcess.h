#pragma once
#include <cstdint>

#include "QlTypes.h"

enum ALG_ElemType : int32_t {
    ALG_ELEM_8U = 1,      // 8-bit grey
    ALG_ELEM_8UC3 = 2,    // 24-bit colour
    ALG_ELEM_16U = 3,     // 16-bit depth or grey
};

// An image the preprocessing library works on in place. It carries no capacity: a call
// writes exactly the target image's size, which the caller checks against its buffer first.
struct PreProcImage {
    uint8_t* data;
    ALG_ElemType elemType;
    int32_t width;
    int32_t height;
};

// The preprocessing library's object, one per device; calls come from several threads.
// The slot order is part of the library boundary.
class APIImgPreProcess {
public:
    virtual ~APIImgPreProcess() = default;
    // 64 doubles: ToF K[9] at 0, D[8] at 9, colour K[9] at 17, D[8] at 26, rotation[9] at 34,
    // translation[3] (mm) at 43, the rest 0.
    virtual void SetCalibrationParams(const double* params, int flags) = 0;
    // sensor 0 ToF, 1 colour.
    virtual void SetSensorIntrinsic(int sensor, const double* K, int width, int height) = 0;
    virtual void SetDepthRangeValue(int depthRange, int maxDepth, int reserved) = 0;
    virtual int ProcessImage(PreProcImage* image) = 0;
    virtual int ProcessColorImage(PreProcImage* image) = 0;
    virtual void SetDistortionCorrection(bool enable) = 0;
    virtual int MapDepthPointToColor(QlDepthVector3 depthPoint, QlVector2u16 colorSize,
                                     QlVector2u16* colorPoint) = 0;
    // 0 when the output was made; the output's width and height are filled in.
    virtual int MapDepthToColor(const PreProcImage* color, const PreProcImage* depth,
                                PreProcImage* output) = 0;
    virtual int MapColorToDepth(const PreProcImage* depth, const PreProcImage* color,
                                PreProcImage* output) = 0;
    // flipCode 1 horizontal, 0 vertical, -1 both.
    virtual int Flip(PreProcImage* image, int flipCode) = 0;
    virtual int Rotate(PreProcImage* image, int rotationMode) = 0;
    virtual int ProcessDepthImage(PreProcImage* image) = 0;
    // K is replaced by the matrix that undistortion at the packed size ((height << 16) | width)
    // produces.
    virtual int AdjustIntrinsic(double* K, const double* D, int packedSize) = 0;
    // The caller's text is temporary: copy it.
    virtual void SetDeviceTag(const char* serialNumber) = 0;
};

extern "C" APIImgPreProcess* Get_APIImgPreProcess(const char* logPath);
