#pragma once
#include <array>
#include <cstdint>

namespace smalldivision {

constexpr uint32_t kMaxCount = 12;

constexpr std::array<uint64_t, kMaxCount + 1> MakeReciprocals() {
    std::array<uint64_t, kMaxCount + 1> table{};
    for (uint32_t n = 1; n <= kMaxCount; ++n) {
        table[n] = (uint64_t{1} << 32) / n + 1;
    }
    return table;
}

}  // namespace smalldivision

// floor(sum / count) for the neighbourhood filters' sums (below 2^20) and counts 1 to 12,
// as a multiply by a rounded-up reciprocal: the error stays below 2^-12, well under the
// 1/12 that would change the quotient.
class SmallDivision {
public:
    static constexpr uint32_t kMaxSum = (1u << 20) - 1;
    static constexpr uint32_t kMaxCount = smalldivision::kMaxCount;

    static uint32_t Divide(uint32_t sum, uint32_t count) {
        return static_cast<uint32_t>((static_cast<uint64_t>(sum) * kReciprocal[count]) >> 32);
    }

private:
    static constexpr std::array<uint64_t, kMaxCount + 1> kReciprocal = smalldivision::MakeReciprocals();
};
