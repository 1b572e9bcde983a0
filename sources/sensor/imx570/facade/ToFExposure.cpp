#include "ToFExposure.h"

#include <limits>

#include "StatusCodes.h"
#include "ToFRecordLayout.h"

namespace {

constexpr uint32_t kUnitsPerMs = 1000;       // the camera counts exposure in microseconds
constexpr int32_t kDefaultMaximumMs = 1000;  // when the camera names no maximum of its own
// The modes of ExposureTimeParams besides the maximum's.
constexpr int32_t kNoTimeMode = 0;  // reports no time
constexpr int32_t kManualMode = 1;  // the main exposure, as the application sets it

}  // namespace

ToFExposure::ToFExposure(Protocol& protocol, const TofDecode& decode, const CameraTag& tag)
    : m_protocol(protocol), m_decode(decode), m_tag(tag) {}

bool ToFExposure::ToCameraUnits(int32_t milliseconds, uint32_t& microseconds) const {
    if (milliseconds < 0 || static_cast<uint32_t>(milliseconds) > std::numeric_limits<uint32_t>::max() / kUnitsPerMs) {
        CAMERA_LOG(m_tag, "exposureTime:%d is invalid", milliseconds);
        return false;
    }
    microseconds = static_cast<uint32_t>(milliseconds) * kUnitsPerMs;
    return true;
}

int ToFExposure::SetExposureTime(ExposureTimeParams params) {
    if (params.mode != kManualMode) {
        CAMERA_LOG(m_tag, "exposureTimeParams.mode:%d is invalid", params.mode);
        return status::kInvalidParameter;
    }
    uint32_t microseconds = 0;
    if (!ToCameraUnits(params.exposureTime, microseconds)) {
        return status::kInvalidParameter;
    }
    ExposureTime exposure{kMainExposure, microseconds};
    int ret = m_protocol.SetToFExposureTime(exposure);
    if (ret == 0 && tofrecord::IsMultiFrequencyMode(m_decode.GetDataMode())) {
        exposure.range = kSecondExposure;
        ret = m_protocol.SetToFExposureTime(exposure);
    }
    return ret;
}

int ToFExposure::GetExposureTime(ExposureTimeParams* params) {
    if (params == nullptr) {
        return status::kNullArgument;
    }
    switch (params->mode) {
        case kNoTimeMode: params->exposureTime = 0; return 0;
        case kManualMode: {
            ExposureTime exposure{kMainExposure, 0};
            const int ret = m_protocol.GetToFExposureTime(&exposure);
            params->exposureTime = ret == 0 ? static_cast<int32_t>(exposure.exposureTime / kUnitsPerMs) : 0;
            return ret;
        }
        case kMaximumExposure: {
            int32_t milliseconds = 0;  // the record is packed: no reference into it
            const int ret = GetMaximumExposureTime(milliseconds);
            params->exposureTime = milliseconds;
            return ret;
        }
        default:
            CAMERA_LOG(m_tag, "pExposureTimeParams->mode:%d is invalid", params->mode);
            return status::kInvalidParameter;
    }
}

int ToFExposure::GetMaximumExposureTime(int32_t& milliseconds) {
    ExposureTime exposure{kMaximumExposure, 0};
    const int ret = m_protocol.GetToFExposureTime(&exposure);
    milliseconds = ret == 0 && exposure.exposureTime != 0 ? static_cast<int32_t>(exposure.exposureTime / kUnitsPerMs)
                                                          : kDefaultMaximumMs;
    return ret;
}

int ToFExposure::SetHdrExposureTime(int32_t milliseconds) {
    uint32_t microseconds = 0;
    if (!ToCameraUnits(milliseconds, microseconds)) {
        return status::kInvalidParameter;
    }
    return m_protocol.SetToFExposureTime(ExposureTime{kHdrExposure, microseconds});
}

int ToFExposure::GetHdrExposureTime(int32_t& milliseconds) {
    ExposureTime exposure{kHdrExposure, 0};
    const int ret = m_protocol.GetToFExposureTime(&exposure);
    if (ret == 0) {
        milliseconds = static_cast<int32_t>(exposure.exposureTime / kUnitsPerMs);
    }
    return ret;
}

int ToFExposure::SetExposureControlMode(int mode) {
    DSPParameters item{kExposureControlItem, 0, 0, 0};
    if (mode == 0) {
        // Automatic control keeps the camera's threshold; a failed read leaves it 0.
        m_protocol.GetDspStatus(item);
        item.option = 0;
        item.enable = 1;
    }
    return m_protocol.SetDspStatus(item);
}

int ToFExposure::GetExposureControlMode(int* mode) {
    if (mode == nullptr) {
        return status::kNullArgument;
    }
    DSPParameters item{kExposureControlItem, 0, 0, 0};
    const int ret = m_protocol.GetDspStatus(item);
    *mode = item.enable == 0 ? 1 : 0;
    return ret;
}

int ToFExposure::SetHDRModeEnabled(bool enable) {
    return m_protocol.SetDspStatus(DSPParameters{kHdrItem, 0, static_cast<uint8_t>(enable ? 1 : 0), 0});
}

int ToFExposure::GetHDRModeEnabled(bool* enable) {
    if (enable == nullptr) {
        return status::kNullArgument;
    }
    DSPParameters item{kHdrItem, 0, 0, 0};
    const int ret = m_protocol.GetDspStatus(item);
    *enable = item.enable != 0;
    return ret;
}
