#pragma once
#include "FilterParams.h"
#include "Torvane_api.h"

// The application's filter records carry the same values as the device's, enable last; the
// copies go field by field.
namespace filterrecords {

template <typename Internal, typename Public>
Internal ThresholdToInternal(const Public& in) {
    Internal out{};
    out.enable = in.enable;
    out.threshold = in.threshold;
    return out;
}

template <typename Public, typename Internal>
Public ThresholdToPublic(const Internal& in) {
    Public out{};
    out.threshold = in.threshold;
    out.enable = in.enable;
    return out;
}

inline FillHoleFilterParams ToInternal(const QlFillHoleFilterParams& in) {
    return FillHoleFilterParams{in.enable, in.validCount, in.deviationShift, in.iterations};
}
inline QlFillHoleFilterParams ToPublic(const FillHoleFilterParams& in) {
    return QlFillHoleFilterParams{in.validCount, in.deviationShift, in.iterations, in.enable};
}
inline SpatialFilterParams ToInternal(const QlSpatialFilterParams& in) {
    return SpatialFilterParams{in.enable, in.validCount, in.deviationPercent, in.iterations};
}
inline QlSpatialFilterParams ToPublic(const SpatialFilterParams& in) {
    return QlSpatialFilterParams{in.validCount, in.deviationPercent, in.iterations, in.enable};
}

}  // namespace filterrecords
