#pragma once
#include <array>

namespace kpimg {

// From the depth camera's frame to the colour camera's: p_colour = R * p_depth + T,
// R row by row, T in millimetres.
struct RigidTransform {
    std::array<double, 9> rotation{};
    std::array<double, 3> translation{};

    static RigidTransform Identity();

    // A proper rotation (orthonormal, determinant 1) and a finite translation. An unread
    // calibration leaves R all zero, which would collapse every point onto T.
    bool IsRigid() const;
};

}  // namespace kpimg
