#pragma once
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ToF_API.h"

namespace devicetest {

// A ToF plug-in that records every call by name and answers from settable results. It can
// hand decoded frames to the grouping as the real plug-in's decode thread does, and counts
// the frames it gets back. Thread-safe: the grouping calls it from its own thread.
class FakeToF : public ToF_API {
public:
    FakeToF();
    ~FakeToF() override;

    std::vector<std::string> Calls() const;
    bool Called(const std::string& call) const;
    void ClearCalls();

    // Queues one frame of a kind for the grouping and announces it.
    void Produce(FrameType type, uint32_t index, HasFrameType groupMask, uint64_t timestamp = 0);
    int Outstanding() const;  // frames handed out and not given back

    // Results the settable operations return.
    int settingResult = 0;
    int intrinsicResult = 0;
    int openResult = 0;
    int streamResult = 0;
    int propertyResult = -255;
    int pointCloudResult = 0;
    double intrinsic[9] = {};
    double distortion[8] = {};

    // What the kit handed over.
    CommonControl* control = nullptr;
    Consumer* consumer = nullptr;
    APIImgPreProcess* preProcess = nullptr;
    std::string configPath;
    double givenIntrinsic[9] = {};
    double givenDistortion[8] = {};
    Frame pointCloudFrame{};
    int givenDataMode = -1;

    int Init(CommonControl* c, Consumer* s, APIImgPreProcess* p) override;
    int SetConfigFilePath(const char* path) override;
    int SetIntrinsicParams(const double* k, const double* d) override;
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

    static constexpr uint16_t kWidth = 4;
    static constexpr uint16_t kHeight = 2;

private:
    void Record(const std::string& call);
    int Setting(const std::string& call);

    mutable std::mutex m_mutex;
    std::vector<std::string> m_calls;
    std::map<FrameType, std::deque<Frame*>> m_ready;
    std::vector<std::unique_ptr<Frame>> m_frames;
    std::vector<std::unique_ptr<uint8_t[]>> m_buffers;
    int m_outstanding = 0;
};

}  // namespace devicetest
