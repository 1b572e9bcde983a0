#include "ToFFilterSettings.h"

#include "StatusCodes.h"

ToFFilterSettings::ToFFilterSettings(Protocol& protocol, TofDecode& decode) : m_protocol(protocol), m_decode(decode) {}

int ToFFilterSettings::SetTimeFilterParams(TimeFilterParams params) {
    m_decode.SetTimeFilterParams(params);
    return m_protocol.SetDspStatus(
        DSPParameters{kTimeFilterItem, 0, params.enable, static_cast<uint16_t>(params.threshold & 0xFFFF)});
}

int ToFFilterSettings::GetTimeFilterParams(TimeFilterParams* params) {
    if (params == nullptr) {
        return status::kNullArgument;
    }
    DSPParameters item{kTimeFilterItem, 0, params->enable, static_cast<uint16_t>(params->threshold & 0xFFFF)};
    const int ret = m_protocol.GetDspStatus(item);
    if (ret == 0) {
        params->enable = item.enable != 0 ? 1 : 0;
        params->threshold = item.threshold;
    }
    return ret;
}

int ToFFilterSettings::SetConfidenceFilterParams(ConfidenceFilterParams params) {
    m_decode.SetConfidenceFilterParams(params);
    return m_protocol.SetConfidenceFilterParams(params);
}

int ToFFilterSettings::GetConfidenceFilterParams(ConfidenceFilterParams* params) {
    if (params == nullptr) {
        return status::kNullArgument;
    }
    const int ret = m_protocol.GetConfidenceFilterParams(*params);
    // A failed read leaves the caller's values, which are no setting of the camera.
    if (ret == 0) {
        m_decode.SetConfidenceFilterParams(*params);
    }
    return ret;
}

int ToFFilterSettings::SetFlyingPixelFilterParams(FlyingPixelFilterParams params) {
    return m_decode.SetFlyingPixelFilterParams(params);
}

int ToFFilterSettings::GetFlyingPixelFilterParams(FlyingPixelFilterParams* params) {
    return params == nullptr ? status::kNullArgument : m_decode.GetFlyingPixelFilterParams(params);
}

int ToFFilterSettings::SetFillHoleFilterParams(FillHoleFilterParams params) {
    return m_decode.SetFillHoleFilterParams(params);
}

int ToFFilterSettings::GetFillHoleFilterParams(FillHoleFilterParams* params) {
    return params == nullptr ? status::kNullArgument : m_decode.GetFillHoleFilterParams(params);
}

int ToFFilterSettings::SetSpatialFilterParams(SpatialFilterParams params) {
    return m_decode.SetSpatialFilterParams(params);
}

int ToFFilterSettings::GetSpatialFilterParams(SpatialFilterParams* params) {
    return params == nullptr ? status::kNullArgument : m_decode.GetSpatialFilterParams(params);
}

int ToFFilterSettings::SetDistortionCorrectionEnabled(bool enable) {
    m_decode.SetDistortionCorrectionEnabled(enable);
    return m_protocol.SetDspStatus(
        DSPParameters{kDistortionCorrectionItem, 0, static_cast<uint8_t>(enable ? 1 : 0), 0});
}

int ToFFilterSettings::GetDistortionCorrectionEnabled(bool* enable) {
    if (enable == nullptr) {
        return status::kNullArgument;
    }
    DSPParameters item{kDistortionCorrectionItem, 0, 0, 0};
    const int ret = m_protocol.GetDspStatus(item);
    if (ret != 0) {
        return ret;
    }
    *enable = item.enable != 0;
    m_decode.SetDistortionCorrectionEnabled(*enable);
    return 0;
}
