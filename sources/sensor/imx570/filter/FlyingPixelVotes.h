#pragma once
#include <cstdint>
#include <vector>

#include "DepthPlane.h"

// The flying-pixel filter: a pixel whose 3 by 3 neighbourhood (clipped at the border)
// varies too much relative to its mean gives every pixel of that neighbourhood a vote; a
// valid pixel with too few valid neighbours gets six. Pixels with more than five votes
// become invalid (0xFFFF). Votes are gathered on the unmodified frame. Corners own no
// neighbourhood, and a frame of one row or one column is left alone.
class FlyingPixelVotes {
public:
    // `threshold` lowers the limit (50 - threshold) / 1000 on standard deviation / mean.
    void Apply(const DepthPlane& plane, int32_t threshold);

private:
    // Whether the spread of n valid values with sum S and sum of squares Q exceeds the
    // limit L: std / mean > L  <=>  (n*Q - S^2) * 10^6 > (50 - threshold)^2 * S^2, decided
    // exactly in integers.
    class SpreadLimit {
    public:
        explicit SpreadLimit(int32_t threshold);
        bool Exceeded(uint32_t count, uint64_t sum, uint64_t squares) const;

    private:
        enum class Mode { Always, Never, Compare };
        Mode m_mode = Mode::Compare;
        uint64_t m_numeratorSquare = 0;  // (50 - threshold)^2
    };

    void Resize(uint32_t width, uint32_t count);
    void MarkRow(const DepthPlane& plane, uint32_t y, const SpreadLimit& limit);
    void CountRowVotes(const DepthPlane& plane, uint32_t y);

    // One byte per pixel: kWindowVote when the pixel's window votes, kAlone when the pixel
    // has too few valid neighbours.
    std::vector<uint8_t> m_marks;
    // Per column of the current row, sums over the rows around it, with one empty column
    // on either side so every window has three columns.
    std::vector<uint32_t> m_columnCount;
    std::vector<uint32_t> m_columnSum;
    std::vector<uint64_t> m_columnSquares;
    // Stand-ins for the rows above the first and below the last: nothing valid, no marks.
    std::vector<uint16_t> m_emptyDepthRow;
    std::vector<uint8_t> m_emptyMarkRow;
};
