#pragma once
#include "FakeFrameSource.h"
#include "ToF_API.h"

namespace synctest {

// A ToF plug-in that only hands out frames; every other operation declines.
class FakeToF : public ToF_API {
public:
    FakeFrameSource frames;

    bool IsFrameReady(FrameType type) override { return frames.IsFrameReady(type); }
    int GetFrame(FrameType type, Frame** out) override { return frames.GetFrame(type, out); }
    int RecycleFrame(Frame* frame) override { return frames.RecycleFrame(frame); }

    int Init(CommonControl*, Consumer*, APIImgPreProcess*) override { return 0; }
    int SetConfigFilePath(const char*) override { return 0; }
    int SetIntrinsicParams(const double*, const double*) override { return -255; }
    int GetIntrinsic(double*) override { return -255; }
    int GetDistortion(double*) override { return -255; }
    int SetOpenState(bool) override { return 0; }
    int SetStream(bool) override { return 0; }
    void RecycleCache() override {}
    void SetRawDepthCut(bool) override {}
    int SetFrameEnable(FrameType, bool) override { return -255; }
    int GetFrameEnable(FrameType, bool*) override { return -255; }
    int SetIRGMMGain(int) override { return -255; }
    int GetIRGMMGain(int*) override { return -255; }
    int SetDepthRange(const int&) override { return -255; }
    int GetDepthRange(int&) override { return -255; }
    int SetDatamode(const int&) override { return -255; }
    int GetDatamode(int&) override { return -255; }
    int SetProperty(const char*, const void*, int) override { return -255; }
    int GetProperty(const char*, void*, int) override { return -255; }
    int SetTimeFilterParams(TimeFilterParams) override { return -255; }
    int GetTimeFilterParams(TimeFilterParams*) override { return -255; }
    int SetConfidenceFilterParams(ConfidenceFilterParams) override { return -255; }
    int GetConfidenceFilterParams(ConfidenceFilterParams*) override { return -255; }
    int SetFlyingPixelFilterParams(FlyingPixelFilterParams) override { return -255; }
    int GetFlyingPixelFilterParams(FlyingPixelFilterParams*) override { return -255; }
    int SetFillHoleFilterParams(FillHoleFilterParams) override { return -255; }
    int GetFillHoleFilterParams(FillHoleFilterParams*) override { return -255; }
    int SetSpatialFilterParams(SpatialFilterParams) override { return -255; }
    int GetSpatialFilterParams(SpatialFilterParams*) override { return -255; }
    int SetExposureControlMode(int) override { return -255; }
    int GetExposureControlMode(int*) override { return -255; }
    int SetExposureTime(ExposureTimeParams) override { return -255; }
    int GetExposureTime(ExposureTimeParams*) override { return -255; }
    int SetDistortionCorrectionEnabled(bool) override { return -255; }
    int GetDistortionCorrectionEnabled(bool*) override { return -255; }
    int GetResolutionList(ResolutionList*) override { return -255; }
    int ProcessData(uint8_t*, int, FrameSyncInfo) override { return -1; }
    int CheckImgData(uint8_t*, int) override { return -255; }
    int ConvertDepthFrameToPointCloudVector(const Frame*, Vector3f*) override { return -255; }
    int SetHDRModeEnabled(bool) override { return -255; }
    int GetHDRModeEnabled(bool*) override { return -255; }
};

}  // namespace synctest
