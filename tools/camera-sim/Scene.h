#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "CameraRig.h"

namespace camsim {

struct Rgb {
    uint8_t r, g, b;
};

// A synthetic scene in 3-D, in the depth camera's frame (millimetres, z along its optical
// axis), seen by both cameras of the rig. Depth is z, the distance along the depth camera's
// axis, as the records carry it.
class Scene {
public:
    enum class Kind { Wall, Box, Ramp };

    // A wall facing the cameras at the given distance.
    static Scene Wall(uint16_t distanceMm);
    // A box standing out from the wall; its front face covers the middle half of the depth
    // image in each direction.
    static Scene Box(uint16_t wallMm, uint16_t boxMm);
    // A plane turned about the vertical axis: the depth image's left column sees it at
    // leftMm, its right column at rightMm.
    static Scene Ramp(uint16_t leftMm, uint16_t rightMm);

    // "wall:D", "box:WALL,BOX", "ramp:LEFT,RIGHT" (millimetres, 1 to 65000).
    static std::optional<Scene> Parse(const std::string& text);

    // What the depth camera read out at width x height sees at pixel (x, y): depth in mm,
    // 0 where no surface is in view.
    uint16_t DepthAt(int x, int y, int width, int height) const;
    // What the colour camera read out at width x height sees at pixel (x, y).
    Rgb ColourAt(int x, int y, int width, int height) const;
    // The farthest depth the depth camera sees.
    uint16_t FarthestMm() const;

    Kind GetKind() const { return m_kind; }
    uint16_t First() const { return m_first; }
    uint16_t Second() const { return m_second; }

    bool operator==(const Scene& other) const;
    bool operator!=(const Scene& other) const { return !(*this == other); }

private:
    enum class Surface { None, Wall, BoxFront, BoxSide, Ramp };
    struct Hit {
        Surface surface;
        Point3 point;  // in the depth camera's frame
    };

    Scene(Kind kind, uint16_t first, uint16_t second);
    // The first surface along origin + t * direction (t > 0, direction.z = 1), both in the
    // depth camera's frame.
    Hit Trace(const Point3& origin, const Point3& direction) const;
    Rgb Paint(const Hit& hit) const;

    Kind m_kind;
    uint16_t m_first;   // wall distance or ramp left end
    uint16_t m_second;  // box distance or ramp right end
};

}  // namespace camsim
