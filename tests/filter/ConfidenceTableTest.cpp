#include <gtest/gtest.h>

#include "ConfidenceTable.h"

namespace {

struct Row {
    int depth;
    uint16_t value;
};

class ConfidenceTableRowTest : public ::testing::TestWithParam<Row> {};

TEST_P(ConfidenceTableRowTest, HoldsTheCalibratedValue) {
    EXPECT_EQ(pConfidenceTab()[GetParam().depth - kConfidenceTabFirstDepth], GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(Rows, ConfidenceTableRowTest,
                         ::testing::Values(Row{100, 32593}, Row{101, 31956}, Row{150, 14592}, Row{200, 8250},
                                           Row{300, 3694}, Row{400, 2089}, Row{600, 935}, Row{800, 529}, Row{1000, 340},
                                           Row{1500, 152}, Row{2000, 86}, Row{2500, 55}, Row{3000, 39}, Row{3500, 28},
                                           Row{4000, 22}, Row{4500, 17}, Row{4999, 14}, Row{7495, 6}));

TEST(ConfidenceTableTest, CoversEveryDepthAndNeverRises) {
    const auto& table = pConfidenceTab();
    ASSERT_EQ(table.size(), 7396u);
    for (size_t i = 1; i < table.size(); ++i) {
        ASSERT_LE(table[i], table[i - 1]) << "depth " << i + kConfidenceTabFirstDepth;
        ASSERT_GT(table[i], 0u);
    }
}

}  // namespace
