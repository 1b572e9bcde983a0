#include <gtest/gtest.h>

#include <ctime>
#include <regex>
#include <string>
#include <vector>

#include "log.h"

namespace {

struct FormatCase {
    const char* name;
    std::string (*text)();
    const char* pattern;
};

void PrintTo(const FormatCase& c, std::ostream* out) { *out << c.name; }

class TimeTextTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(TimeTextTest, HasItsFixedLayout) {
    const std::string text = GetParam().text();
    EXPECT_TRUE(std::regex_match(text, std::regex(GetParam().pattern))) << text;
}

INSTANTIATE_TEST_SUITE_P(Helpers, TimeTextTest,
                         ::testing::Values(FormatCase{"GetTime", &GetTime, R"(\d{2}:\d{2}:\d{2}-\d{3})"},
                                           FormatCase{"GetDateTime", &GetDateTime,
                                                      R"(\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}-\d{3})"},
                                           FormatCase{"GetTimeAudio", &GetTimeAudio, R"(\d{8}_\d{6}:\d{2,3}\.pcm)"}),
                         [](const ::testing::TestParamInfo<FormatCase>& info) { return std::string(info.param.name); });

TEST(TimeText, DateTimeIsTheLocalDate) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char date[32];
    snprintf(date, sizeof date, "%04d/%02d/%02d ", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    EXPECT_EQ(0u, GetDateTime().find(date)) << GetDateTime();
}

TEST(TimeStamp, CountsMillisecondsSince1970) {
    const uint64_t before = static_cast<uint64_t>(std::time(nullptr)) * 1000u;
    const uint64_t stamp = LogCustom::GetTimeStampMS();
    const uint64_t after = static_cast<uint64_t>(std::time(nullptr)) * 1000u + 1000u;
    EXPECT_LE(before, stamp);
    EXPECT_GE(after, stamp);
}

TEST(HexDump, SeparatesBytesByBlankTabAndLineFeed) {
    std::vector<char> data;
    for (int i = 0; i < 16; ++i) {
        data.push_back(static_cast<char>(i));
    }
    for (int i = 16; i < 32; ++i) {
        data.push_back(static_cast<char>(0x80 + i));
    }
    data.push_back(static_cast<char>(0xFF));
    const std::string expected =
        "00 01 02 03\t04 05 06 07\t08 09 0A 0B\t0C 0D 0E 0F\t"
        "90 91 92 93\t94 95 96 97\t98 99 9A 9B\t9C 9D 9E 9F\n"
        "FF ";
    // Room for exactly three characters per byte and the NUL, then a guard.
    std::vector<char> out(3 * data.size() + 1 + 8, '#');

    char* result = ToHEX(data.data(), static_cast<int>(data.size()), out.data());

    EXPECT_EQ(out.data(), result);
    EXPECT_EQ(expected, std::string(result));
    EXPECT_EQ(std::string(8, '#'), std::string(out.end() - 8, out.end()));
}

TEST(HexDump, NoBytesGiveAnEmptyText) {
    const char data[] = {'\x12'};
    for (int len : {0, -1, -100}) {
        char out[4] = {'#', '#', '#', '#'};
        EXPECT_STREQ("", ToHEX(data, len, out)) << len;
        EXPECT_EQ('#', out[1]) << len;
    }
}

}  // namespace
