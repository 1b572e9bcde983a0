#pragma once
#include <atomic>

#include "CameraTag.h"
#include "FrameKindSwitches.h"
#include "PluginLog.h"
#include "Producer.h"
#include "Protocol.h"
#include "RecordIntake.h"
#include "StreamStartReads.h"
#include "SupportedModes.h"
#include "ToFExposure.h"
#include "ToFFilterSettings.h"
#include "ToFIntrinsics.h"
#include "ToFProperties.h"
#include "ToF_API.h"
#include "TofDecode.h"
#include "TransferFile.h"

// The ToF sensor of one device, as the kit holds it: takes the sensor records from the
// kit's receive thread and queues them for the decoder, answers the kit's settings with
// camera commands and decoder changes, and hands out the decoded frames.
class Imx570 : public Producer, public ToF_API, private PluginLog {
public:
    explicit Imx570(const char* logPath);
    ~Imx570() override;
    Imx570(const Imx570&) = delete;
    Imx570& operator=(const Imx570&) = delete;

    // Producer: the raw queue, drained by the decoder.
    int GetRawData(Frame** out) override;
    int RecycleRawFrame(Frame* frame) override;

    // ToF_API.
    int Init(CommonControl* control, Consumer* consumer, APIImgPreProcess* preprocess) override;
    int SetConfigFilePath(const char* path) override;
    int SetIntrinsicParams(const double* intrinsic, const double* distortion) override;
    int GetIntrinsic(double* out) override;
    int GetDistortion(double* out) override;
    int SetOpenState(bool open) override;
    int SetStream(bool enable) override;
    void RecycleCache() override;
    void SetRawDepthCut(bool cut) override;
    bool IsFrameReady(FrameType type) override;
    int GetFrame(FrameType type, Frame** out) override;
    int RecycleFrame(Frame* frame) override;
    int SetFrameEnable(FrameType type, bool enable) override;
    int GetFrameEnable(FrameType type, bool* out) override;
    int SetIRGMMGain(int gain) override;
    int GetIRGMMGain(int* gain) override;
    int SetDepthRange(const int& range) override;
    int GetDepthRange(int& range) override;
    int SetDatamode(const int& mode) override;
    int GetDatamode(int& mode) override;
    int SetProperty(const char* key, const void* data, int size) override;
    int GetProperty(const char* key, void* data, int size) override;
    int SetTimeFilterParams(TimeFilterParams params) override;
    int GetTimeFilterParams(TimeFilterParams* params) override;
    int SetConfidenceFilterParams(ConfidenceFilterParams params) override;
    int GetConfidenceFilterParams(ConfidenceFilterParams* params) override;
    int SetFlyingPixelFilterParams(FlyingPixelFilterParams params) override;
    int GetFlyingPixelFilterParams(FlyingPixelFilterParams* params) override;
    int SetFillHoleFilterParams(FillHoleFilterParams params) override;
    int GetFillHoleFilterParams(FillHoleFilterParams* params) override;
    int SetSpatialFilterParams(SpatialFilterParams params) override;
    int GetSpatialFilterParams(SpatialFilterParams* params) override;
    int SetExposureControlMode(int mode) override;
    int GetExposureControlMode(int* mode) override;
    int SetExposureTime(ExposureTimeParams params) override;
    int GetExposureTime(ExposureTimeParams* params) override;
    int SetDistortionCorrectionEnabled(bool enable) override;
    int GetDistortionCorrectionEnabled(bool* enable) override;
    int GetResolutionList(ResolutionList* list) override;
    int ProcessData(uint8_t* record, int size, FrameSyncInfo info) override;
    int CheckImgData(uint8_t* record, int size) override;
    int ConvertDepthFrameToPointCloudVector(const Frame* frame, Vector3f* out) override;
    int SetHDRModeEnabled(bool enable) override;
    int GetHDRModeEnabled(bool* enable) override;

private:
    void StartDecode();
    // Stops the decoder and wakes its wait on the raw queue, so it ends at once.
    void StopDecode();
    bool IsBinned() const;
    // The preprocessing object that corrects the intrinsics, while distortion correction is on.
    APIImgPreProcess* IntrinsicAdjuster() const;
    // Hands the working intrinsics to the preprocessing object and the point-cloud table.
    void IntrinsicParamsUpdate();

    CameraTag m_tag;
    Protocol m_protocol;
    TransferFile m_transfer;
    RecordIntake m_intake;
    SupportedModes m_modes;
    ToFIntrinsics m_intrinsics;
    FrameKindSwitches m_switches;
    std::atomic<APIImgPreProcess*> m_preprocess{nullptr};  // borrowed from the kit
    std::atomic<bool> m_streamStarted{false};
    // Pulls from m_intake through this object's Producer side.
    TofDecode m_decode;
    ToFExposure m_exposure;
    ToFFilterSettings m_filters;
    StreamStartReads m_streamStartReads;
    ToFProperties m_properties;
};
