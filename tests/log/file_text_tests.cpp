#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "FileText.h"
#include "TempDir.h"

namespace {

TEST(FileText, ReadsTheWholeTextUpToItsBound) {
    testsupport::TempDir dir;
    const std::string text(10000, 'q');  // more than one chunk of the reader
    testsupport::WriteFile(dir.File("f"), text);
    struct Case {
        size_t bound;
        FileTextResult result;
    };
    for (const Case& c : {Case{text.size() + 1, FileTextResult::kRead}, Case{text.size(), FileTextResult::kRead},
                          Case{text.size() - 1, FileTextResult::kTooLarge}}) {
        std::string got = "old";
        EXPECT_EQ(ReadFileText(dir.File("f"), got, c.bound), c.result) << c.bound;
        if (c.result == FileTextResult::kRead) {
            EXPECT_EQ(got, text) << c.bound;
        }
    }
    std::string got;
    EXPECT_EQ(ReadFileText(dir.File("missing"), got), FileTextResult::kOpenFailed);
    ASSERT_EQ(mkdir(dir.File("folder").c_str(), 0755), 0);
    EXPECT_EQ(ReadFileText(dir.File("folder"), got), FileTextResult::kReadFailed);
}

TEST(FileText, WriteReplacesTheFileOrFails) {
    testsupport::TempDir dir;
    testsupport::WriteFile(dir.File("f"), std::string(100, 'o'));
    ASSERT_TRUE(WriteFileText(dir.File("f"), "new"));
    EXPECT_EQ(testsupport::ReadFile(dir.File("f")), "new");
    EXPECT_FALSE(WriteFileText(dir.File("f/under"), "x")) << "a path under a regular file";
    EXPECT_FALSE(WriteFileText("/dev/full", "x")) << "the close must report the failed flush";
}

}  // namespace
