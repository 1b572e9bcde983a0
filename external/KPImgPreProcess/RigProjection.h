#pragma once
#include <optional>

#include "PreProcParams.h"

namespace kpimg {

// Projects depth-camera pixels, with their depth in millimetres, into the colour camera,
// for one depth image size and one colour image size. The depth ray of pixel (u, v) in the
// colour camera's frame combines RowBase(v) and ColumnStep(u), so loops hoist the row part;
// every caller projects through the same arithmetic and so gets the same pixel for a point.
class RigProjection {
public:
    struct Ray {
        float x, y, z;
    };
    // A colour pixel position and the point's depth seen from the colour camera.
    struct Point {
        float x, y, z;
    };

    // Empty when either camera is uncalibrated or the rig's rotation is not a rotation.
    static std::optional<RigProjection> Make(const PreProcParams& params, int depthWidth, int depthHeight,
                                             int colorWidth, int colorHeight);

    Ray RowBase(int v) const {
        const float yn = (static_cast<float>(v) - m_depth.cy) * m_depth.invFy;
        return Ray{yn * m_r[1] + m_r[2], yn * m_r[4] + m_r[5], yn * m_r[7] + m_r[8]};
    }
    Ray ColumnStep(int u) const {
        const float xn = (static_cast<float>(u) - m_depth.cx) * m_depth.invFx;
        return Ray{xn * m_r[0], xn * m_r[3], xn * m_r[6]};
    }
    static Ray Combine(const Ray& row, const Ray& column) {
        return Ray{row.x + column.x, row.y + column.y, row.z + column.z};
    }
    Point Project(const Ray& ray, float depth) const {
        const float x = depth * ray.x + m_t[0];
        const float y = depth * ray.y + m_t[1];
        const float z = depth * ray.z + m_t[2];
        const float invZ = 1.0f / z;
        return Point{m_color.fx * x * invZ + m_color.cx, m_color.fy * y * invZ + m_color.cy, z};
    }
    Point ProjectPixel(int u, int v, float depth) const { return Project(Combine(RowBase(v), ColumnStep(u)), depth); }

    struct Extent {
        float halfX, halfY;
    };
    // Half the width and height, in colour pixels, of the area one depth pixel covers: how
    // far its projection `p` moves per depth pixel along u and v, given the depth's change
    // per pixel along each (0 across an edge between surfaces).
    Extent HalfFootprint(const Ray& ray, const Point& p, float depth, float slopeU, float slopeV) const;

private:
    struct Camera {
        float fx, fy, cx, cy, invFx, invFy;
    };
    static Camera ToFloat(const PinholeCamera& camera);

    RigProjection(const Camera& depth, const Camera& color, const RigidTransform& rig);

    Camera m_depth;
    Camera m_color;
    float m_r[9];
    float m_t[3];
};

}  // namespace kpimg
