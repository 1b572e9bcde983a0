#include "HoleFilling.h"

#include "SmallDivision.h"

namespace {

constexpr uint16_t kInvalid = 0xFFFF;

}  // namespace

void HoleFilling::Apply(const DepthPlane& plane, const FillHoleFilterParams& params, DepthLimits limits) {
    if (params.iterations <= 0 || plane.width <= 2 || plane.height <= 2) {
        return;
    }
    const uint32_t minCount = params.validCount < 0 ? 0u : static_cast<uint32_t>(params.validCount);
    const uint32_t shift = static_cast<uint32_t>(params.deviationShift) & 31u;
    for (int32_t pass = 0; pass < params.iterations; ++pass) {
        // Rows y - 1 and y as they were; the row below is not written yet.
        m_rows.Reset(2, plane.width);
        m_rows.Keep(0, plane.Row(0));
        for (uint32_t y = 1; y + 1 < plane.height; ++y) {
            m_rows.Keep(y, plane.Row(y));
            const uint16_t* up = m_rows.Row(y - 1);
            const uint16_t* mid = m_rows.Row(y);
            const uint16_t* down = plane.Row(y + 1);
            uint16_t* out = plane.Row(y);
            for (uint32_t x = 1; x + 1 < plane.width; ++x) {
                if (mid[x] != 0 && mid[x] != kInvalid) {
                    continue;
                }
                const uint32_t v[8] = {up[x - 1],  up[x],       up[x + 1], mid[x - 1],
                                       mid[x + 1], down[x - 1], down[x],   down[x + 1]};
                uint32_t count = 0;
                uint32_t sum = 0;
                for (uint32_t value : v) {
                    const uint32_t keep = limits.Inside(value) ? 1u : 0u;
                    count += keep;
                    sum += keep * value;
                }
                // A count above minCount is at least 1.
                if (count <= minCount) {
                    continue;
                }
                const uint32_t mean = SmallDivision::Divide(sum, count);
                uint32_t deviation = 0;
                for (uint32_t value : v) {
                    const uint32_t d = value > mean ? value - mean : mean - value;
                    deviation += limits.Inside(value) ? d : 0u;
                }
                if ((mean >> shift) > deviation) {
                    out[x] = static_cast<uint16_t>(mean);
                }
            }
        }
    }
}
