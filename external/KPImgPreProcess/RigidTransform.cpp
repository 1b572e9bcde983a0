#include "RigidTransform.h"

#include <cmath>

namespace kpimg {

namespace {
// Calibrated rotations are orthonormal to far better than this.
constexpr double kRotationTolerance = 1e-3;
}  // namespace

RigidTransform RigidTransform::Identity() {
    RigidTransform identity;
    identity.rotation = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    return identity;
}

bool RigidTransform::IsRigid() const {
    for (double t : translation) {
        if (!std::isfinite(t)) return false;
    }
    const auto& r = rotation;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            const double dot = r[3 * i] * r[3 * j] + r[3 * i + 1] * r[3 * j + 1] + r[3 * i + 2] * r[3 * j + 2];
            // Also false for NaN.
            if (!(std::fabs(dot - (i == j ? 1.0 : 0.0)) <= kRotationTolerance)) return false;
        }
    }
    const double det =
        r[0] * (r[4] * r[8] - r[5] * r[7]) - r[1] * (r[3] * r[8] - r[5] * r[6]) + r[2] * (r[3] * r[7] - r[4] * r[6]);
    return det > 0.0;
}

}  // namespace kpimg
