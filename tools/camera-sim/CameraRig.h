// The simulated camera's optics: a depth camera and a colour camera, both ideal pinholes
// without lens distortion, and the fixed offset between them.
#pragma once

#include <array>

namespace camsim {

struct Point3 {
    double x, y, z;
};

// A pinhole camera of one image size. Pixel centres sit at whole coordinates.
struct Pinhole {
    double fx, fy, cx, cy;
    int width, height;

    // The same camera read out at another size: the sensor bins its pixels, so the focal
    // lengths and the centre scale with the image.
    Pinhole ScaledTo(int imageWidth, int imageHeight) const;
    // The direction, in this camera's frame, that pixel (u, v) looks along, with z = 1.
    Point3 Ray(double u, double v) const;
    // Where a point in this camera's frame appears; z must be positive.
    void Project(const Point3& p, double& u, double& v) const;
    // The row-major 3x3 camera matrix.
    std::array<double, 9> Matrix() const;
};

struct CameraRig {
    Pinhole depth;   // at 640 x 480
    Pinhole colour;  // at the full 1600 x 1200 sensor
    // A point's coordinates in the colour camera's frame are its coordinates in the depth
    // camera's frame plus this (mm); the cameras are not rotated against each other.
    std::array<double, 3> depthToColour;

    Point3 ToColour(const Point3& depthPoint) const;
    Point3 ToDepth(const Point3& colourPoint) const;
};

// The one rig every simulated camera has; its calibration replies report these values.
const CameraRig& Rig();

}  // namespace camsim
