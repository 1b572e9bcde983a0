#include "RigProjection.h"

#include <cmath>

namespace kpimg {

std::optional<RigProjection> RigProjection::Make(const PreProcParams& params, int depthWidth, int depthHeight,
                                                 int colorWidth, int colorHeight) {
    const PinholeCamera depth = params.tof.CameraAt(depthWidth, depthHeight);
    const PinholeCamera color = params.color.CameraAt(colorWidth, colorHeight);
    if (!depth.IsCalibrated() || !color.IsCalibrated() || !params.depthToColor.IsRigid()) {
        return std::nullopt;
    }
    return RigProjection(ToFloat(depth), ToFloat(color), params.depthToColor);
}

RigProjection::Camera RigProjection::ToFloat(const PinholeCamera& camera) {
    return Camera{static_cast<float>(camera.fx),       static_cast<float>(camera.fy),
                  static_cast<float>(camera.cx),       static_cast<float>(camera.cy),
                  static_cast<float>(1.0 / camera.fx), static_cast<float>(1.0 / camera.fy)};
}

RigProjection::RigProjection(const Camera& depth, const Camera& color, const RigidTransform& rig)
    : m_depth(depth), m_color(color) {
    for (int i = 0; i < 9; ++i) m_r[i] = static_cast<float>(rig.rotation[i]);
    for (int i = 0; i < 3; ++i) m_t[i] = static_cast<float>(rig.translation[i]);
}

RigProjection::Extent RigProjection::HalfFootprint(const Ray& ray, const Point& p, float depth, float slopeU,
                                                   float slopeV) const {
    // Movement of the colour-frame point per depth pixel along u and along v.
    const float stepU = depth * m_depth.invFx;
    const float stepV = depth * m_depth.invFy;
    const Ray du{slopeU * ray.x + stepU * m_r[0], slopeU * ray.y + stepU * m_r[3], slopeU * ray.z + stepU * m_r[6]};
    const Ray dv{slopeV * ray.x + stepV * m_r[1], slopeV * ray.y + stepV * m_r[4], slopeV * ray.z + stepV * m_r[7]};
    // The projection's derivative: d(x / z) = (dx - (x / z) dz) / z.
    const float xn = (p.x - m_color.cx) * m_color.invFx;
    const float yn = (p.y - m_color.cy) * m_color.invFy;
    const float invZ = 1.0f / p.z;
    const float sx = m_color.fx * invZ;
    const float sy = m_color.fy * invZ;
    const float xu = sx * (du.x - xn * du.z), xv = sx * (dv.x - xn * dv.z);
    const float yu = sy * (du.y - yn * du.z), yv = sy * (dv.y - yn * dv.z);
    // The box around the parallelogram the pixel becomes.
    return Extent{0.5f * (std::fabs(xu) + std::fabs(xv)), 0.5f * (std::fabs(yu) + std::fabs(yv))};
}

}  // namespace kpimg
