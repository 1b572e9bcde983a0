#pragma once
#include <cstdint>

#include "APIImgPreProcess.h"
#include "CommonControl.h"
#include "Consumer.h"
#include "FilterParams.h"
#include "Frame.h"
#include "QlTypes.h"

// The plug-in side of a point-cloud point (three floats, millimetres).
using Vector3f = QlVector3f;

// The ToF plug-in's interface, implemented in libhalden_tof and called by the kit. The slot
// order is fixed across the deliverables: add nothing in between.
class ToF_API {
public:
    virtual ~ToF_API() = default;
    virtual int Init(CommonControl* control, Consumer* consumer, APIImgPreProcess* preprocess) = 0;
    virtual int SetConfigFilePath(const char* path) = 0;
    virtual int SetIntrinsicParams(const double* intrinsic, const double* distortion) = 0;
    virtual int GetIntrinsic(double* out) = 0;
    virtual int GetDistortion(double* out) = 0;
    virtual int SetOpenState(bool open) = 0;
    virtual int SetStream(bool enable) = 0;
    virtual void RecycleCache() = 0;
    virtual void SetRawDepthCut(bool cut) = 0;
    virtual bool IsFrameReady(FrameType type) = 0;
    virtual int GetFrame(FrameType type, Frame** out) = 0;
    virtual int RecycleFrame(Frame* frame) = 0;
    virtual int SetFrameEnable(FrameType type, bool enable) = 0;
    virtual int GetFrameEnable(FrameType type, bool* out) = 0;
    virtual int SetIRGMMGain(int gain) = 0;
    virtual int GetIRGMMGain(int* gain) = 0;
    virtual int SetDepthRange(const int& range) = 0;
    virtual int GetDepthRange(int& range) = 0;
    virtual int SetDatamode(const int& mode) = 0;
    virtual int GetDatamode(int& mode) = 0;
    virtual int SetProperty(const char* key, const void* data, int size) = 0;
    virtual int GetProperty(const char* key, void* data, int size) = 0;
    virtual int SetTimeFilterParams(TimeFilterParams params) = 0;
    virtual int GetTimeFilterParams(TimeFilterParams* params) = 0;
    virtual int SetConfidenceFilterParams(ConfidenceFilterParams params) = 0;
    virtual int GetConfidenceFilterParams(ConfidenceFilterParams* params) = 0;
    virtual int SetFlyingPixelFilterParams(FlyingPixelFilterParams params) = 0;
    virtual int GetFlyingPixelFilterParams(FlyingPixelFilterParams* params) = 0;
    virtual int SetFillHoleFilterParams(FillHoleFilterParams params) = 0;
    virtual int GetFillHoleFilterParams(FillHoleFilterParams* params) = 0;
    virtual int SetSpatialFilterParams(SpatialFilterParams params) = 0;
    virtual int GetSpatialFilterParams(SpatialFilterParams* params) = 0;
    virtual int SetExposureControlMode(int mode) = 0;
    virtual int GetExposureControlMode(int* mode) = 0;
    virtual int SetExposureTime(ExposureTimeParams params) = 0;
    virtual int GetExposureTime(ExposureTimeParams* params) = 0;
    virtual int SetDistortionCorrectionEnabled(bool enable) = 0;
    virtual int GetDistortionCorrectionEnabled(bool* enable) = 0;
    virtual int GetResolutionList(ResolutionList* list) = 0;
    virtual int ProcessData(uint8_t* record, int size, FrameSyncInfo info) = 0;
    virtual int CheckImgData(uint8_t* record, int size) = 0;
    virtual int ConvertDepthFrameToPointCloudVector(const Frame* frame, Vector3f* out) = 0;
    virtual int SetHDRModeEnabled(bool enable) = 0;
    virtual int GetHDRModeEnabled(bool* enable) = 0;
};

// The plug-in's one export. The kit owns the object it returns and deletes it.
extern "C" {
typedef ToF_API* (*GetToFFunction)(const char* logPath);
}
