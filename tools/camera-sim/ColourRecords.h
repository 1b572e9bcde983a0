#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "DataFrame.h"
#include "Scene.h"

namespace camsim {

// Encodes colour records: a JPEG of the scene's colour image followed by the
// exposure as a 32-bit LE float. The JPEG is compressed once per scene and size.
class ColourRecords {
public:
    static uint8_t RecordType(ColourResolution resolution);
    static int Width(ColourResolution resolution);
    static int Height(ColourResolution resolution);

    // Throws std::runtime_error when TurboJPEG fails.
    void Append(std::vector<uint8_t>& out, const Scene& scene, ColourResolution resolution, float exposure);

private:
    struct Entry {
        Scene scene;
        ColourResolution resolution;
        std::vector<uint8_t> jpeg;
    };

    std::optional<Entry> m_cached;
};

}  // namespace camsim
