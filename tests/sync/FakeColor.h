#pragma once
#include "Color_API.h"
#include "FakeFrameSource.h"

namespace synctest {

// A colour plug-in that only hands out frames; every other operation declines.
class FakeColor : public Color_API {
public:
    FakeFrameSource frames;

    bool IsFrameReady(FrameType type) override { return frames.IsFrameReady(type); }
    int GetFrame(FrameType type, Frame** out) override { return frames.GetFrame(type, out); }
    int RecycleFrame(Frame* frame) override { return frames.RecycleFrame(frame); }

    int SetConfigFilePath(const char*) override { return 0; }
    int Init(CommonControl*, Consumer*, APIImgPreProcess*) override { return 0; }
    int SetIntrinsicParams(const double*, const double*) override { return -255; }
    int GetIntrinsic(double*) override { return -255; }
    int GetDistortion(double*) override { return -255; }
    int SetOpenState(bool) override { return 0; }
    int SetStream(bool) override { return 0; }
    void RecycleCache() override {}
    int SetFrameEnable(FrameType, bool) override { return -255; }
    int GetFrameEnable(FrameType, bool*) override { return -255; }
    int SetPixelFormat(PixelFormat) override { return -255; }
    int GetPixelFormat(PixelFormat*) override { return -255; }
    int SetDistortionCorrectionEnabled(bool) override { return -255; }
    bool GetDistortionCorrectionEnabled() override { return false; }
    int SetExposureControlMode(int) override { return -255; }
    int GetExposureControlMode(int*) override { return -255; }
    int SetExposureTime(ExposureTimeParams) override { return -255; }
    int GetExposureTime(ExposureTimeParams*) override { return -255; }
    int SetResolution(int, int) override { return -255; }
    int GetResolution(int*, int*) override { return -255; }
    int GetResolutionList(ResolutionList*) override { return -255; }
    int ProcessData(uint8_t*, int, FrameSyncInfo) override { return -1; }
    int CheckImgData(uint8_t*, int) override { return -255; }
    int SetProperty(const char*, const void*, int) override { return -255; }
    int GetProperty(const char*, void*, int) override { return -255; }
    void SetDistortionCorrectionCmd(bool) override {}
};

}  // namespace synctest
