#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// Copies of the last few rows of an image as they were before a pass changed them, so a
// filter working in place still reads the old values above and beside a pixel.
class RowCopies {
public:
    // Room for `count` rows of `width` values; keeps its storage when it is large enough.
    void Reset(size_t count, size_t width);
    // Copies row `y` over the oldest kept row.
    void Keep(size_t y, const uint16_t* row);
    // The copy of row `y`; valid while it is one of the last `count` rows kept.
    const uint16_t* Row(size_t y) const { return m_values.data() + (y % m_count) * m_width; }

private:
    std::vector<uint16_t> m_values;
    size_t m_count = 1;
    size_t m_width = 0;
};
