#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <vector>

#include "ToF_API.h"

namespace receivetest {

// A ToF plug-in that answers CheckImgData by record type, records every record it is given,
// and hands out the frames a test queued for Sync, counting those given back.
class RecordingToF : public ToF_API {
public:
    struct Delivery {
        std::vector<uint8_t> record;
        FrameSyncInfo info;
    };

    // Answer of CheckImgData per record type; types not named answer -255.
    void Answer(uint8_t type, int answer) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_answers[type] = answer;
    }
    std::vector<Delivery> Deliveries() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_deliveries;
    }
    // Record types offered to CheckImgData, in order.
    std::vector<uint8_t> Offered() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_offered;
    }
    bool WaitForDeliveries(size_t count, std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_cond.wait_for(lock, timeout, [&] { return m_deliveries.size() >= count; });
    }
    void QueueFrame(Frame* frame) {
        const FrameType type = frame->frameType;  // Frame is packed: no reference to its fields
        std::lock_guard<std::mutex> lock(m_mutex);
        m_ready[type].push_back(frame);
        m_drained[type] = false;
    }
    // Waits until the grouping asked for a frame of that kind and found none left: it has
    // then taken (and, for a complete group, published) everything queued.
    bool WaitUntilDrained(FrameType type, std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_cond.wait_for(lock, timeout, [&] { return m_drained[type]; });
    }
    int Returned() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_returned;
    }

    CommonControl* control = nullptr;
    Consumer* consumer = nullptr;
    APIImgPreProcess* preProcess = nullptr;
    int intrinsicResult = 0;
    int recycleCacheCalls = 0;

    int Init(CommonControl* c, Consumer* s, APIImgPreProcess* p) override {
        control = c;
        consumer = s;
        preProcess = p;
        return 0;
    }
    int CheckImgData(uint8_t* record, int) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_offered.push_back(record[0]);
        const auto it = m_answers.find(record[0]);
        return it == m_answers.end() ? -255 : it->second;
    }
    int ProcessData(uint8_t* record, int size, FrameSyncInfo info) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_deliveries.push_back({std::vector<uint8_t>(record, record + size), info});
        m_cond.notify_all();
        return -1;
    }
    int GetIntrinsic(double* out) override {
        for (int i = 0; i < 9; ++i) out[i] = 0;
        return intrinsicResult;
    }
    int GetDistortion(double* out) override {
        for (int i = 0; i < 8; ++i) out[i] = 0;
        return 0;
    }
    void RecycleCache() override { ++recycleCacheCalls; }
    bool IsFrameReady(FrameType type) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_ready[type].empty()) return true;
        m_drained[type] = true;
        m_cond.notify_all();
        return false;
    }
    int GetFrame(FrameType type, Frame** out) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        auto& queue = m_ready[type];
        if (queue.empty()) return -1;
        *out = queue.front();
        queue.pop_front();
        return 0;
    }
    int RecycleFrame(Frame*) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_returned;
        return 0;
    }

    // Not reached by the receive path.
    int SetConfigFilePath(const char*) override { return 0; }
    int SetIntrinsicParams(const double*, const double*) override { return 0; }
    int SetOpenState(bool) override { return 0; }
    int SetStream(bool) override { return 0; }
    void SetRawDepthCut(bool) override {}
    int SetFrameEnable(FrameType, bool) override { return 0; }
    int GetFrameEnable(FrameType, bool*) override { return 0; }
    int SetIRGMMGain(int) override { return 0; }
    int GetIRGMMGain(int*) override { return 0; }
    int SetDepthRange(const int&) override { return 0; }
    int GetDepthRange(int&) override { return 0; }
    int SetDatamode(const int&) override { return 0; }
    int GetDatamode(int&) override { return 0; }
    int SetProperty(const char*, const void*, int) override { return -255; }
    int GetProperty(const char*, void*, int) override { return -255; }
    int SetTimeFilterParams(TimeFilterParams) override { return 0; }
    int GetTimeFilterParams(TimeFilterParams*) override { return 0; }
    int SetConfidenceFilterParams(ConfidenceFilterParams) override { return 0; }
    int GetConfidenceFilterParams(ConfidenceFilterParams*) override { return 0; }
    int SetFlyingPixelFilterParams(FlyingPixelFilterParams) override { return 0; }
    int GetFlyingPixelFilterParams(FlyingPixelFilterParams*) override { return 0; }
    int SetFillHoleFilterParams(FillHoleFilterParams) override { return 0; }
    int GetFillHoleFilterParams(FillHoleFilterParams*) override { return 0; }
    int SetSpatialFilterParams(SpatialFilterParams) override { return 0; }
    int GetSpatialFilterParams(SpatialFilterParams*) override { return 0; }
    int SetExposureControlMode(int) override { return 0; }
    int GetExposureControlMode(int*) override { return 0; }
    int SetExposureTime(ExposureTimeParams) override { return 0; }
    int GetExposureTime(ExposureTimeParams*) override { return 0; }
    int SetDistortionCorrectionEnabled(bool) override { return 0; }
    int GetDistortionCorrectionEnabled(bool*) override { return 0; }
    int GetResolutionList(ResolutionList*) override { return 0; }
    int ConvertDepthFrameToPointCloudVector(const Frame*, Vector3f*) override { return 0; }
    int SetHDRModeEnabled(bool) override { return 0; }
    int GetHDRModeEnabled(bool*) override { return 0; }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cond;
    std::map<uint8_t, int> m_answers;
    std::vector<uint8_t> m_offered;
    std::vector<Delivery> m_deliveries;
    std::map<FrameType, std::deque<Frame*>> m_ready;
    std::map<FrameType, bool> m_drained;
    int m_returned = 0;
};

}  // namespace receivetest
