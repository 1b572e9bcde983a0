#include "FilterReference.h"

#include <cmath>
#include <cstdlib>

namespace filtertest {

namespace {

bool Valid(uint16_t v) { return v >= 1 && v <= 65534; }

struct Grid {
    const std::vector<uint16_t>& pixels;
    Size size;
    uint16_t At(int y, int x) const { return pixels[static_cast<size_t>(y) * size.width + x]; }
};

}  // namespace

std::vector<uint16_t> FlyingPixelReference(const std::vector<uint16_t>& in, Size size, int32_t threshold) {
    const Grid grid{in, size};
    const int w = size.width;
    const int h = size.height;
    std::vector<int> votes(in.size(), 0);
    const double limit = static_cast<double>(50 - static_cast<int64_t>(threshold)) / 1000.0;
    auto window = [&](int cy, int cx, int y0, int y1, int x0, int x1, int minCount) {
        if (!Valid(grid.At(cy, cx))) {
            return;
        }
        std::vector<double> values;
        for (int y = y0; y <= y1; ++y) {
            for (int x = x0; x <= x1; ++x) {
                if (Valid(grid.At(y, x))) {
                    values.push_back(grid.At(y, x));
                }
            }
        }
        if (static_cast<int>(values.size()) < minCount) {
            votes[static_cast<size_t>(cy) * w + cx] += 6;
            return;
        }
        double mean = 0;
        for (double v : values) {
            mean += v;
        }
        mean /= static_cast<double>(values.size());
        double squares = 0;
        for (double v : values) {
            squares += (v - mean) * (v - mean);
        }
        const double sigma = std::sqrt(squares / static_cast<double>(values.size()));
        if (sigma / mean > limit) {
            for (int y = y0; y <= y1; ++y) {
                for (int x = x0; x <= x1; ++x) {
                    ++votes[static_cast<size_t>(y) * w + x];
                }
            }
        }
    };
    if (w > 2 && h > 2) {
        for (int y = 1; y <= h - 2; ++y) {
            for (int x = 1; x <= w - 2; ++x) {
                window(y, x, y - 1, y + 1, x - 1, x + 1, 5);
            }
        }
    }
    if (w > 2 && h >= 2) {
        for (int x = 1; x <= w - 2; ++x) {
            window(0, x, 0, 1, x - 1, x + 1, 3);
            window(h - 1, x, h - 2, h - 1, x - 1, x + 1, 3);
        }
    }
    if (h > 2 && w >= 2) {
        for (int y = 1; y <= h - 2; ++y) {
            window(y, 0, y - 1, y + 1, 0, 1, 3);
            window(y, w - 1, y - 1, y + 1, w - 2, w - 1, 3);
        }
    }
    std::vector<uint16_t> out = in;
    for (size_t i = 0; i < out.size(); ++i) {
        if (votes[i] > 5) {
            out[i] = 0xFFFF;
        }
    }
    return out;
}

std::vector<uint16_t> SpatialReference(const std::vector<uint16_t>& in, Size size, const SpatialFilterParams& params,
                                       uint16_t minDepth, uint16_t maxDepth) {
    std::vector<uint16_t> out = in;
    if (params.iterations <= 0 || size.width <= 4 || size.height <= 4) {
        return out;
    }
    const int64_t validCount = params.validCount < 0 ? 0 : params.validCount;
    for (int pass = 0; pass < params.iterations; ++pass) {
        const std::vector<uint16_t> before = out;
        const Grid grid{before, size};
        for (int y = 2; y <= size.height - 3; ++y) {
            for (int x = 2; x <= size.width - 3; ++x) {
                const uint16_t c = grid.At(y, x);
                if (!(c > minDepth && c < maxDepth)) {
                    continue;
                }
                const int offsets[12][2] = {{-2, 0}, {-1, -1}, {-1, 0}, {-1, 1}, {0, -2}, {0, -1},
                                            {0, 1},  {0, 2},   {1, -1}, {1, 0},  {1, 1},  {2, 0}};
                std::vector<int64_t> kept;
                int64_t sum = 0;
                for (const auto& o : offsets) {
                    const uint16_t v = grid.At(y + o[0], x + o[1]);
                    if (v > minDepth && v < maxDepth) {
                        kept.push_back(v);
                        sum += v;
                    }
                }
                const int64_t mean12 = sum / 12;
                const int64_t n = static_cast<int64_t>(kept.size());
                if (n == 0 || n <= validCount) {
                    continue;
                }
                int64_t deviation = 0;
                for (int64_t v : kept) {
                    deviation += std::llabs(v - mean12);
                }
                if (mean12 * params.deviationPercent / 100 > deviation) {
                    out[static_cast<size_t>(y) * size.width + x] = static_cast<uint16_t>(sum / n);
                }
            }
        }
    }
    return out;
}

std::vector<uint16_t> FillHoleReference(const std::vector<uint16_t>& in, Size size, const FillHoleFilterParams& params,
                                        uint16_t minDepth, uint16_t maxDepth) {
    std::vector<uint16_t> out = in;
    if (params.iterations <= 0 || size.width <= 2 || size.height <= 2) {
        return out;
    }
    const int64_t validCount = params.validCount < 0 ? 0 : params.validCount;
    const int shift = params.deviationShift & 31;
    for (int pass = 0; pass < params.iterations; ++pass) {
        const std::vector<uint16_t> before = out;
        const Grid grid{before, size};
        for (int y = 1; y <= size.height - 2; ++y) {
            for (int x = 1; x <= size.width - 2; ++x) {
                const uint16_t c = grid.At(y, x);
                if (c != 0 && c != 0xFFFF) {
                    continue;
                }
                std::vector<int64_t> kept;
                int64_t sum = 0;
                for (int dy = -1; dy <= 1; ++dy) {
                    for (int dx = -1; dx <= 1; ++dx) {
                        const uint16_t v = grid.At(y + dy, x + dx);
                        if ((dy != 0 || dx != 0) && v > minDepth && v < maxDepth) {
                            kept.push_back(v);
                            sum += v;
                        }
                    }
                }
                const int64_t n = static_cast<int64_t>(kept.size());
                if (n <= validCount || n == 0) {
                    continue;
                }
                const int64_t mean = sum / n;
                int64_t deviation = 0;
                for (int64_t v : kept) {
                    deviation += std::llabs(v - mean);
                }
                if ((mean >> shift) > deviation) {
                    out[static_cast<size_t>(y) * size.width + x] = static_cast<uint16_t>(mean);
                }
            }
        }
    }
    return out;
}

}  // namespace filtertest
