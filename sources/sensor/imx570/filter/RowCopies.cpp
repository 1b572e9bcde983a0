#include "RowCopies.h"

#include <algorithm>

void RowCopies::Reset(size_t count, size_t width) {
    m_count = count == 0 ? 1 : count;
    m_width = width;
    m_values.resize(m_count * m_width);
}

void RowCopies::Keep(size_t y, const uint16_t* row) {
    std::copy(row, row + m_width, m_values.data() + (y % m_count) * m_width);
}
