#include "FakeToF.h"

#include <algorithm>
#include <cstring>

#include "Consumer.h"

namespace devicetest {

namespace {

uint32_t BytesPerPixel(FrameType type) { return type == FRAME_IR ? 1 : 2; }

PixelFormat FormatOf(FrameType type) {
    switch (type) {
        case FRAME_IR: return PIXEL_FORMAT_GRAY8;
        case FRAME_CONFIDENCE: return PIXEL_FORMAT_GRAY16;
        default: return PIXEL_FORMAT_DEPTH_MM16;
    }
}

HasFrameType BitOf(FrameType type) {
    switch (type) {
        case FRAME_IR: return HAS_IR_FRAME;
        case FRAME_CONFIDENCE: return HAS_CONFIDENCE_FRAME;
        default: return HAS_DEPTH_FRAME;
    }
}

std::string Flag(bool on) { return on ? "1" : "0"; }

}  // namespace

FakeToF::FakeToF() = default;
FakeToF::~FakeToF() = default;

void FakeToF::Record(const std::string& call) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.push_back(call);
}

int FakeToF::Setting(const std::string& call) {
    Record(call);
    return settingResult;
}

std::vector<std::string> FakeToF::Calls() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_calls;
}

bool FakeToF::Called(const std::string& call) const {
    const auto calls = Calls();
    return std::find(calls.begin(), calls.end(), call) != calls.end();
}

void FakeToF::ClearCalls() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_calls.clear();
}

void FakeToF::Produce(FrameType type, uint32_t index, HasFrameType groupMask, uint64_t timestamp) {
    Consumer* notify = nullptr;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const uint32_t bytes = uint32_t(kWidth) * kHeight * BytesPerPixel(type);
        m_buffers.push_back(std::make_unique<uint8_t[]>(bytes));
        std::memset(m_buffers.back().get(), int(index & 0xFF), bytes);
        auto frame = std::make_unique<Frame>();
        *frame = Frame{index,   type,      FormatOf(type), m_buffers.back().get(), bytes, bytes, 1.0f, 0, kWidth,
                       kHeight, groupMask, timestamp};
        m_ready[type].push_back(frame.get());
        m_frames.push_back(std::move(frame));
        notify = consumer;
    }
    if (notify) notify->SetSingleFrameReady(BitOf(type));
}

int FakeToF::Outstanding() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_outstanding;
}

int FakeToF::Init(CommonControl* c, Consumer* s, APIImgPreProcess* p) {
    std::lock_guard<std::mutex> lock(m_mutex);
    control = c;
    consumer = s;
    preProcess = p;
    m_calls.push_back("Init");
    return 0;
}

int FakeToF::SetConfigFilePath(const char* path) {
    Record("SetConfigFilePath");
    configPath = path ? path : "";
    return 0;
}

int FakeToF::SetIntrinsicParams(const double* k, const double* d) {
    Record("SetIntrinsicParams");
    std::memcpy(givenIntrinsic, k, sizeof(givenIntrinsic));
    std::memcpy(givenDistortion, d, sizeof(givenDistortion));
    return 0;
}

int FakeToF::GetIntrinsic(double* out) {
    Record("GetIntrinsic");
    if (intrinsicResult == 0) std::memcpy(out, intrinsic, sizeof(intrinsic));
    return intrinsicResult;
}

int FakeToF::GetDistortion(double* out) {
    Record("GetDistortion");
    std::memcpy(out, distortion, sizeof(distortion));
    return 0;
}

int FakeToF::SetOpenState(bool open) {
    Record("SetOpenState(" + Flag(open) + ")");
    return openResult;
}

int FakeToF::SetStream(bool enable) {
    Record("SetStream(" + Flag(enable) + ")");
    return streamResult;
}

void FakeToF::RecycleCache() { Record("RecycleCache"); }
void FakeToF::SetRawDepthCut(bool cut) { Record("SetRawDepthCut(" + Flag(cut) + ")"); }

bool FakeToF::IsFrameReady(FrameType type) {
    std::lock_guard<std::mutex> lock(m_mutex);
    return !m_ready[type].empty();
}

int FakeToF::GetFrame(FrameType type, Frame** out) {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto& queue = m_ready[type];
    if (queue.empty()) {
        *out = nullptr;
        return -1;
    }
    *out = queue.front();
    queue.pop_front();
    ++m_outstanding;
    return 0;
}

int FakeToF::RecycleFrame(Frame* frame) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (frame) --m_outstanding;
    return 0;
}

int FakeToF::SetFrameEnable(FrameType type, bool enable) {
    return Setting("SetFrameEnable(" + std::to_string(int(type)) + "," + Flag(enable) + ")");
}

int FakeToF::GetFrameEnable(FrameType type, bool* out) {
    *out = type == FRAME_IR;
    return Setting("GetFrameEnable(" + std::to_string(int(type)) + ")");
}

int FakeToF::SetIRGMMGain(int gain) { return Setting("SetIRGMMGain(" + std::to_string(gain) + ")"); }
int FakeToF::GetIRGMMGain(int*) { return Setting("GetIRGMMGain"); }
int FakeToF::SetDepthRange(const int& range) { return Setting("SetDepthRange(" + std::to_string(range) + ")"); }
int FakeToF::GetDepthRange(int&) { return Setting("GetDepthRange"); }

int FakeToF::SetDatamode(const int& mode) {
    givenDataMode = mode;
    return Setting("SetDatamode(" + std::to_string(mode) + ")");
}

int FakeToF::GetDatamode(int&) { return Setting("GetDatamode"); }

int FakeToF::SetProperty(const char* key, const void*, int size) {
    Record(std::string("SetProperty(") + key + "," + std::to_string(size) + ")");
    return propertyResult;
}

int FakeToF::GetProperty(const char* key, void*, int size) {
    Record(std::string("GetProperty(") + key + "," + std::to_string(size) + ")");
    return propertyResult;
}

int FakeToF::SetTimeFilterParams(TimeFilterParams p) {
    return Setting("SetTimeFilterParams(" + std::to_string(p.enable) + "," + std::to_string(p.threshold) + ")");
}
int FakeToF::GetTimeFilterParams(TimeFilterParams*) { return Setting("GetTimeFilterParams"); }
int FakeToF::SetConfidenceFilterParams(ConfidenceFilterParams) { return Setting("SetConfidenceFilterParams"); }
int FakeToF::GetConfidenceFilterParams(ConfidenceFilterParams*) { return Setting("GetConfidenceFilterParams"); }
int FakeToF::SetFlyingPixelFilterParams(FlyingPixelFilterParams) { return Setting("SetFlyingPixelFilterParams"); }
int FakeToF::GetFlyingPixelFilterParams(FlyingPixelFilterParams*) { return Setting("GetFlyingPixelFilterParams"); }
int FakeToF::SetFillHoleFilterParams(FillHoleFilterParams) { return Setting("SetFillHoleFilterParams"); }
int FakeToF::GetFillHoleFilterParams(FillHoleFilterParams*) { return Setting("GetFillHoleFilterParams"); }
int FakeToF::SetSpatialFilterParams(SpatialFilterParams) { return Setting("SetSpatialFilterParams"); }
int FakeToF::GetSpatialFilterParams(SpatialFilterParams*) { return Setting("GetSpatialFilterParams"); }
int FakeToF::SetExposureControlMode(int mode) {
    return Setting("SetExposureControlMode(" + std::to_string(mode) + ")");
}
int FakeToF::GetExposureControlMode(int*) { return Setting("GetExposureControlMode"); }
int FakeToF::SetExposureTime(ExposureTimeParams p) {
    return Setting("SetExposureTime(" + std::to_string(p.mode) + "," + std::to_string(p.exposureTime) + ")");
}
int FakeToF::GetExposureTime(ExposureTimeParams*) { return Setting("GetExposureTime"); }
int FakeToF::SetDistortionCorrectionEnabled(bool enable) {
    return Setting("SetDistortionCorrectionEnabled(" + Flag(enable) + ")");
}
int FakeToF::GetDistortionCorrectionEnabled(bool* enable) {
    *enable = true;
    return Setting("GetDistortionCorrectionEnabled");
}
int FakeToF::GetResolutionList(ResolutionList*) { return Setting("GetResolutionList"); }
int FakeToF::ProcessData(uint8_t*, int, FrameSyncInfo) { return -1; }
int FakeToF::CheckImgData(uint8_t*, int) { return -255; }

int FakeToF::ConvertDepthFrameToPointCloudVector(const Frame* frame, Vector3f*) {
    Record("ConvertDepthFrameToPointCloudVector");
    pointCloudFrame = *frame;
    return pointCloudResult;
}

int FakeToF::SetHDRModeEnabled(bool enable) { return Setting("SetHDRModeEnabled(" + Flag(enable) + ")"); }
int FakeToF::GetHDRModeEnabled(bool*) { return Setting("GetHDRModeEnabled"); }

}  // namespace devicetest
