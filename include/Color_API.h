#pragma once
#include <cstdint>

#include "APIImgPreProcess.h"
#include "CommonControl.h"
#include "Consumer.h"
#include "Frame.h"
#include "QlTypes.h"

// The colour plug-in's interface, implemented in librc1720 and called by the kit. The slot
// order binds both sides: add nothing in between.
class Color_API {
public:
    virtual ~Color_API() = default;
    virtual int SetConfigFilePath(const char* path) = 0;
    virtual int Init(CommonControl* control, Consumer* consumer, APIImgPreProcess* preProcess) = 0;
    virtual int SetIntrinsicParams(const double* K, const double* D) = 0;
    virtual int GetIntrinsic(double* K) = 0;
    virtual int GetDistortion(double* D) = 0;
    virtual int SetOpenState(bool open) = 0;
    virtual int SetStream(bool on) = 0;
    virtual void RecycleCache() = 0;
    virtual bool IsFrameReady(FrameType type) = 0;
    virtual int GetFrame(FrameType type, Frame** frame) = 0;
    virtual int RecycleFrame(Frame* frame) = 0;
    virtual int SetFrameEnable(FrameType type, bool enable) = 0;
    virtual int GetFrameEnable(FrameType type, bool* enable) = 0;
    virtual int SetPixelFormat(PixelFormat format) = 0;
    virtual int GetPixelFormat(PixelFormat* format) = 0;
    virtual int SetDistortionCorrectionEnabled(bool enable) = 0;
    virtual bool GetDistortionCorrectionEnabled() = 0;
    virtual int SetExposureControlMode(int mode) = 0;
    virtual int GetExposureControlMode(int* mode) = 0;
    virtual int SetExposureTime(ExposureTimeParams params) = 0;
    virtual int GetExposureTime(ExposureTimeParams* params) = 0;
    virtual int SetResolution(int width, int height) = 0;
    virtual int GetResolution(int* width, int* height) = 0;
    virtual int GetResolutionList(ResolutionList* list) = 0;
    virtual int ProcessData(uint8_t* record, int size, FrameSyncInfo info) = 0;
    virtual int CheckImgData(uint8_t* record, int size) = 0;
    virtual int SetProperty(const char* key, const void* data, int size) = 0;
    virtual int GetProperty(const char* key, void* data, int size) = 0;
    virtual void SetDistortionCorrectionCmd(bool byCamera) = 0;
};

// The plug-in's one export. The kit owns the object it returns and deletes it.
extern "C" {
typedef Color_API* (*GetColorFunction)(const char* logPath);
}
