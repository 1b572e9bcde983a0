#include "CameraRig.h"

namespace camsim {

Pinhole Pinhole::ScaledTo(int imageWidth, int imageHeight) const {
    const double sx = static_cast<double>(imageWidth) / width;
    const double sy = static_cast<double>(imageHeight) / height;
    return Pinhole{fx * sx, fy * sy, cx * sx, cy * sy, imageWidth, imageHeight};
}

Point3 Pinhole::Ray(double u, double v) const { return Point3{(u - cx) / fx, (v - cy) / fy, 1.0}; }

void Pinhole::Project(const Point3& p, double& u, double& v) const {
    u = fx * p.x / p.z + cx;
    v = fy * p.y / p.z + cy;
}

std::array<double, 9> Pinhole::Matrix() const { return {fx, 0.0, cx, 0.0, fy, cy, 0.0, 0.0, 1.0}; }

Point3 CameraRig::ToColour(const Point3& p) const {
    return Point3{p.x + depthToColour[0], p.y + depthToColour[1], p.z + depthToColour[2]};
}

Point3 CameraRig::ToDepth(const Point3& p) const {
    return Point3{p.x - depthToColour[0], p.y - depthToColour[1], p.z - depthToColour[2]};
}

const CameraRig& Rig() {
    // The colour camera sees a little more than the depth camera, its centre is slightly
    // off the sensor's middle, and it sits 25 mm to the depth camera's left.
    static const CameraRig rig{Pinhole{520.0, 520.0, 320.0, 240.0, 640, 480},
                               Pinhole{1200.0, 1200.0, 810.0, 590.0, 1600, 1200},
                               {25.0, 0.0, 0.0}};
    return rig;
}

}  // namespace camsim
