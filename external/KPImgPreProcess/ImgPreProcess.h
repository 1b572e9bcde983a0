#pragma once
#include "APIImgPreProcess.h"
#include "ParamsStore.h"
#include "UndistortCache.h"

namespace kpimg {

// The library's object: one per device, called from the kit's and the plug-ins' threads.
class ImgPreProcess : public APIImgPreProcess {
public:
    void SetCalibrationParams(const double* params, int flags) override;
    void SetSensorIntrinsic(int sensor, const double* K, int width, int height) override;
    void SetDepthRangeValue(int depthRange, int maxDepth, int reserved) override;
    int ProcessImage(PreProcImage* image) override;
    int ProcessColorImage(PreProcImage* image) override;
    void SetDistortionCorrection(bool enable) override;
    int MapDepthPointToColor(QlDepthVector3 depthPoint, QlVector2u16 colorSize, QlVector2u16* colorPoint) override;
    int MapDepthToColor(const PreProcImage* color, const PreProcImage* depth, PreProcImage* output) override;
    int MapColorToDepth(const PreProcImage* depth, const PreProcImage* color, PreProcImage* output) override;
    int Flip(PreProcImage* image, int flipCode) override;
    int Rotate(PreProcImage* image, int rotationMode) override;
    int ProcessDepthImage(PreProcImage* image) override;
    int AdjustIntrinsic(double* K, const double* D, int packedSize) override;
    void SetDeviceTag(const char* serialNumber) override;

private:
    int Undistort(Sensor sensor, PreProcImage& image, UndistortMap::Sampling sampling);

    ParamsStore m_params;
    UndistortCache m_undistort[2];  // by Sensor
};

}  // namespace kpimg
