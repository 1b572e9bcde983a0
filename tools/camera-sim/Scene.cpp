#include "Scene.h"

#include <cstdlib>

namespace camsim {

namespace {

constexpr long kMinDepthMm = 1;
constexpr long kMaxDepthMm = 65000;

// Reads a decimal depth in millimetres from text[pos...], up to stop or the end.
std::optional<uint16_t> ParseDepth(const std::string& text, size_t& pos, char stop)
{
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

}  // namespace

Scene::Scene(Kind kind, uint16_t first, uint16_t second) : m_kind(kind), m_first(first), m_second(second) {}

Scene Scene::Wall(uint16_t distanceMm) { return Scene(Kind::Wall, distanceMm, distanceMm); }

Scene Scene::Box(uint16_t wallMm, uint16_t boxMm) { return Scene(Kind::Box, wallMm, boxMm); }

Scene Scene::Ramp(uint16_t leftMm, uint16_t rightMm) { return Scene(Kind::Ramp, leftMm, rightMm); }

std::optional<Scene> Scene::Parse(const std::string& text)
{
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

bool Scene::InBox(int x, int y, int width, int height) const
{
    return 4 * x >= width && 4 * x < 3 * width && 4 * y >= height && 4 * y < 3 * height;
}

uint16_t Scene::DepthAt(int x, int y, int width, int height) const
{
    switch (m_kind) {
    case Kind::Wall:
        return m_first;
    case Kind::Box:
        return InBox(x, y, width, height) ? m_second : m_first;
    case Kind::Ramp:
        break;
    }
    if (width < 2) {
        return m_first;
    }
    // Rounded linear interpolation between the two end columns.
    const long span = static_cast<long>(m_second) - static_cast<long>(m_first);
    const long last = width - 1;
    const long step = span * x;
    const long rounded = (step >= 0 ? step + last / 2 : step - last / 2) / last;
    return static_cast<uint16_t>(m_first + rounded);
}

Rgb Scene::ColourAt(int x, int y, int width, int height) const
{
    // Nearer surfaces are brighter; a coarse checker gives the JPEG some structure
    // and makes a mirrored or shifted image visible.
    const uint16_t depth = DepthAt(x, y, width, height);
    const int shade = depth >= 8000 ? 40 : 255 - static_cast<int>(depth) * 215 / 8000;
    const bool checker = ((x * 8 / width) + (y * 6 / height)) % 2 == 0;
    const bool box = m_kind == Kind::Box && InBox(x, y, width, height);
    const uint8_t base = static_cast<uint8_t>(checker ? shade : shade * 3 / 4);
    return box ? Rgb{base, static_cast<uint8_t>(base / 2), 0} : Rgb{base, base, base};
}

bool Scene::operator==(const Scene& other) const
{
    return m_kind == other.m_kind && m_first == other.m_first && m_second == other.m_second;
}

}  // namespace camsim
