#include "Imx570.h"

#include <algorithm>

#include "StatusCodes.h"
#include "ToFRecordHead.h"
#include "ToFRecordLayout.h"

namespace {

constexpr const char* kVersion = "1.1.11";
// Not a failure: the multi-frequency data modes pick their depth ranges themselves, so the
// request is declined and nothing is sent.
constexpr int kRangeFixedByMode = 1;

}  // namespace

Imx570::Imx570(const char* logPath)
    : PluginLog(logPath),
      m_transfer(m_protocol),
      m_intake(m_tag),
      m_decode(this),
      m_exposure(m_protocol, m_decode, m_tag),
      m_filters(m_protocol, m_decode),
      m_streamStartReads(m_protocol, m_decode, m_modes),
      m_properties(ToFProperties::Parts{*this, m_protocol, m_decode, m_transfer, m_intake, m_exposure, m_tag}) {
    LOG_PRINTF("Version:%s", kVersion);
}

Imx570::~Imx570() { StopDecode(); }

int Imx570::GetRawData(Frame** out) { return m_intake.GetRawData(out); }

int Imx570::RecycleRawFrame(Frame* frame) { return m_intake.RecycleRawFrame(frame); }

int Imx570::Init(CommonControl* control, Consumer* consumer, APIImgPreProcess* preprocess) {
    if (control == nullptr || consumer == nullptr) {
        return status::kFailed;
    }
    m_tag.Set(control);
    m_protocol.SetCommonControl(control);
    m_preprocess = preprocess;
    m_decode.Init(consumer, preprocess);
    CAMERA_LOG(m_tag, "ok");
    // The decoder's distortion correction follows the camera's setting when it answers.
    bool correction = false;
    GetDistortionCorrectionEnabled(&correction);
    return 0;
}

int Imx570::SetConfigFilePath(const char* path) {
    CAMERA_LOG(m_tag, "pConfigFilePath:%s", path != nullptr ? path : "(null)");
    return 0;
}

int Imx570::SetIntrinsicParams(const double* intrinsic, const double* distortion) {
    if (intrinsic == nullptr || distortion == nullptr) {
        return status::kNullArgument;
    }
    const double* k = intrinsic;
    const double* d = distortion;
    CAMERA_LOG(m_tag, "Intrinsic:%08.6f %08.6f %08.6f\t%08.6f %08.6f %08.6f\t%08.6f %08.6f %08.6f", k[0], k[1], k[2],
               k[3], k[4], k[5], k[6], k[7], k[8]);
    CAMERA_LOG(m_tag, "pDistortion:%08.6f %08.6f %08.6f\t%08.6f %08.6f %08.6f\t%08.6f %08.6f", d[0], d[1], d[2], d[3],
               d[4], d[5], d[6], d[7]);
    m_intrinsics.Set(intrinsic, distortion);
    IntrinsicParamsUpdate();
    return 0;
}

bool Imx570::IsBinned() const { return tofrecord::IsBinnedMode(m_decode.GetDataMode()); }

APIImgPreProcess* Imx570::IntrinsicAdjuster() const {
    return m_decode.GetDistortionCorrectionEnabled() ? m_preprocess.load() : nullptr;
}

void Imx570::IntrinsicParamsUpdate() {
    const bool binned = IsBinned();
    const ToFIntrinsics::ImageSize size = ToFIntrinsics::SizeFor(binned);
    if (APIImgPreProcess* preprocess = m_preprocess) {
        const ToFIntrinsics::Matrix sensor = m_intrinsics.Working(binned, nullptr);
        preprocess->SetSensorIntrinsic(0, sensor.data(), size.width, size.height);
    }
    const ToFIntrinsics::Matrix corrected = m_intrinsics.Working(binned, IntrinsicAdjuster());
    const ToFIntrinsics::Distortion distortion = m_intrinsics.GetDistortion();
    m_decode.InitDepthFrame2WorldTab(corrected.data(), distortion.data(), size.width, size.height);
}

int Imx570::GetIntrinsic(double* out) {
    if (out == nullptr) {
        return status::kNullArgument;
    }
    const ToFIntrinsics::Matrix matrix = m_intrinsics.Working(IsBinned(), IntrinsicAdjuster());
    std::copy(matrix.begin(), matrix.end(), out);
    return 0;
}

int Imx570::GetDistortion(double* out) {
    if (out == nullptr) {
        return status::kNullArgument;
    }
    const ToFIntrinsics::Distortion distortion = m_intrinsics.GetDistortion();
    std::copy(distortion.begin(), distortion.end(), out);
    return 0;
}

void Imx570::StartDecode() {
    if (!m_decode.IsRunning()) {
        m_decode.Start();
    }
}

void Imx570::StopDecode() {
    m_decode.Stop();
    m_intake.Wake();
    m_decode.Join();
    m_intake.Rearm();
}

int Imx570::SetOpenState(bool open) {
    if (open) {
        StartDecode();
        return m_protocol.SetOpenState(true);
    }
    StopDecode();
    m_streamStarted = false;
    const int ret = m_protocol.SetOpenState(false);
    // A transfer still running is done with this object's parts once this returns.
    m_transfer.StopAndWait();
    return ret;
}

int Imx570::SetStream(bool enable) {
    CAMERA_LOG(m_tag, "enable:%d", enable);
    m_decode.SetStream(enable);
    if (!enable || m_streamStarted.exchange(true)) {
        return 0;
    }
    StartDecode();
    m_streamStartReads.Run();
    return 0;
}

void Imx570::RecycleCache() { m_decode.RecycleCache(); }

void Imx570::SetRawDepthCut(bool cut) { m_decode.SetRawDepthCut(cut); }

bool Imx570::IsFrameReady(FrameType type) { return m_decode.IsFrameReady(type); }

int Imx570::GetFrame(FrameType type, Frame** out) {
    if (out == nullptr) {
        return status::kNullArgument;
    }
    return m_decode.GetFrame(type, out);
}

int Imx570::RecycleFrame(Frame* frame) { return m_decode.RecycleFrame(frame); }

int Imx570::SetFrameEnable(FrameType type, bool enable) { return m_switches.Set(type, enable); }

int Imx570::GetFrameEnable(FrameType type, bool* out) { return m_switches.Get(type, out); }

int Imx570::SetIRGMMGain(int gain) { return m_protocol.SetIRGMMGain(gain); }

int Imx570::GetIRGMMGain(int* gain) { return m_protocol.GetIRGMMGain(gain); }

int Imx570::SetDepthRange(const int& range) {
    if (tofrecord::IsMultiFrequencyMode(m_decode.GetDataMode())) {
        CAMERA_LOG(m_tag, "Multi frequency mode reject change depth range");
        return kRangeFixedByMode;
    }
    if (!m_modes.IsRangeValid(range)) {
        CAMERA_LOG(m_tag, "invalid depth range %d", range);
        return status::kInvalidDepthRange;
    }
    const int ret = m_protocol.SetDepthRange(range);
    if (ret != 0) {
        CAMERA_LOG(m_tag, "ret:%d is failed.", ret);
        return ret;
    }
    m_decode.SetDepthRange(range);
    return 0;
}

int Imx570::GetDepthRange(int& range) { return m_protocol.GetDepthRange(range); }

int Imx570::SetDatamode(const int& mode) {
    if (!m_modes.IsDataModeValid(mode)) {
        CAMERA_LOG(m_tag, "invalid data mode %d", mode);
        return status::kInvalidParameter;
    }
    const uint8_t wireMode = static_cast<uint8_t>(mode);  // the list holds bytes only
    int ret = m_protocol.SetDataMode(wireMode);
    if (ret != 0) {
        return ret;
    }
    if (tofrecord::IsDualRangeMode(mode)) {
        // Two ranges: range 5, the longest, is the reference that range 0 is unwrapped against.
        DualRangeParams params{2, 5, 0, 0};
        ret = m_protocol.SetDualFreqMode(params);
        if (ret == 0) {
            m_decode.SetDualRangeParams(params);
        }
    }
    m_decode.SetDataMode(mode);
    IntrinsicParamsUpdate();
    return ret;
}

int Imx570::GetDatamode(int& mode) {
    uint8_t wireMode = 0;
    const int ret = m_protocol.GetDataMode(&wireMode);
    mode = wireMode;
    return ret;
}

int Imx570::SetProperty(const char* key, const void* data, int size) { return m_properties.Set(key, data, size); }

int Imx570::GetProperty(const char* key, void* data, int size) { return m_properties.Get(key, data, size); }

int Imx570::SetTimeFilterParams(TimeFilterParams params) { return m_filters.SetTimeFilterParams(params); }

int Imx570::GetTimeFilterParams(TimeFilterParams* params) { return m_filters.GetTimeFilterParams(params); }

int Imx570::SetConfidenceFilterParams(ConfidenceFilterParams params) {
    return m_filters.SetConfidenceFilterParams(params);
}

int Imx570::GetConfidenceFilterParams(ConfidenceFilterParams* params) {
    return m_filters.GetConfidenceFilterParams(params);
}

int Imx570::SetFlyingPixelFilterParams(FlyingPixelFilterParams params) {
    return m_filters.SetFlyingPixelFilterParams(params);
}

int Imx570::GetFlyingPixelFilterParams(FlyingPixelFilterParams* params) {
    return m_filters.GetFlyingPixelFilterParams(params);
}

int Imx570::SetFillHoleFilterParams(FillHoleFilterParams params) { return m_filters.SetFillHoleFilterParams(params); }

int Imx570::GetFillHoleFilterParams(FillHoleFilterParams* params) { return m_filters.GetFillHoleFilterParams(params); }

int Imx570::SetSpatialFilterParams(SpatialFilterParams params) { return m_filters.SetSpatialFilterParams(params); }

int Imx570::GetSpatialFilterParams(SpatialFilterParams* params) { return m_filters.GetSpatialFilterParams(params); }

int Imx570::SetExposureControlMode(int mode) { return m_exposure.SetExposureControlMode(mode); }

int Imx570::GetExposureControlMode(int* mode) { return m_exposure.GetExposureControlMode(mode); }

int Imx570::SetExposureTime(ExposureTimeParams params) { return m_exposure.SetExposureTime(params); }

int Imx570::GetExposureTime(ExposureTimeParams* params) { return m_exposure.GetExposureTime(params); }

int Imx570::SetDistortionCorrectionEnabled(bool enable) { return m_filters.SetDistortionCorrectionEnabled(enable); }

int Imx570::GetDistortionCorrectionEnabled(bool* enable) { return m_filters.GetDistortionCorrectionEnabled(enable); }

int Imx570::GetResolutionList(ResolutionList* list) {
    if (list == nullptr) {
        return status::kNullArgument;
    }
    *list = ResolutionList{1, {{640, 480}, {0, 0}, {0, 0}, {0, 0}, {0, 0}, {0, 0}}};
    return 0;
}

int Imx570::ProcessData(uint8_t* record, int size, FrameSyncInfo info) {
    m_intake.Take(record, size, info, m_decode.GetStream());
    return status::kFailed;  // on every path: the kit does not look at it
}

int Imx570::CheckImgData(uint8_t* record, int size) {
    ToFRecordHead head;
    if (!ToFRecordHead::Read(record, size, head)) {
        return status::kFailed;
    }
    if (!head.IsToF()) {
        return status::kNotMine;  // the kit offers it to the colour plug-in next
    }
    if (!head.HasExpectedLength()) {
        CAMERA_LOG(m_tag, "typeId:%d dataLenth.lenth:%d is invalid.", head.type, head.length);
        return status::kFailed;
    }
    return static_cast<int>(m_switches.Reported());
}

int Imx570::ConvertDepthFrameToPointCloudVector(const Frame* frame, Vector3f* out) {
    return m_decode.ConvertDepthFrameToPointCloudVector(frame, out);
}

int Imx570::SetHDRModeEnabled(bool enable) { return m_exposure.SetHDRModeEnabled(enable); }

int Imx570::GetHDRModeEnabled(bool* enable) { return m_exposure.GetHDRModeEnabled(enable); }
