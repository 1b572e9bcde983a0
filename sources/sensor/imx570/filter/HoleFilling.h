#pragma once
#include <cstdint>

#include "DepthLimits.h"
#include "DepthPlane.h"
#include "FilterParams.h"
#include "RowCopies.h"

// The fill-hole filter: an invalid pixel (0 or 0xFFFF) with enough neighbours inside the
// depth limits, and little spread among them, takes their mean. Each pass reads the frame
// as it was before the pass; the outer rows and columns are left as they are.
class HoleFilling {
public:
    void Apply(const DepthPlane& plane, const FillHoleFilterParams& params, DepthLimits limits);

private:
    RowCopies m_rows;
};
