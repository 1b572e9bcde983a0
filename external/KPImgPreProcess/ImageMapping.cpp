#include "ImageMapping.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "ImageCheck.h"
#include "PreProcStatus.h"
#include "RigProjection.h"

namespace kpimg {

namespace {

// Footprints overlap by this much so that rounding never leaves a seam between neighbours.
constexpr float kSeam = 0.01f;
// A point almost in the colour camera's plane would cover the whole image.
constexpr float kMaxHalfFootprint = 8.0f;
constexpr uint16_t kNoDepth = 0;
constexpr uint16_t kInvalidDepth = 65535;

// Neighbours further apart than this share no surface: an edge stretches no footprint.
constexpr int kSurfaceStepShift = 4;  // 1/16 of the depth

bool HasDepth(uint16_t depth) { return depth != kNoDepth && depth != kInvalidDepth; }

// The depth's change towards a neighbour on the same surface; 0 across an edge.
float Slope(uint16_t depth, uint16_t neighbour) {
    if (!HasDepth(neighbour)) return 0.0f;
    const int step = static_cast<int>(neighbour) - depth;
    return (std::abs(step) << kSurfaceStepShift) < depth ? static_cast<float>(step) : 0.0f;
}

// A depth the colour camera sees that still fits a valid 16-bit depth pixel.
bool IsRepresentable(float colorDepth) { return colorDepth >= 0.5f && colorDepth < 65534.5f; }

// The pixel whose area holds `position`, when it lies inside [0, size).
bool ToPixel(float position, int size, int& pixel) {
    if (!(position >= -0.5f && position < static_cast<float>(size) - 0.5f)) return false;
    pixel = static_cast<int>(position + 0.5f);  // not negative here: truncation rounds down
    return true;
}

// Ceiling of a positive value; cheaper than std::ceil, which the baseline x86-64 target
// cannot do in one instruction.
int CeilPositive(float value) {
    const int truncated = static_cast<int>(value);
    return truncated + (static_cast<float>(truncated) < value ? 1 : 0);
}

// The first and last pixel whose centres lie in [centre - half, centre + half), clipped
// to the image; false when none does.
bool PixelSpan(float centre, float half, int size, int& first, int& last) {
    const float from = centre - half;
    const float to = centre + half;
    if (!(to > 0.0f && from <= static_cast<float>(size - 1))) return false;
    first = from > 0.0f ? CeilPositive(from) : 0;
    last = to < static_cast<float>(size) ? CeilPositive(to) - 1 : size - 1;
    return first <= last;
}

// The callers' buffers need not be aligned for 16-bit access.
uint16_t LoadDepth(const uint8_t* pixels, size_t index) {
    uint16_t value;
    std::memcpy(&value, pixels + 2 * index, sizeof value);
    return value;
}

void StoreDepth(uint8_t* pixels, size_t index, uint16_t value) {
    std::memcpy(pixels + 2 * index, &value, sizeof value);
}

}  // namespace

int MapDepthToColor(const PreProcParams& params, const PreProcImage& color, const PreProcImage& depth,
                    PreProcImage& output) {
    if (!IsUsable(&color, ALG_ELEM_8UC3) || !IsUsable(&depth, ALG_ELEM_16U) || output.data == nullptr) {
        return kRefused;
    }
    const auto projection = RigProjection::Make(params, depth.width, depth.height, color.width, color.height);
    if (!projection) return kRefused;

    const int width = color.width;
    const int height = color.height;
    uint8_t* out = output.data;
    std::memset(out, 0, static_cast<size_t>(width) * height * 2);
    for (int v = 0; v < depth.height; ++v) {
        const RigProjection::Ray row = projection->RowBase(v);
        const size_t rowStart = static_cast<size_t>(v) * depth.width;
        for (int u = 0; u < depth.width; ++u) {
            const uint16_t d = LoadDepth(depth.data, rowStart + u);
            if (!HasDepth(d)) continue;
            const RigProjection::Ray ray = RigProjection::Combine(row, projection->ColumnStep(u));
            const RigProjection::Point p = projection->Project(ray, static_cast<float>(d));
            if (!IsRepresentable(p.z)) continue;
            const float slopeU = u + 1 < depth.width ? Slope(d, LoadDepth(depth.data, rowStart + u + 1)) : 0.0f;
            const float slopeV =
                v + 1 < depth.height ? Slope(d, LoadDepth(depth.data, rowStart + depth.width + u)) : 0.0f;
            const RigProjection::Extent half = projection->HalfFootprint(ray, p, static_cast<float>(d), slopeU, slopeV);
            int x0, x1, y0, y1;
            if (!PixelSpan(p.x, std::min(half.halfX, kMaxHalfFootprint) + kSeam, width, x0, x1) ||
                !PixelSpan(p.y, std::min(half.halfY, kMaxHalfFootprint) + kSeam, height, y0, y1)) {
                continue;
            }
            const uint16_t colorDepth = static_cast<uint16_t>(p.z + 0.5f);
            for (int y = y0; y <= y1; ++y) {
                const size_t line = static_cast<size_t>(y) * width;
                for (int x = x0; x <= x1; ++x) {
                    const uint16_t current = LoadDepth(out, line + x);
                    if (current == kNoDepth || colorDepth < current) StoreDepth(out, line + x, colorDepth);
                }
            }
        }
    }
    output.elemType = ALG_ELEM_16U;
    output.width = width;
    output.height = height;
    return kDone;
}

int MapColorToDepth(const PreProcParams& params, const PreProcImage& depth, const PreProcImage& color,
                    PreProcImage& output) {
    if (!IsUsable(&depth, ALG_ELEM_16U) || !IsUsable(&color, ALG_ELEM_8UC3) || output.data == nullptr) {
        return kRefused;
    }
    const auto projection = RigProjection::Make(params, depth.width, depth.height, color.width, color.height);
    if (!projection) return kRefused;

    uint8_t* out = output.data;
    for (int v = 0; v < depth.height; ++v) {
        const RigProjection::Ray row = projection->RowBase(v);
        const size_t rowStart = static_cast<size_t>(v) * depth.width;
        for (int u = 0; u < depth.width; ++u) {
            uint8_t* target = out + 3 * (rowStart + u);
            const uint16_t d = LoadDepth(depth.data, rowStart + u);
            int x, y;
            if (HasDepth(d)) {
                const RigProjection::Point p =
                    projection->Project(RigProjection::Combine(row, projection->ColumnStep(u)), static_cast<float>(d));
                if (IsRepresentable(p.z) && ToPixel(p.x, color.width, x) && ToPixel(p.y, color.height, y)) {
                    std::memcpy(target, color.data + 3 * (static_cast<size_t>(y) * color.width + x), 3);
                    continue;
                }
            }
            std::memset(target, 0, 3);
        }
    }
    output.elemType = ALG_ELEM_8UC3;
    output.width = depth.width;
    output.height = depth.height;
    return kDone;
}

int MapDepthPointToColor(const PreProcParams& params, const QlDepthVector3& point, const QlVector2u16& colorSize,
                         QlVector2u16& colorPoint) {
    colorPoint = QlVector2u16{0, 0};
    const int depthWidth = params.tof.width;
    const int depthHeight = params.tof.height;
    if (!HasDepth(point.depthZ) || colorSize.x == 0 || colorSize.y == 0 || point.depthX < 0 || point.depthY < 0 ||
        point.depthX >= depthWidth || point.depthY >= depthHeight) {
        return kRefused;
    }
    const auto projection = RigProjection::Make(params, depthWidth, depthHeight, colorSize.x, colorSize.y);
    if (!projection) return kRefused;
    const RigProjection::Point p =
        projection->ProjectPixel(point.depthX, point.depthY, static_cast<float>(point.depthZ));
    int x, y;
    if (!IsRepresentable(p.z) || !ToPixel(p.x, colorSize.x, x) || !ToPixel(p.y, colorSize.y, y)) return kRefused;
    colorPoint = QlVector2u16{static_cast<uint16_t>(x), static_cast<uint16_t>(y)};
    return kDone;
}

}  // namespace kpimg
