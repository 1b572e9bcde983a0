// The status codes of the guide against the status mapping: every code the application can
// receive is documented, and every documented code can reach it.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "DocTable.h"
#include "StatusMapping.h"

namespace {

// QL_InitializeWithLogPath returns the log's two failures itself, before the mapping.
const std::set<int> kReturnedBeforeTheMapping = {-24, -25};

std::map<int, std::string> DocumentedCodes() {
    std::map<int, std::string> codes;
    for (const doctable::Row& row : doctable::Read(doctable::GuidePath(), {"code", "meaning", "given by"})) {
        size_t used = 0;
        const int code = std::stoi(row.at(0), &used);
        EXPECT_EQ(used, row.at(0).size()) << "not a number: " << row.at(0);
        EXPECT_TRUE(codes.emplace(code, row.at(1)).second) << "documented twice: " << code;
        EXPECT_FALSE(row.at(1).empty()) << "no meaning for " << code;
    }
    return codes;
}

TEST(StatusTable, EveryDocumentedCodeReachesTheApplication) {
    const std::map<int, std::string> codes = DocumentedCodes();
    ASSERT_FALSE(codes.empty()) << "no status table in " << doctable::GuidePath();
    for (const auto& [code, meaning] : codes) {
        if (kReturnedBeforeTheMapping.count(code)) continue;
        EXPECT_EQ(InterRet2ExternRet(code), code) << code << " (" << meaning << ") never reaches the application";
    }
}

TEST(StatusTable, EveryCodeThatReachesTheApplicationIsDocumented) {
    const std::map<int, std::string> codes = DocumentedCodes();
    ASSERT_FALSE(codes.empty()) << "no status table in " << doctable::GuidePath();
    for (int code = -4096; code <= 4096; ++code) {
        if (InterRet2ExternRet(code) == code) {
            EXPECT_EQ(codes.count(code), 1u) << code << " is not documented";
        }
    }
    for (int code : kReturnedBeforeTheMapping) EXPECT_EQ(codes.count(code), 1u) << code << " is not documented";
}

}  // namespace
