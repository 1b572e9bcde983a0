#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "TempDir.h"
#include "log.h"

namespace {

constexpr unsigned char kUntouched = 0xA5;
constexpr size_t kGuardBytes = 16;

struct ReadCase {
    const char* name;
    size_t fileSize;
    unsigned int capacity;
    bool expectRead;
};

void PrintTo(const ReadCase& c, std::ostream* out) { *out << c.name; }

class ReadDataTest : public ::testing::TestWithParam<ReadCase> {
protected:
    testsupport::TempDir m_dir;
};

// The file's bytes, different from the guard so that a stray write shows.
std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>(i % 251);
    }
    return bytes;
}

TEST_P(ReadDataTest, ReadsOnlyAFileThatFits) {
    const ReadCase& c = GetParam();
    const std::string path = m_dir.File("data.bin");
    const std::string bytes = Pattern(c.fileSize);
    testsupport::WriteFile(path, bytes);
    std::vector<unsigned char> buffer(c.capacity + kGuardBytes, kUntouched);
    unsigned int len = c.capacity;

    const bool read = ReadData(path.c_str(), buffer.data(), len);

    ASSERT_EQ(c.expectRead, read);
    if (c.expectRead) {
        EXPECT_EQ(c.fileSize, len);
        EXPECT_EQ(bytes, std::string(buffer.begin(), buffer.begin() + c.fileSize));
    } else {
        EXPECT_EQ(c.capacity, len);
    }
    for (size_t i = c.expectRead ? c.fileSize : 0; i < buffer.size(); ++i) {
        ASSERT_EQ(kUntouched, buffer[i]) << "byte " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, ReadDataTest,
                         ::testing::Values(ReadCase{"ExactCapacity", 64, 64, true}, ReadCase{"Smaller", 10, 64, true},
                                           ReadCase{"EmptyFile", 0, 64, true},
                                           ReadCase{"OneByteTooMany", 65, 64, false},
                                           ReadCase{"NoCapacity", 1, 0, false}),
                         [](const ::testing::TestParamInfo<ReadCase>& info) { return std::string(info.param.name); });

struct BadPathCase {
    const char* name;
    bool nullPath;
    const char* fileName;
};

void PrintTo(const BadPathCase& c, std::ostream* out) { *out << c.name; }

class ReadDataBadPath : public ::testing::TestWithParam<BadPathCase> {
protected:
    testsupport::TempDir m_dir;
};

TEST_P(ReadDataBadPath, FailsWithoutTouchingTheBuffer) {
    mkdir(m_dir.File("folder").c_str(), 0777);
    const std::string path = m_dir.File(GetParam().fileName);
    std::vector<unsigned char> buffer(32, kUntouched);
    unsigned int len = 32;

    EXPECT_FALSE(ReadData(GetParam().nullPath ? nullptr : path.c_str(), buffer.data(), len));

    EXPECT_EQ(32u, len);
    EXPECT_EQ(std::vector<unsigned char>(32, kUntouched), buffer);
}

INSTANTIATE_TEST_SUITE_P(Paths, ReadDataBadPath,
                         ::testing::Values(BadPathCase{"NullPath", true, ""},
                                           BadPathCase{"MissingFile", false, "missing.bin"},
                                           // A folder opens, but has no size to read.
                                           BadPathCase{"Folder", false, "folder"}),
                         [](const ::testing::TestParamInfo<BadPathCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(ReadDataNullBuffer, Fails) {
    testsupport::TempDir dir;
    testsupport::WriteFile(dir.File("data.bin"), "abc");
    unsigned int len = 16;
    EXPECT_FALSE(ReadData(dir.File("data.bin").c_str(), nullptr, len));
    EXPECT_EQ(16u, len);
}

}  // namespace
