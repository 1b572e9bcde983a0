#pragma once
#include <cstdint>
#include <vector>

#include "DepthLimits.h"
#include "DepthPlane.h"
#include "FilterParams.h"
#include "RowCopies.h"

// The spatial filter: a pixel whose diamond of twelve neighbours (radius 2) varies little
// becomes the mean of the neighbours inside the depth limits. Each pass reads the frame as
// it was before the pass; the outer two rows and columns are left as they are.
class SpatialSmoothing {
public:
    void Apply(const DepthPlane& plane, const SpatialFilterParams& params, DepthLimits limits);

private:
    void SmoothRow(const DepthPlane& plane, uint32_t y, const SpatialFilterParams& params, DepthLimits limits);

    RowCopies m_rows;
    // Per column of the current row: sum and count of the kept neighbours, count 0 when
    // the pixel stays.
    std::vector<uint32_t> m_sum;
    std::vector<uint32_t> m_count;
};
