#pragma once
#include <cstdint>

#include "Torvane_api.h"

// Pinhole conversions between depth pixels and 3D points, with fx, fy, cx and cy of the
// intrinsics; a count of 0 or less converts nothing.
void DepthToPointCloud(const QlDepthVector3* in, QlVector3f* out, int32_t count,
                       const QlSensorIntrinsicParameters& params);
// A value that has no pixel (a point at z 0 or not finite, a position outside the 32-bit
// range) is written as 0; a depth keeps the low 16 bits of its integer part.
void PointCloudToDepth(const QlVector3f* in, QlDepthVector3* out, int32_t count,
                       const QlSensorIntrinsicParameters& params);
