#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "TempDir.h"
#include "log.h"

namespace {

const std::string kTime = R"(\d{2}:\d{2}:\d{2}-\d{3} )";
const std::string kDateLine = kTime + R"(\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}-\d{3})";
constexpr off_t kLargestLogBytes = 10485759;

off_t FileSize(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? info.st_size : -1;
}

// The bytes of a file from an offset on, so that a test never reads a large file whole.
std::string ReadFrom(const std::string& path, off_t offset) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(offset);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

bool StartsWithLine(const std::string& text, const std::string& pattern) {
    return std::regex_search(text, std::regex("^" + pattern + "\n"));
}

class LogFileTest : public ::testing::Test {
protected:
    void TearDown() override { LogCustom::Release(); }

    std::string LogPath(const std::string& name) const { return m_dir.File(name + ".txt"); }

    // Opens the log and writes one line, so that the date line, which only the first
    // line of a process gets, is behind the returned offset.
    off_t OpenPastDateLine(const std::string& name) {
        EXPECT_EQ(0, LogCustom::Initance(m_dir.Path(), name, name, false));
        LogCustom::Printf("warm-up\n");
        return FileSize(LogPath(name));
    }

    testsupport::TempDir m_dir;
};

struct RotationCase {
    const char* name;
    off_t sizeBefore;
    bool rotates;
};

void PrintTo(const RotationCase& c, std::ostream* out) { *out << c.name; }

class LogRotation : public LogFileTest, public ::testing::WithParamInterface<RotationCase> {};

TEST_P(LogRotation, MovesAFullFileToTheBackupBeforeTheNextLine) {
    const RotationCase& c = GetParam();
    const std::string path = LogPath("rot");
    const std::string backup = m_dir.File("bakrot.txt");
    testsupport::WriteFile(backup, "older backup");
    testsupport::WriteFile(path, "");
    ASSERT_EQ(0, truncate(path.c_str(), c.sizeBefore));
    ASSERT_EQ(0, LogCustom::Initance(m_dir.Path(), "rot", "rot", false));

    LogCustom::Printf("hello\n");

    if (c.rotates) {
        EXPECT_EQ(c.sizeBefore, FileSize(backup));
        EXPECT_TRUE(StartsWithLine(testsupport::ReadFile(path), kTime + "hello")) << testsupport::ReadFile(path);
    } else {
        EXPECT_EQ("older backup", testsupport::ReadFile(backup));
        EXPECT_TRUE(StartsWithLine(ReadFrom(path, c.sizeBefore), kTime + "hello"));

        // Now past the limit, so the next line starts a new file.
        const off_t grown = FileSize(path);
        LogCustom::Printf("next\n");
        EXPECT_EQ(grown, FileSize(backup));
        EXPECT_TRUE(StartsWithLine(testsupport::ReadFile(path), kTime + "next"));
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, LogRotation,
                         ::testing::Values(RotationCase{"AtTheLimit", kLargestLogBytes, false},
                                           RotationCase{"OneBytePast", kLargestLogBytes + 1, true}),
                         [](const ::testing::TestParamInfo<RotationCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(LogFileTest, FullFileThatCannotBeMovedIsStartedAfresh) {
    const std::string path = LogPath("stuck");
    // A backup name held by a folder with content: neither deleted nor replaced.
    ASSERT_EQ(0, mkdir(m_dir.File("bakstuck.txt").c_str(), 0777));
    testsupport::WriteFile(m_dir.File("bakstuck.txt/keep"), "x");
    testsupport::WriteFile(path, "");
    ASSERT_EQ(0, truncate(path.c_str(), kLargestLogBytes + 1));
    ASSERT_EQ(0, LogCustom::Initance(m_dir.Path(), "stuck", "stuck", false));

    LogCustom::Printf("lost\n");
    EXPECT_EQ(0, FileSize(path));

    LogCustom::Printf("kept\n");
    EXPECT_TRUE(StartsWithLine(testsupport::ReadFile(path), kTime + "kept"));
}

struct CutCase {
    const char* name;
    size_t letters;
    std::string expectedLine;
};

void PrintTo(const CutCase& c, std::ostream* out) { *out << c.name; }

class LogMessageLength : public LogFileTest, public ::testing::WithParamInterface<CutCase> {};

TEST_P(LogMessageLength, KeepsAtMost1023Characters) {
    const off_t mark = OpenPastDateLine("cut");

    LogCustom::Printf("%s\n", std::string(GetParam().letters, 'x').c_str());

    const std::string written = ReadFrom(LogPath("cut"), mark);
    ASSERT_GE(written.size(), 13u);
    EXPECT_TRUE(std::regex_match(written.substr(0, 13), std::regex(kTime)));
    EXPECT_EQ(GetParam().expectedLine, written.substr(13));
}

INSTANTIATE_TEST_SUITE_P(Lengths, LogMessageLength,
                         ::testing::Values(CutCase{"FitsWithLineFeed", 1022, std::string(1022, 'x') + "\n"},
                                           CutCase{"LosesLineFeed", 1023, std::string(1023, 'x')},
                                           CutCase{"LosesItsEnd", 5000, std::string(1023, 'x')}),
                         [](const ::testing::TestParamInfo<CutCase>& info) { return std::string(info.param.name); });

// Logs two lines, reopens the log and logs a third; gives 0 when the file holds exactly
// one date line, right after the first line, and says on stderr what is wrong otherwise.
int LogTwiceReopenAndCheck() {
    testsupport::TempDir dir;
    int failures = LogCustom::Initance(dir.Path(), "date", "date", false);
    LogCustom::Printf("first\n");
    LogCustom::Printf("second\n");
    LogCustom::Release();
    // Opening again does not bring the date line back.
    failures += LogCustom::Initance(dir.Path(), "date", "date", false);
    LogCustom::Printf("third\n");
    LogCustom::Release();

    const std::string content = testsupport::ReadFile(dir.File("date.txt"));
    const std::regex expected(kTime + "first\n" + kDateLine + "\n" + kTime + "second\n" + kTime + "third\n");
    if (failures != 0 || !std::regex_match(content, expected)) {
        fprintf(stderr, "Initance failures %d, file:\n%s", failures, content.c_str());
        return 1;
    }
    return 0;
}

// The date line is spent once per process, so the check runs in a fresh one: this death
// test style forks and re-executes the test binary for this test alone.
TEST(LogDateLine, FollowsOnlyTheFirstLineOfAProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(exit(LogTwiceReopenAndCheck()), ::testing::ExitedWithCode(0), "");
}

TEST_F(LogFileTest, SecondInitanceKeepsTheFirstLog) {
    testsupport::TempDir other;
    ASSERT_EQ(0, LogCustom::Initance(m_dir.Path(), "first", "first", false));
    EXPECT_EQ(0, LogCustom::Initance(other.Path(), "second", "second", true));

    testing::internal::CaptureStdout();
    LogCustom::Printf("where\n");
    EXPECT_EQ("", testing::internal::GetCapturedStdout());

    EXPECT_NE(std::string::npos, testsupport::ReadFile(LogPath("first")).find(" where\n"));
    EXPECT_EQ(-1, FileSize(other.File("second.txt")));
    EXPECT_EQ(-1, FileSize(m_dir.File("second.txt")));
}

TEST_F(LogFileTest, MissingFolderLevelIsCreated) {
    const std::string folder = m_dir.File("logs");
    ASSERT_EQ(0, LogCustom::Initance(folder, "made", "made", false));
    LogCustom::Printf("in a new folder\n");
    EXPECT_NE(std::string::npos, testsupport::ReadFile(folder + "/made.txt").find(" in a new folder\n"));
}

struct OpenFailureCase {
    const char* name;
    // Prepares the temporary folder and gives the log folder to use.
    std::function<std::string(const testsupport::TempDir&)> prepare;
    int expected;
    // What the failure tells the console, given the log folder.
    std::function<std::string(const std::string&)> consoleText;
};

void PrintTo(const OpenFailureCase& c, std::ostream* out) { *out << c.name; }

class LogOpenFailure : public LogFileTest, public ::testing::WithParamInterface<OpenFailureCase> {};

TEST_P(LogOpenFailure, LeavesNoLogButKeepsTheConsoleFlag) {
    const std::string folder = GetParam().prepare(m_dir);

    testing::internal::CaptureStdout();
    const int result = LogCustom::Initance(folder, "busy", "busy", true);
    LogCustom::Printf("console only\n");
    const std::string console = testing::internal::GetCapturedStdout();

    EXPECT_EQ(GetParam().expected, result);
    EXPECT_NE(std::string::npos, console.find(GetParam().consoleText(folder))) << console;
    EXPECT_TRUE(std::regex_search(console, std::regex("(^|\n)" + kTime + "console only\n$"))) << console;

    // No instance remains, so a good folder opens.
    testsupport::TempDir good;
    EXPECT_EQ(0, LogCustom::Initance(good.Path(), "busy", "busy", false));
}

INSTANTIATE_TEST_SUITE_P(
    Causes, LogOpenFailure,
    ::testing::Values(
        OpenFailureCase{"FolderUnderAFile",
                        [](const testsupport::TempDir& dir) {
                            testsupport::WriteFile(dir.File("plain"), "x");
                            return dir.File("plain/logs");
                        },
                        1,
                        [](const std::string& folder) { return "CreateDirectory " + folder + " failed errorcode:"; }},
        OpenFailureCase{"TwoMissingLevels", [](const testsupport::TempDir& dir) { return dir.File("a/b"); }, 1,
                        [](const std::string& folder) { return "CreateDirectory " + folder + " failed errorcode:"; }},
        OpenFailureCase{"FileNameHeldByAFolder",
                        [](const testsupport::TempDir& dir) {
                            mkdir(dir.File("busy.txt").c_str(), 0777);
                            return dir.Path();
                        },
                        2,
                        [](const std::string& folder) { return "fopen_s " + folder + "/busy.txt failed errorcode:"; }}),
    [](const ::testing::TestParamInfo<OpenFailureCase>& info) { return std::string(info.param.name); });

TEST_F(LogFileTest, MessagesBeforeInitanceAreDropped) {
    testsupport::WriteFile(LogPath("early"), "before\n");

    testing::internal::CaptureStdout();
    LogCustom::Printf("too early\n");
    EXPECT_EQ("", testing::internal::GetCapturedStdout());

    EXPECT_EQ("before\n", testsupport::ReadFile(LogPath("early")));
}

TEST_F(LogFileTest, MessagesAfterReleaseAreDropped) {
    OpenPastDateLine("late");
    LogCustom::Printf("last\n");
    LogCustom::Release();
    const std::string closed = testsupport::ReadFile(LogPath("late"));

    LogCustom::Printf("too late\n");

    EXPECT_EQ(closed, testsupport::ReadFile(LogPath("late")));
    EXPECT_EQ(std::string::npos, closed.find("too late"));
}

TEST_F(LogFileTest, ConsoleFlagEchoesEachMessage) {
    ASSERT_EQ(0, LogCustom::Initance(m_dir.Path(), "echo", "echo", true));

    testing::internal::CaptureStdout();
    LogCustom::Printf("value %d\n", 42);
    const std::string console = testing::internal::GetCapturedStdout();

    EXPECT_TRUE(std::regex_match(console, std::regex(kTime + "value 42\n"))) << console;
    EXPECT_NE(std::string::npos, testsupport::ReadFile(LogPath("echo")).find(" value 42\n"));

    // After Release the console still gets the message, the file does not.
    LogCustom::Release();
    const std::string closed = testsupport::ReadFile(LogPath("echo"));
    testing::internal::CaptureStdout();
    LogCustom::Printf("after\n");
    EXPECT_TRUE(std::regex_match(testing::internal::GetCapturedStdout(), std::regex(kTime + "after\n")));
    EXPECT_EQ(closed, testsupport::ReadFile(LogPath("echo")));
}

TEST_F(LogFileTest, WithoutConsoleFlagNothingIsPrinted) {
    ASSERT_EQ(0, LogCustom::Initance(m_dir.Path(), "quiet", "quiet", false));
    testing::internal::CaptureStdout();
    LogCustom::Printf("value %d\n", 42);
    EXPECT_EQ("", testing::internal::GetCapturedStdout());
}

TEST_F(LogFileTest, ConcurrentMessagesStayWholeLines) {
    constexpr int kThreads = 8;
    constexpr int kLinesEach = 300;
    const off_t mark = OpenPastDateLine("threads");
    const std::string filler(200, 'x');

    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &filler] {
            for (int i = 0; i < kLinesEach; ++i) {
                LogCustom::Printf("[t%d] %d %s\n", t, i, filler.c_str());
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }

    const std::regex line(kTime + R"(\[t(\d)\] (\d+) x{200})");
    std::vector<int> next(kThreads, 0);
    const std::vector<std::string> lines = Lines(ReadFrom(LogPath("threads"), mark));
    ASSERT_EQ(static_cast<size_t>(kThreads * kLinesEach), lines.size());
    for (const std::string& text : lines) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(text, match, line)) << text;
        const int thread = std::stoi(match[1]);
        EXPECT_EQ(next[thread]++, std::stoi(match[2]));
    }
}

}  // namespace
