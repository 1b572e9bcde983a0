#pragma once
#include <cstdint>

#include "QlTypes.h"

enum ALG_ElemType : int32_t {
    ALG_ELEM_8U = 1,    // 8-bit grey
    ALG_ELEM_8UC3 = 2,  // 24-bit colour
    ALG_ELEM_16U = 3,   // 16-bit depth or grey
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
//
// Conventions of libKPImgPreProcess:
// - Cameras are pinholes with pixel centres at integer coordinates. A sensor's K holds for
//   the image size last given to SetSensorIntrinsic (until then: the ToF calibration for
//   640x480, the colour calibration for 1600x1200); an image of another size uses K scaled
//   to it, the principal point moving with the pixel centres.
// - Zero focal lengths mean uncalibrated, and an all-zero rotation means no rig: the
//   mappings then return -1. Depth pixels of 0 or 65535 carry no depth.
// - Undistortion (rational model k1, k2, p1, p2, k3, k4, k5, k6) keeps the camera matrix:
//   the corrected image is seen through the same K, pixels the lens never saw become 0.
// - Operations return 0 on success and -1 on a refused argument or failure.
class APIImgPreProcess {
public:
    virtual ~APIImgPreProcess() = default;
    // 64 doubles: ToF K[9] at 0, D[8] at 9, colour K[9] at 17, D[8] at 26, rotation[9] at 34,
    // translation[3] (mm) at 43, the rest 0. Rotation and translation take a depth-camera
    // point into the colour camera's frame: p_colour = R * p_depth + T.
    virtual void SetCalibrationParams(const double* params, int flags) = 0;
    // sensor 0 ToF, 1 colour: K for images of width x height; the distortion stays.
    virtual void SetSensorIntrinsic(int sensor, const double* K, int width, int height) = 0;
    // Not needed by this library; accepted and ignored.
    virtual void SetDepthRangeValue(int depthRange, int maxDepth, int reserved) = 0;
    // IR (8- or 16-bit) or confidence image of the ToF sensor: undistorted in place
    // (interpolated) while distortion correction is on and the ToF coefficients are not all
    // 0; otherwise unchanged and 0.
    virtual int ProcessImage(PreProcImage* image) = 0;
    // Colour image (element type 2): as ProcessImage, with the colour sensor's calibration.
    virtual int ProcessColorImage(PreProcImage* image) = 0;
    // One switch for the three Process operations; off until set.
    virtual void SetDistortionCorrection(bool enable) = 0;
    // A depth pixel of the ToF image at the size its K holds for, to the colour pixel at
    // colorSize. -1 and {0, 0} when it has no depth, the rig is uncalibrated or the point
    // lands outside the colour image.
    virtual int MapDepthPointToColor(QlDepthVector3 depthPoint, QlVector2u16 colorSize, QlVector2u16* colorPoint) = 0;
    // Depth-in-colour: writes color's width x height 16-bit pixels, the depth in the colour
    // camera (mm), 0 where nothing lands; the nearer depth wins. 0 when made; the output's
    // element type, width and height are filled in.
    virtual int MapDepthToColor(const PreProcImage* color, const PreProcImage* depth, PreProcImage* output) = 0;
    // Colour-in-depth: writes depth's width x height 24-bit pixels, the colour pixel each
    // depth pixel lands on, black where it has no depth or lands outside. As MapDepthToColor.
    virtual int MapColorToDepth(const PreProcImage* depth, const PreProcImage* color, PreProcImage* output) = 0;
    // flipCode 1 horizontal, 0 vertical, -1 both.
    virtual int Flip(PreProcImage* image, int flipCode) = 0;
    // rotationMode 0 90 degrees clockwise, 1 180 degrees, 2 90 degrees counter-clockwise;
    // quarter turns swap width and height.
    virtual int Rotate(PreProcImage* image, int rotationMode) = 0;
    // Depth image (element type 3): as ProcessImage, taking the nearest pixel (no blended
    // depths at edges).
    virtual int ProcessDepthImage(PreProcImage* image) = 0;
    // K is replaced by the matrix that undistortion at the packed size ((height << 16) | width)
    // produces; undistortion keeps the matrix, so K stays as it is.
    virtual int AdjustIntrinsic(double* K, const double* D, int packedSize) = 0;
    // The caller's text is temporary. The library writes no log and keeps no tag.
    virtual void SetDeviceTag(const char* serialNumber) = 0;
};

extern "C" APIImgPreProcess* Get_APIImgPreProcess(const char* logPath);
