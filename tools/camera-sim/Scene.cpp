#include "Scene.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <utility>

namespace camsim {

namespace {

constexpr long kMinDepthMm = 1;
constexpr long kMaxDepthMm = 65000;

// Reads a decimal depth in millimetres from text[pos...], up to stop or the end.
std::optional<uint16_t> ParseDepth(const std::string& text, size_t& pos, char stop) {
    const size_t end = text.find(stop, pos);
    const std::string field = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
    pos = end == std::string::npos ? text.size() : end + 1;
    if (field.empty() || field.find_first_not_of("0123456789") != std::string::npos || field.size() > 5) {
        return std::nullopt;
    }
    const long value = std::strtol(field.c_str(), nullptr, 10);
    if (value < kMinDepthMm || value > kMaxDepthMm) {
        return std::nullopt;
    }
    return static_cast<uint16_t>(value);
}

// The box's front face spans the depth image's pixels 160 to 479 and 120 to 359 at 640 x 480:
// its edges lie half a pixel outside those centres, so no pixel centre sits on an edge.
constexpr double kBoxLeft = 159.5, kBoxRight = 479.5, kBoxTop = 119.5, kBoxBottom = 359.5;

// Checker cells span 80 depth pixels at the surface's own distance.
constexpr double kCellPixels = 80.0;

constexpr uint16_t kNoDepth = 0;
constexpr double kFarthestDepth = 65000.0;

struct Plane {
    double a, b;  // z = a + b * x
};

// The ramp's plane through the points that the depth camera's first and last columns see at
// the two distances.
Plane RampPlane(double left, double right) {
    const Pinhole& depth = Rig().depth;
    const double xl = depth.Ray(0, 0).x;
    const double xr = depth.Ray(depth.width - 1, 0).x;
    const double b = (right - left) / (xr * right - xl * left);
    return Plane{left - b * xl * left, b};
}

int Floor(double v) { return static_cast<int>(std::floor(v)); }

}  // namespace

Scene::Scene(Kind kind, uint16_t first, uint16_t second) : m_kind(kind), m_first(first), m_second(second) {}

Scene Scene::Wall(uint16_t distanceMm) { return Scene(Kind::Wall, distanceMm, distanceMm); }

Scene Scene::Box(uint16_t wallMm, uint16_t boxMm) { return Scene(Kind::Box, wallMm, boxMm); }

Scene Scene::Ramp(uint16_t leftMm, uint16_t rightMm) { return Scene(Kind::Ramp, leftMm, rightMm); }

std::optional<Scene> Scene::Parse(const std::string& text) {
    const size_t colon = text.find(':');
    if (colon == std::string::npos) {
        return std::nullopt;
    }
    const std::string name = text.substr(0, colon);
    size_t pos = colon + 1;
    const bool pair = name == "box" || name == "ramp";
    if (!pair && name != "wall") {
        return std::nullopt;
    }
    const std::optional<uint16_t> first = ParseDepth(text, pos, pair ? ',' : '\0');
    if (!first) {
        return std::nullopt;
    }
    if (!pair) {
        return pos == text.size() ? std::optional<Scene>(Wall(*first)) : std::nullopt;
    }
    if (pos >= text.size()) {  // no second value
        return std::nullopt;
    }
    const std::optional<uint16_t> second = ParseDepth(text, pos, '\0');
    if (!second || pos != text.size()) {
        return std::nullopt;
    }
    if (name == "ramp") {
        return Ramp(*first, *second);
    }
    // A box stands in front of its wall.
    return *second < *first ? std::optional<Scene>(Box(*first, *second)) : std::nullopt;
}

Scene::Hit Scene::Trace(const Point3& o, const Point3& d) const {
    const auto at = [&](double t) { return Point3{o.x + t * d.x, o.y + t * d.y, o.z + t * d.z}; };
    const double wall = m_first;
    switch (m_kind) {
        case Kind::Wall: return Hit{Surface::Wall, at(wall - o.z)};
        case Kind::Box: {
            const Pinhole& depth = Rig().depth;
            const double front = m_second;
            const Point3 low = depth.Ray(kBoxLeft, kBoxTop);
            const Point3 high = depth.Ray(kBoxRight, kBoxBottom);
            // Slabs in x, y and z; the box reaches back to the wall.
            double near = front - o.z;
            double far = wall - o.z;
            const double lows[2] = {low.x * front, low.y * front};
            const double highs[2] = {high.x * front, high.y * front};
            const double origin[2] = {o.x, o.y};
            const double direction[2] = {d.x, d.y};
            bool sideFirst = false;
            for (int axis = 0; axis < 2; ++axis) {
                if (direction[axis] == 0.0) {
                    if (origin[axis] < lows[axis] || origin[axis] > highs[axis]) return Hit{Surface::Wall, at(far)};
                    continue;
                }
                double t0 = (lows[axis] - origin[axis]) / direction[axis];
                double t1 = (highs[axis] - origin[axis]) / direction[axis];
                if (t0 > t1) std::swap(t0, t1);
                if (t0 > near) {
                    near = t0;
                    sideFirst = true;
                }
                far = std::min(far, t1);
            }
            if (near < far) return Hit{sideFirst ? Surface::BoxSide : Surface::BoxFront, at(near)};
            return Hit{Surface::Wall, at(wall - o.z)};
        }
        case Kind::Ramp: break;
    }
    const Plane plane = RampPlane(m_first, m_second);
    const double denominator = d.z - plane.b * d.x;
    const double numerator = plane.a + plane.b * o.x - o.z;
    if (denominator <= 0.0 || numerator <= 0.0) return Hit{Surface::None, o};  // looks past the plane
    return Hit{Surface::Ramp, at(numerator / denominator)};
}

uint16_t Scene::DepthAt(int x, int y, int width, int height) const {
    const Pinhole camera = Rig().depth.ScaledTo(width, height);
    const Hit hit = Trace(Point3{0, 0, 0}, camera.Ray(x, y));
    if (hit.surface == Surface::None || hit.point.z > kFarthestDepth) return kNoDepth;
    return static_cast<uint16_t>(std::lround(hit.point.z));
}

uint16_t Scene::FarthestMm() const { return m_kind == Kind::Ramp ? std::max(m_first, m_second) : m_first; }

Rgb Scene::ColourAt(int x, int y, int width, int height) const {
    const CameraRig& rig = Rig();
    const Pinhole camera = rig.colour.ScaledTo(width, height);
    // The colour camera looks along the depth camera's axes from its own centre.
    return Paint(Trace(rig.ToDepth(Point3{0, 0, 0}), camera.Ray(x, y)));
}

Rgb Scene::Paint(const Hit& hit) const {
    if (hit.surface == Surface::None) return Rgb{0, 0, 0};
    const Point3& p = hit.point;
    // Nearer surfaces are brighter; a checker fixed to each surface gives the JPEG structure
    // and lets a mapping between the cameras be checked by eye.
    // From white at the lens to a dim 40 at 8 m and beyond.
    const int shade = p.z >= 8000 ? 40 : 255 - static_cast<int>(p.z) * 215 / 8000;
    const double reference = hit.surface == Surface::Wall   ? m_first
                             : hit.surface == Surface::Ramp ? (m_first + m_second) / 2.0
                                                            : m_second;
    const double cell = reference * kCellPixels / Rig().depth.fx;
    const bool checker = (Floor(p.x / cell) + Floor(p.y / cell)) % 2 == 0;
    const uint8_t base = static_cast<uint8_t>(checker ? shade : shade * 3 / 4);
    switch (hit.surface) {
        case Surface::BoxFront: return Rgb{base, static_cast<uint8_t>(base / 2), 0};
        case Surface::BoxSide: return Rgb{static_cast<uint8_t>(base * 2 / 3), static_cast<uint8_t>(base / 3), 0};
        default: return Rgb{base, base, base};
    }
}

bool Scene::operator==(const Scene& other) const {
    return m_kind == other.m_kind && m_first == other.m_first && m_second == other.m_second;
}

}  // namespace camsim
