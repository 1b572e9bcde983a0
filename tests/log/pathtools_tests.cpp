#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <string>

#include "TempDir.h"
#include "pathtools.h"

namespace {

struct TextCase {
    std::string input;
    char slash;
    std::string expected;
};

std::ostream& operator<<(std::ostream& out, const TextCase& c) {
    return out << "\"" << c.input << "\" slash '" << (c.slash != 0 ? c.slash : '0') << "'";
}

class CompactTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(CompactTest, ResolvesDotComponents) {
    EXPECT_EQ(GetParam().expected, Path_Compact(GetParam().input, GetParam().slash));
}

INSTANTIATE_TEST_SUITE_P(
    Paths, CompactTest,
    ::testing::Values(TextCase{"/a/b/../c", 0, "/a/c"}, TextCase{"a/../c", 0, "c"}, TextCase{"/a/b/..", 0, "/a/"},
                      TextCase{"/../x", 0, ""}, TextCase{"./x/y", 0, "x/y"}, TextCase{"a/./b", 0, "a/b"},
                      TextCase{"a/././b", 0, "a/b"}, TextCase{"/a/.", 0, "/a/"}, TextCase{"a/b/../../c", 0, "c"},
                      TextCase{"/a/b/./../c", 0, "/a/c"}, TextCase{"/a/../..", 0, ""}, TextCase{"/a/..", 0, "/"},
                      TextCase{"a/..", 0, ""}, TextCase{"../x", 0, "../x"}, TextCase{"a/..b/c", 0, "a/..b/c"},
                      TextCase{"a\\b\\..\\c", 0, "a/c"}, TextCase{"/a/b/../c", '\\', "\\a\\c"},
                      TextCase{"x/y", 0, "x/y"}, TextCase{"", 0, ""}));

class FixSlashesTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(FixSlashesTest, ReplacesBothSlashKinds) {
    EXPECT_EQ(GetParam().expected, Path_FixSlashes(GetParam().input, GetParam().slash));
}

INSTANTIATE_TEST_SUITE_P(Paths, FixSlashesTest,
                         ::testing::Values(TextCase{"a\\b/c", 0, "a/b/c"}, TextCase{"a\\b/c", '\\', "a\\b\\c"},
                                           TextCase{"abc", 0, "abc"}, TextCase{"", 0, ""}));

class StripFilenameTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(StripFilenameTest, KeepsThePartBeforeTheLastSlash) {
    EXPECT_EQ(GetParam().expected, Path_StripFilename(GetParam().input, GetParam().slash));
}

INSTANTIATE_TEST_SUITE_P(Paths, StripFilenameTest,
                         ::testing::Values(TextCase{"/a/b/c.txt", 0, "/a/b"}, TextCase{"name", 0, "name"},
                                           TextCase{"/name", 0, ""}, TextCase{"a/b/", 0, "a/b"},
                                           TextCase{"a\\b", '\\', "a"}, TextCase{"a\\b", 0, "a\\b"},
                                           TextCase{"", 0, ""}));

struct PairCase {
    std::string first;
    std::string second;
    char slash;
    std::string expected;
};

std::ostream& operator<<(std::ostream& out, const PairCase& c) {
    return out << "\"" << c.first << "\", \"" << c.second << "\" slash '" << (c.slash != 0 ? c.slash : '0') << "'";
}

class JoinTest : public ::testing::TestWithParam<PairCase> {};

TEST_P(JoinTest, PutsOneSlashBetween) {
    EXPECT_EQ(GetParam().expected, Path_Join(GetParam().first, GetParam().second, GetParam().slash));
}

INSTANTIATE_TEST_SUITE_P(Paths, JoinTest,
                         ::testing::Values(PairCase{"/a", "b", 0, "/a/b"}, PairCase{"/a/", "b", 0, "/a/b"},
                                           PairCase{"/a\\", "b", 0, "/a/b"}, PairCase{"/a//", "b", 0, "/a//b"},
                                           PairCase{"", "b", 0, "/b"}, PairCase{"a", "b", '\\', "a\\b"}));

class MakeAbsoluteTest : public ::testing::TestWithParam<PairCase> {};

TEST_P(MakeAbsoluteTest, ResolvesAgainstAnAbsoluteBaseOnly) {
    EXPECT_EQ(GetParam().expected, Path_MakeAbsolute(GetParam().first, GetParam().second, GetParam().slash));
}

INSTANTIATE_TEST_SUITE_P(Paths, MakeAbsoluteTest,
                         ::testing::Values(PairCase{"b/c", "/a", 0, "/a/b/c"}, PairCase{"x", "/a/", 0, "/a/x"},
                                           PairCase{"./Config/", "/h/.config/Quelta", 0, "/h/.config/Quelta/Config/"},
                                           PairCase{"../b", "/a/c", 0, "/a/b"},
                                           PairCase{"/x/../y", "rel", 0, "/x/../y"}, PairCase{"C:x", "rel", 0, "C:x"},
                                           PairCase{"b", "rel", 0, ""}, PairCase{"b", "", 0, ""},
                                           PairCase{"../../x", "/a", 0, ""}));

struct AbsoluteCase {
    std::string path;
    bool absolute;
};

std::ostream& operator<<(std::ostream& out, const AbsoluteCase& c) { return out << "\"" << c.path << "\""; }

class IsAbsoluteTest : public ::testing::TestWithParam<AbsoluteCase> {};

TEST_P(IsAbsoluteTest, KnowsRootsAndDrives) {
    EXPECT_EQ(GetParam().absolute, Path_IsAbsolute(GetParam().path)) << GetParam().path;
}

INSTANTIATE_TEST_SUITE_P(Paths, IsAbsoluteTest,
                         ::testing::Values(AbsoluteCase{"", false}, AbsoluteCase{"/x", true}, AbsoluteCase{"\\x", true},
                                           AbsoluteCase{"C:\\x", true}, AbsoluteCase{"a:b", true},
                                           AbsoluteCase{"a/b", false}, AbsoluteCase{"./a", false}));

TEST(PathSlash, IsTheForwardSlash) { EXPECT_EQ('/', Path_GetSlash()); }

TEST(WorkingDirectory, IsSetAndReadBack) {
    testsupport::TempDir dir;
    const std::string before = Path_GetWorkingDirectory();
    ASSERT_FALSE(before.empty());

    ASSERT_TRUE(Path_SetWorkingDirectory(dir.Path()));
    char* real = realpath(dir.Path().c_str(), nullptr);
    ASSERT_NE(nullptr, real);
    EXPECT_EQ(std::string(real), Path_GetWorkingDirectory());
    free(real);

    EXPECT_FALSE(Path_SetWorkingDirectory(dir.File("missing")));
    EXPECT_TRUE(Path_SetWorkingDirectory(before));
}

TEST(Directories, ExistAndAreCreatedOneLevelAtATime) {
    testsupport::TempDir dir;
    testsupport::WriteFile(dir.File("plain"), "x");

    EXPECT_FALSE(IsDirectoryExist(nullptr));
    EXPECT_FALSE(CreateDirectory_(nullptr));
    EXPECT_TRUE(IsDirectoryExist(dir.Path().c_str()));
    EXPECT_FALSE(IsDirectoryExist(dir.File("plain").c_str()));
    EXPECT_FALSE(IsDirectoryExist(dir.File("new").c_str()));

    EXPECT_TRUE(CreateDirectory_(dir.File("new").c_str()));
    EXPECT_TRUE(IsDirectoryExist(dir.File("new").c_str()));
    EXPECT_FALSE(CreateDirectory_(dir.File("new").c_str()));
    EXPECT_FALSE(CreateDirectory_(dir.File("a/b").c_str()));
    EXPECT_FALSE(CreateDirectory_(dir.File("plain/sub").c_str()));
}

}  // namespace
