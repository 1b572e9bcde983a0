#pragma once

namespace kpimg {

// Pinhole intrinsics of one camera at one image size. Pixel centres sit at integer
// coordinates; pixel (u, v) covers [u - 0.5, u + 0.5) x [v - 0.5, v + 0.5).
struct PinholeCamera {
    double fx = 0.0;
    double fy = 0.0;
    double cx = 0.0;
    double cy = 0.0;

    // From a row-ordered 3x3 camera matrix (fx at 0, cx at 2, fy at 4, cy at 5).
    static PinholeCamera FromMatrix(const double* K);

    // Zero (or non-finite) focal lengths mean the camera was never calibrated.
    bool IsCalibrated() const;

    // The same camera at an image scaled by (sx, sy): pixel areas scale, so the principal
    // point moves with the pixel centres rather than with the pixel corners.
    PinholeCamera ScaledBy(double sx, double sy) const;

    bool operator==(const PinholeCamera& other) const;
};

}  // namespace kpimg
