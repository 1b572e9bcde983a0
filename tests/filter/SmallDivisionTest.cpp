#include <gtest/gtest.h>

#include "SmallDivision.h"

namespace {

TEST(SmallDivisionTest, EqualsIntegerDivisionForEverySumAndCount) {
    for (uint32_t count = 1; count <= SmallDivision::kMaxCount; ++count) {
        for (uint32_t sum = 0; sum <= SmallDivision::kMaxSum; ++sum) {
            if (SmallDivision::Divide(sum, count) != sum / count) {
                FAIL() << sum << " / " << count;
            }
        }
    }
}

}  // namespace
