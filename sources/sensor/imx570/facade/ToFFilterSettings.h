#pragma once
#include "FilterParams.h"
#include "Protocol.h"
#include "TofDecode.h"

// The depth-filter and distortion-correction settings: the decoder's filters hold the host
// side; the time filter, the confidence filter and distortion correction also switch the
// camera's own processing.
class ToFFilterSettings {
public:
    ToFFilterSettings(Protocol& protocol, TofDecode& decode);

    int SetTimeFilterParams(TimeFilterParams params);
    // The camera's setting; the decoder's copy is not touched.
    int GetTimeFilterParams(TimeFilterParams* params);
    int SetConfidenceFilterParams(ConfidenceFilterParams params);
    // The camera's setting, which the decoder's filter then follows.
    int GetConfidenceFilterParams(ConfidenceFilterParams* params);
    int SetFlyingPixelFilterParams(FlyingPixelFilterParams params);
    int GetFlyingPixelFilterParams(FlyingPixelFilterParams* params);
    int SetFillHoleFilterParams(FillHoleFilterParams params);
    int GetFillHoleFilterParams(FillHoleFilterParams* params);
    int SetSpatialFilterParams(SpatialFilterParams params);
    int GetSpatialFilterParams(SpatialFilterParams* params);

    int SetDistortionCorrectionEnabled(bool enable);
    // The camera's setting, which the decoder then follows; `enable` is left alone when the
    // read fails.
    int GetDistortionCorrectionEnabled(bool* enable);

private:
    static constexpr int32_t kTimeFilterItem = 5;
    static constexpr int32_t kDistortionCorrectionItem = 6;

    Protocol& m_protocol;
    TofDecode& m_decode;
};
