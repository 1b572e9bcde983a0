#include "PinholeCamera.h"

#include <cmath>

namespace kpimg {

PinholeCamera PinholeCamera::FromMatrix(const double* K) { return PinholeCamera{K[0], K[4], K[2], K[5]}; }

bool PinholeCamera::IsCalibrated() const {
    return std::isfinite(fx) && std::isfinite(fy) && std::isfinite(cx) && std::isfinite(cy) && fx > 0.0 && fy > 0.0;
}

PinholeCamera PinholeCamera::ScaledBy(double sx, double sy) const {
    return PinholeCamera{fx * sx, fy * sy, (cx + 0.5) * sx - 0.5, (cy + 0.5) * sy - 0.5};
}

bool PinholeCamera::operator==(const PinholeCamera& other) const {
    return fx == other.fx && fy == other.fy && cx == other.cx && cy == other.cy;
}

}  // namespace kpimg
