#include "SpatialSmoothing.h"

#include "SmallDivision.h"

namespace {

constexpr uint32_t kDiamondPixels = 12;  // the neighbours within two steps, the pixel itself not
constexpr int64_t kPercent = 100;        // deviationPercent is in percent of the mean

}  // namespace

void SpatialSmoothing::Apply(const DepthPlane& plane, const SpatialFilterParams& params, DepthLimits limits) {
    if (params.iterations <= 0 || plane.width <= 4 || plane.height <= 4) {
        return;
    }
    m_sum.resize(plane.width);
    m_count.resize(plane.width);
    for (int32_t pass = 0; pass < params.iterations; ++pass) {
        // Rows y - 2 to y as they were; the rows below are not written yet.
        m_rows.Reset(3, plane.width);
        m_rows.Keep(0, plane.Row(0));
        m_rows.Keep(1, plane.Row(1));
        for (uint32_t y = 2; y + 2 < plane.height; ++y) {
            m_rows.Keep(y, plane.Row(y));
            SmoothRow(plane, y, params, limits);
        }
    }
}

void SpatialSmoothing::SmoothRow(const DepthPlane& plane, uint32_t y, const SpatialFilterParams& params,
                                 DepthLimits limits) {
    const uint16_t* up2 = m_rows.Row(y - 2);
    const uint16_t* up1 = m_rows.Row(y - 1);
    const uint16_t* mid = m_rows.Row(y);
    const uint16_t* down1 = plane.Row(y + 1);
    const uint16_t* down2 = plane.Row(y + 2);
    const uint32_t minCount = params.validCount < 0 ? 0u : static_cast<uint32_t>(params.validCount);
    const int64_t percent = params.deviationPercent;
    const uint32_t end = plane.width - 2;
    for (uint32_t x = 2; x < end; ++x) {
        const uint32_t v[kDiamondPixels] = {up2[x],     up1[x - 1], up1[x],       up1[x + 1], mid[x - 2],   mid[x - 1],
                                            mid[x + 1], mid[x + 2], down1[x - 1], down1[x],   down1[x + 1], down2[x]};
        uint32_t count = 0;
        uint32_t sum = 0;
        for (uint32_t value : v) {
            const uint32_t keep = limits.Inside(value) ? 1u : 0u;
            count += keep;
            sum += keep * value;
        }
        const uint32_t mean12 = sum / kDiamondPixels;  // over the whole diamond, kept or not
        uint32_t deviation = 0;
        for (uint32_t value : v) {
            const uint32_t d = value > mean12 ? value - mean12 : mean12 - value;
            deviation += limits.Inside(value) ? d : 0u;
        }
        // A count above minCount is at least 1, so the mean below has a divisor.
        const bool smooth = limits.Inside(mid[x]) && count > minCount &&
                            static_cast<int64_t>(mean12) * percent / kPercent > static_cast<int64_t>(deviation);
        m_sum[x] = sum;
        m_count[x] = smooth ? count : 0u;
    }
    uint16_t* out = plane.Row(y);
    for (uint32_t x = 2; x < end; ++x) {
        if (m_count[x] != 0) {
            out[x] = static_cast<uint16_t>(SmallDivision::Divide(m_sum[x], m_count[x]));
        }
    }
}
