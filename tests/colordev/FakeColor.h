#pragma once
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Color_API.h"

namespace colordevtest {

// A colour plug-in that answers CheckImgData by record type, records every record it is
// given and every call by name, and hands colour frames to the grouping as the real
// plug-in's "Color" thread does. Thread-safe: the receive thread and Sync call it.
class FakeColor : public Color_API {
public:
    struct Delivery {
        std::vector<uint8_t> record;
        FrameSyncInfo info;
    };

    void Answer(uint8_t type, int answer) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_answers[type] = answer;
    }
    std::vector<Delivery> Deliveries() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_deliveries;
    }
    std::vector<std::string> Calls() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_calls;
    }
    bool Called(const std::string& call) const {
        const auto calls = Calls();
        return std::find(calls.begin(), calls.end(), call) != calls.end();
    }
    // Queues one colour frame of width x height for the grouping and announces it; returns
    // once the grouping has taken it.
    void Produce(uint32_t index, HasFrameType groupMask, uint16_t width, uint16_t height, uint8_t fill) {
        Consumer* notify = nullptr;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            const uint32_t bytes = uint32_t(width) * height * 3;
            m_buffers.push_back(std::make_unique<uint8_t[]>(bytes));
            std::memset(m_buffers.back().get(), fill, bytes);
            auto frame = std::make_unique<Frame>();
            *frame = Frame{
                index,     FRAME_COLOR, PIXEL_FORMAT_BGR, m_buffers.back().get(), bytes, bytes, 2.5f, 0, width, height,
                groupMask, 555};
            m_ready.push_back(frame.get());
            m_frames.push_back(std::move(frame));
            m_drained = false;
            notify = consumer;
        }
        if (notify) notify->SetSingleFrameReady(HAS_COLOR_FRAME);
        std::unique_lock<std::mutex> lock(m_mutex);
        m_cond.wait_for(lock, std::chrono::seconds(2), [this] { return m_drained; });
    }

    int propertyResult = -255;
    int intrinsicResult = 0;
    double intrinsic[9] = {};

    CommonControl* control = nullptr;
    Consumer* consumer = nullptr;
    APIImgPreProcess* preProcess = nullptr;

    int SetConfigFilePath(const char* path) override { return Record(std::string("SetConfigFilePath:") + path); }
    int Init(CommonControl* c, Consumer* s, APIImgPreProcess* p) override {
        control = c;
        consumer = s;
        preProcess = p;
        return Record("Init");
    }
    int SetIntrinsicParams(const double* K, const double*) override {
        std::copy(K, K + 9, givenIntrinsic);
        return Record("SetIntrinsicParams");
    }
    int GetIntrinsic(double* K) override {
        std::copy(intrinsic, intrinsic + 9, K);
        Record("GetIntrinsic");
        return intrinsicResult;
    }
    int GetDistortion(double*) override { return Record("GetDistortion"); }
    int SetOpenState(bool open) override { return Record(std::string("SetOpenState(") + Flag(open) + ")"); }
    int SetStream(bool on) override { return Record(std::string("SetStream(") + Flag(on) + ")"); }
    void RecycleCache() override { Record("RecycleCache"); }
    bool IsFrameReady(FrameType) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_ready.empty()) return true;
        m_drained = true;
        m_cond.notify_all();
        return false;
    }
    int GetFrame(FrameType, Frame** frame) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_ready.empty()) return -1;
        *frame = m_ready.front();
        m_ready.pop_front();
        return 0;
    }
    int RecycleFrame(Frame*) override { return 0; }
    int SetFrameEnable(FrameType type, bool enable) override {
        return Record("SetFrameEnable(" + std::to_string(type) + "," + Flag(enable) + ")");
    }
    int GetFrameEnable(FrameType, bool* enable) override {
        *enable = true;
        return Record("GetFrameEnable");
    }
    int SetPixelFormat(PixelFormat format) override { return Record("SetPixelFormat(" + std::to_string(format) + ")"); }
    int GetPixelFormat(PixelFormat*) override { return Record("GetPixelFormat"); }
    int SetDistortionCorrectionEnabled(bool enable) override {
        return Record(std::string("SetDistortionCorrectionEnabled(") + Flag(enable) + ")");
    }
    bool GetDistortionCorrectionEnabled() override {
        Record("GetDistortionCorrectionEnabled");
        return true;
    }
    int SetExposureControlMode(int) override { return Record("SetExposureControlMode"); }
    int GetExposureControlMode(int*) override { return Record("GetExposureControlMode"); }
    int SetExposureTime(ExposureTimeParams) override { return Record("SetExposureTime"); }
    int GetExposureTime(ExposureTimeParams*) override { return Record("GetExposureTime"); }
    int SetResolution(int w, int h) override {
        return Record("SetResolution(" + std::to_string(w) + "," + std::to_string(h) + ")");
    }
    int GetResolution(int*, int*) override { return Record("GetResolution"); }
    int GetResolutionList(ResolutionList*) override { return Record("GetResolutionList"); }
    int ProcessData(uint8_t* record, int size, FrameSyncInfo info) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_deliveries.push_back({std::vector<uint8_t>(record, record + size), info});
        return -1;
    }
    int CheckImgData(uint8_t* record, int) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = m_answers.find(record[0]);
        return it == m_answers.end() ? -255 : it->second;
    }
    int SetProperty(const char* key, const void*, int size) override {
        Record(std::string("SetProperty(") + key + "," + std::to_string(size) + ")");
        return propertyResult;
    }
    int GetProperty(const char* key, void*, int size) override {
        Record(std::string("GetProperty(") + key + "," + std::to_string(size) + ")");
        return propertyResult;
    }
    void SetDistortionCorrectionCmd(bool byCamera) override {
        Record(std::string("SetDistortionCorrectionCmd(") + Flag(byCamera) + ")");
    }

    double givenIntrinsic[9] = {};

private:
    static const char* Flag(bool on) { return on ? "1" : "0"; }
    int Record(const std::string& call) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_calls.push_back(call);
        return 0;
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_cond;
    std::map<uint8_t, int> m_answers;
    std::vector<Delivery> m_deliveries;
    std::vector<std::string> m_calls;
    std::deque<Frame*> m_ready;
    std::vector<std::unique_ptr<Frame>> m_frames;
    std::vector<std::unique_ptr<uint8_t[]>> m_buffers;
    bool m_drained = false;
};

}  // namespace colordevtest
