#include "FlyingPixelVotes.h"

namespace {

constexpr uint8_t kWindowVote = 1;
constexpr uint8_t kAlone = 8;
constexpr uint32_t kAloneVotes = 6;
constexpr uint32_t kMaxVotes = 5;
constexpr uint16_t kInvalid = 0xFFFF;
constexpr uint32_t kInteriorMinValues = 5;
constexpr uint32_t kBorderMinValues = 3;
// The spread limit is (50 - threshold) thousandths of the mean; compared squared, in whole numbers.
constexpr int64_t kLimitThousandths = 50;
constexpr uint64_t kThousandSquared = 1000000u;
// A limit of 3000 thousandths or more: std / mean of positive values stays below sqrt(8) < 3.
constexpr int64_t kUnreachableThousandths = 3000;

inline uint32_t Valid(uint16_t value) { return static_cast<uint16_t>(value - 1) < 0xFFFE ? 1u : 0u; }

}  // namespace

FlyingPixelVotes::SpreadLimit::SpreadLimit(int32_t threshold) {
    const int64_t numerator = kLimitThousandths - static_cast<int64_t>(threshold);
    if (numerator < 0) {
        m_mode = Mode::Always;  // a negative limit: any spread, even none, exceeds it
    } else if (numerator > kUnreachableThousandths) {
        m_mode = Mode::Never;
    } else {
        m_numeratorSquare = static_cast<uint64_t>(numerator * numerator);
    }
}

bool FlyingPixelVotes::SpreadLimit::Exceeded(uint32_t count, uint64_t sum, uint64_t squares) const {
    if (m_mode != Mode::Compare) {
        return m_mode == Mode::Always;
    }
    // Both sides stay below 2^62 for nine 16-bit values.
    const uint64_t sumSquare = sum * sum;
    const uint64_t spread = count * squares - sumSquare;
    return spread * kThousandSquared > m_numeratorSquare * sumSquare;
}

void FlyingPixelVotes::Apply(const DepthPlane& plane, int32_t threshold) {
    if (plane.width < 2 || plane.height < 2) {
        return;
    }
    Resize(plane.width, plane.Count());
    const SpreadLimit limit(threshold);
    for (uint32_t y = 0; y < plane.height; ++y) {
        MarkRow(plane, y, limit);
    }
    for (uint32_t y = 0; y < plane.height; ++y) {
        CountRowVotes(plane, y);
    }
}

void FlyingPixelVotes::Resize(uint32_t width, uint32_t count) {
    m_marks.resize(count);
    m_columnCount.assign(width + 2, 0);
    m_columnSum.assign(width + 2, 0);
    m_columnSquares.assign(width + 2, 0);
    m_emptyDepthRow.assign(width, 0);
    m_emptyMarkRow.assign(width, 0);
}

void FlyingPixelVotes::MarkRow(const DepthPlane& plane, uint32_t y, const SpreadLimit& limit) {
    const uint32_t width = plane.width;
    const uint16_t* above = y > 0 ? plane.Row(y - 1) : m_emptyDepthRow.data();
    const uint16_t* row = plane.Row(y);
    const uint16_t* below = y + 1 < plane.height ? plane.Row(y + 1) : m_emptyDepthRow.data();
    // Column x of the image is entry x + 1, so the window of column x is entries x to x + 2.
    uint32_t* count = m_columnCount.data();
    uint32_t* sum = m_columnSum.data();
    uint64_t* squares = m_columnSquares.data();
    for (uint32_t x = 0; x < width; ++x) {
        const uint32_t a = Valid(above[x]) * above[x];
        const uint32_t b = Valid(row[x]) * row[x];
        const uint32_t c = Valid(below[x]) * below[x];
        count[x + 1] = Valid(above[x]) + Valid(row[x]) + Valid(below[x]);
        sum[x + 1] = a + b + c;
        squares[x + 1] = static_cast<uint64_t>(a * a) + static_cast<uint64_t>(b * b) + static_cast<uint64_t>(c * c);
    }
    uint8_t* marks = m_marks.data() + static_cast<uint64_t>(y) * width;
    auto mark = [&](uint32_t x, uint32_t minValues) {
        const uint32_t n = count[x] + count[x + 1] + count[x + 2];
        const uint64_t s = sum[x] + sum[x + 1] + sum[x + 2];
        const uint64_t q = squares[x] + squares[x + 1] + squares[x + 2];
        const uint8_t vote = limit.Exceeded(n, s, q) ? kWindowVote : uint8_t{0};
        const uint8_t own = n < minValues ? kAlone : vote;
        return Valid(row[x]) != 0 ? own : uint8_t{0};
    };
    const bool borderRow = y == 0 || y + 1 == plane.height;
    const uint32_t rowMinValues = borderRow ? kBorderMinValues : kInteriorMinValues;
    // Corners own no window.
    marks[0] = borderRow ? 0 : mark(0, kBorderMinValues);
    for (uint32_t x = 1; x + 1 < width; ++x) {
        marks[x] = mark(x, rowMinValues);
    }
    marks[width - 1] = borderRow ? 0 : mark(width - 1, kBorderMinValues);
}

void FlyingPixelVotes::CountRowVotes(const DepthPlane& plane, uint32_t y) {
    const uint32_t width = plane.width;
    const uint8_t* marks = m_marks.data() + static_cast<uint64_t>(y) * width;
    const uint8_t* above = y > 0 ? marks - width : m_emptyMarkRow.data();
    const uint8_t* below = y + 1 < plane.height ? marks + width : m_emptyMarkRow.data();
    // Column x is entry x + 1, as in MarkRow.
    uint32_t* votes = m_columnCount.data();
    for (uint32_t x = 0; x < width; ++x) {
        votes[x + 1] = (above[x] & kWindowVote) + (marks[x] & kWindowVote) + (below[x] & kWindowVote);
    }
    uint16_t* row = plane.Row(y);
    for (uint32_t x = 0; x < width; ++x) {
        const uint32_t total = votes[x] + votes[x + 1] + votes[x + 2] + (marks[x] / kAlone) * kAloneVotes;
        row[x] = total > kMaxVotes ? kInvalid : row[x];
    }
}
