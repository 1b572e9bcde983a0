#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace camsim {

struct Rgb {
    uint8_t r, g, b;
};

// A synthetic scene whose depth is known at every pixel. Geometry is given in
// normalised image coordinates, so every sensor resolution sees the same scene.
class Scene {
public:
    enum class Kind { Wall, Box, Ramp };

    static Scene Wall(uint16_t distanceMm);
    // A box covering the middle half of the image in each direction.
    static Scene Box(uint16_t wallMm, uint16_t boxMm);
    // Depth runs linearly from the left column to the right column.
    static Scene Ramp(uint16_t leftMm, uint16_t rightMm);

    // "wall:D", "box:WALL,BOX", "ramp:LEFT,RIGHT" (millimetres, 1 to 65000).
    static std::optional<Scene> Parse(const std::string& text);

    uint16_t DepthAt(int x, int y, int width, int height) const;
    Rgb ColourAt(int x, int y, int width, int height) const;

    Kind GetKind() const { return m_kind; }
    uint16_t First() const { return m_first; }
    uint16_t Second() const { return m_second; }

    bool operator==(const Scene& other) const;
    bool operator!=(const Scene& other) const { return !(*this == other); }

private:
    Scene(Kind kind, uint16_t first, uint16_t second);
    bool InBox(int x, int y, int width, int height) const;

    Kind m_kind;
    uint16_t m_first;   // wall distance or ramp left end
    uint16_t m_second;  // box distance or ramp right end
};

}  // namespace camsim
