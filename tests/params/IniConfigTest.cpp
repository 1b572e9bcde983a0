#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "IniConfig.h"
#include "TempDir.h"

namespace {

struct GrammarCase {
    const char* name;
    const char* text;
    const char* section;
    const char* key;
    const char* expected;  // "" when the pair must not be there
};

const GrammarCase kGrammarCases[] = {
    {"plain pair", "[settings]\nLogToConsole = 1\n", "settings", "LogToConsole", "1"},
    {"inner blanks removed", "[s]\na b = c d\n", "s", "ab", "cd"},
    {"value keeps further equals", "[s]\npath=x=y\n", "s", "path", "x=y"},
    {"first of two keys wins", "[s]\nk=1\nk=2\n", "s", "k", "1"},
    {"empty value ignored, later one kept", "[s]\nk=\nk=3\n", "s", "k", "3"},
    {"blank-only value ignored", "[s]\nk=   \n", "s", "k", ""},
    {"leading blank before header", " [settings]\nx=1\n", "settings", "x", "1"},
    {"section name not trimmed", "[ a ]\nx=1\n", " a ", "x", "1"},
    {"pair before any section ignored", "x=1\n[s]\ny=2\n", "s", "x", ""},
    {"no comment syntax", "[s]\n;k=1\n", "s", ";k", "1"},
    {"hash line is a pair", "[s]\n#k=1\n", "s", "#k", "1"},
    {"tabs stay", "[s]\n\tk=v\t\n", "s", "\tk", "v\t"},
    {"carriage return stays in value", "[s]\nk=v\r\n", "s", "k", "v\r"},
    {"header line also read for a pair", "[s]k=v\n", "s", "[s]k", "v"},
    {"close before open names no section", "[s]\n]x[=1\n", "s", "]x[", "1"},
    {"sections merged across the file", "[a]\nx=1\n[b]\ny=2\n[a]\nz=3\n", "a", "z", "3"},
    {"key missing", "[s]\nk=1\n", "s", "other", ""},
    {"section missing", "[s]\nk=1\n", "t", "k", ""},
    {"last line without line feed", "[s]\nk=1", "s", "k", "1"},
};

class IniGrammarTest : public ::testing::TestWithParam<GrammarCase> {};

TEST_P(IniGrammarTest, ReadsAsTheGrammarSays) {
    const GrammarCase& c = GetParam();
    testsupport::TempDir dir;
    const std::string path = dir.File("x.ini");
    testsupport::WriteFile(path, c.text);
    IniConfig ini;
    ASSERT_TRUE(ini.ReadINI(path));
    EXPECT_EQ(ini.GetValue(c.section, c.key), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, IniGrammarTest, ::testing::ValuesIn(kGrammarCases), [](const auto& info) {
    std::string n = info.param.name;
    for (char& ch : n)
        if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
    return n;
});

TEST(IniConfigTest, UnreadablePathsLeaveContentUnchanged) {
    testsupport::TempDir dir;
    IniConfig ini;
    ini.SetValue("s", "k", "v");
    EXPECT_FALSE(ini.ReadINI(dir.File("missing.ini")));
    EXPECT_FALSE(ini.ReadINI(dir.Path()));  // a folder is not read
    EXPECT_EQ(ini.GetValue("s", "k"), "v");
}

TEST(IniConfigTest, SecondReadAddsNoKeysToHeldSections) {
    testsupport::TempDir dir;
    testsupport::WriteFile(dir.File("a.ini"), "[s]\nk=1\n");
    testsupport::WriteFile(dir.File("b.ini"), "[s]\nk=2\nj=3\n[t]\nm=4\n");
    IniConfig ini;
    ASSERT_TRUE(ini.ReadINI(dir.File("a.ini")));
    ASSERT_TRUE(ini.ReadINI(dir.File("b.ini")));
    EXPECT_EQ(ini.GetValue("s", "k"), "1");
    EXPECT_EQ(ini.GetValue("s", "j"), "");
    EXPECT_EQ(ini.GetValue("t", "m"), "4");
}

TEST(IniConfigTest, SetSectionIsKeptAgainstAFile) {
    testsupport::TempDir dir;
    testsupport::WriteFile(dir.File("a.ini"), "[s]\nk=1\nj=2\n");
    IniConfig ini;
    ini.SetValue("s", "k", "0");
    ASSERT_TRUE(ini.ReadINI(dir.File("a.ini")));
    EXPECT_EQ(ini.GetValue("s", "k"), "0");
    EXPECT_EQ(ini.GetValue("s", "j"), "");
}

TEST(IniConfigTest, WriteThenReadRoundTripsInMapOrder) {
    testsupport::TempDir dir;
    IniConfig ini;
    ini.SetValue("b", "y", "2");
    ini.SetValue("a", "z", "1");
    ini.SetValue("a", "x", "0");
    ini.SetValue("a", "x", "3");  // replaces
    const std::string path = dir.File("out.ini");
    ASSERT_EQ(ini.WriteINI(path), 1);
    EXPECT_EQ(testsupport::ReadFile(path), "[a]\nx=3\nz=1\n[b]\ny=2\n");
    IniConfig back;
    ASSERT_TRUE(back.ReadINI(path));
    EXPECT_EQ(back.GetValue("a", "x"), "3");
}

TEST(IniConfigTest, WriteToAnImpossiblePathFails) {
    testsupport::TempDir dir;
    testsupport::WriteFile(dir.File("file"), "x");
    IniConfig ini;
    EXPECT_EQ(ini.WriteINI(dir.File("file/under-a-file.ini")), -1);
}

TEST(IniConfigTest, TravelPrintsEveryPair) {
    IniConfig ini;
    ini.SetValue("s", "k", "v");
    testing::internal::CaptureStdout();
    ini.Travel();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "[s]\n    k = v\n");
}

}  // namespace
