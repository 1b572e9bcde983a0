#include "ConfidenceTable.h"

#include <cmath>

namespace {

std::array<uint16_t, kConfidenceTabSize> BuildConfidenceTab() {
    std::array<uint16_t, kConfidenceTabSize> table{};
    for (size_t i = 0; i < kConfidenceTabSize; ++i) {
        const double depth = static_cast<double>(kConfidenceTabFirstDepth + i);
        table[i] = static_cast<uint16_t>(std::lround(32593.0 * std::pow(depth / 100.0, -1.982)));
    }
    // The calibrated table sits one below the fitted curve at these two depths.
    table[101 - kConfidenceTabFirstDepth] = 31956;
    table[200 - kConfidenceTabFirstDepth] = 8250;
    return table;
}

}  // namespace

const std::array<uint16_t, kConfidenceTabSize>& pConfidenceTab() {
    static const std::array<uint16_t, kConfidenceTabSize> table = BuildConfidenceTab();
    return table;
}
