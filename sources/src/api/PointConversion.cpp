#include "PointConversion.h"

#include <cmath>
#include <limits>

namespace {

// Truncated toward zero, or 0 when the value has no 32-bit integer.
int32_t ToInt32OrZero(double value) {
    if (!std::isfinite(value)) return 0;
    const double truncated = std::trunc(value);
    if (truncated < std::numeric_limits<int32_t>::min() || truncated > std::numeric_limits<int32_t>::max()) return 0;
    return static_cast<int32_t>(truncated);
}

}  // namespace

void DepthToPointCloud(const QlDepthVector3* in, QlVector3f* out, int32_t count,
                       const QlSensorIntrinsicParameters& params) {
    for (int32_t i = 0; i < count; ++i) {
        const double z = in[i].depthZ;
        out[i].x = static_cast<float>((in[i].depthX - params.cx) / params.fx * z);
        out[i].y = static_cast<float>((in[i].depthY - params.cy) / params.fy * z);
        out[i].z = static_cast<float>(in[i].depthZ);
    }
}

void PointCloudToDepth(const QlVector3f* in, QlDepthVector3* out, int32_t count,
                       const QlSensorIntrinsicParameters& params) {
    for (int32_t i = 0; i < count; ++i) {
        const float z = in[i].z;
        if (z == 0.0f || !std::isfinite(z)) {
            out[i] = QlDepthVector3{0, 0, 0};
            continue;
        }
        const float qx = in[i].x / z;
        const float qy = in[i].y / z;
        out[i].depthX = ToInt32OrZero(qx * params.fx + params.cx);
        out[i].depthY = ToInt32OrZero(qy * params.fy + params.cy);
        out[i].depthZ = static_cast<uint16_t>(static_cast<uint32_t>(ToInt32OrZero(z)) & 0xFFFF);
    }
}
