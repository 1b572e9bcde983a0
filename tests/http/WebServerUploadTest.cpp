#include "HttpFixture.h"

#include <sys/stat.h>

#include <string>

namespace httptest {
namespace {

using testsupport::ReadFile;
using testsupport::WriteFile;

std::string Pattern(size_t size, char seed) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>(seed + i * 7);
    }
    return bytes;
}

bool Exists(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0;
}

class UploadTest : public HttpTest {
protected:
    void SetUp() override {
        HttpTest::SetUp();
        ASSERT_EQ(m_server->reStart(), 0);
    }
    std::string Target() const { return UploadDir() + "config.json"; }
};

struct RefusedCase {
    const char* label;
    std::string name;
    std::string offset;
    std::string checksum;  // empty: the body's own
    std::string length;    // empty: the body's own
    std::string body;
    std::string replyPart;
};

TEST_F(UploadTest, RefusedChunkAnswers400AndLeavesTheFileAsItWas) {
    const std::string path = UploadDir() + "config.json";
    const std::string body99(99, 'x');
    const RefusedCase cases[] = {
        {"name off by one", "config.jsom", "0", "", "", "abc", "name required"},
        {"name missing", "", "0", "", "", "abc", "name required"},
        {"declared 100, sent 99", "config.json", "0", "", "100", body99, "check (" + path + ") failed: 100 99"},
        {"byte sum differs", "config.json", "0", "1", "", "abc", "check (" + path + ") failed: 38 1"},
        {"offset beyond the end", "config.json", "4", "", "", "abc", "beyond end"},
        {"offset not a number", "config.json", "4k", "", "", "abc", "invalid"},
        {"offset missing", "config.json", "", "", "", "abc", "invalid"},
        {"offset negative", "config.json", "-1", "", "", "abc", "invalid"},
        {"offset beyond 64 bits", "config.json", "9223372036854775808", "", "", "abc", "offset (" + path + ") invalid"},
        // The bytes sum to 10: only the length is wrong, cut to 32 bits it would read 4.
        {"length beyond 32 bits", "config.json", "0", "", "4294967300", "\x01\x02\x03\x04",
         "fileDatalength (" + path + ") invalid"},
        {"length beyond signed 32 bits", "config.json", "0", "", "2147483651", "abc", "fileDatalength ("},
        {"length negative", "config.json", "0", "", "-3", "abc", "fileDatalength ("},
        {"length not a number", "config.json", "0", "", "3x", "abc", "fileDatalength ("},
        {"length after a blank", "config.json", "0", "", " 3", "abc", "fileDatalength ("},
        // Cut to its low byte, each of these would match the body's sum of 0xFF.
        {"checksum beyond 32 bits", "config.json", "0", "4294967551", "", "\xFF", "checksum (" + path + ") invalid"},
        {"checksum negative", "config.json", "0", "-1", "", "\xFF", "checksum ("},
        {"checksum not a number", "config.json", "0", "255abc", "", "\xFF", "checksum ("},
    };
    for (const RefusedCase& c : cases) {
        SCOPED_TRACE(c.label);
        WriteFile(path, "OLD");
        const std::string checksum = c.checksum.empty() ? Checksum(c.body) : c.checksum;
        const std::string length = c.length.empty() ? std::to_string(c.body.size()) : c.length;
        auto result = UploadWith(c.name, c.offset, checksum, length, c.body);
        ASSERT_TRUE(result);
        EXPECT_EQ(result->status, 400);
        EXPECT_NE(result->body.find(c.replyPart), std::string::npos) << result->body;
        EXPECT_EQ(ReadFile(path), "OLD");
    }
    EXPECT_NE(LogText().find("expect file name:config.json\n"), std::string::npos);
    EXPECT_NE(LogText().find("check is failed. fileLength:100, 99 .\n"), std::string::npos);
    EXPECT_NE(LogText().find("check is failed. checksum:38, 1.\n"), std::string::npos);
}

// The largest value of each field is read whole and meets its own check.
TEST_F(UploadTest, LargestNumbersReachTheirChecks) {
    const std::string path = UploadDir() + "config.json";
    struct Case {
        const char* label;
        std::string offset;
        std::string checksum;
        std::string length;
        std::string body;
        int status;
        std::string reply;
    };
    const Case cases[] = {
        {"checksum of 32 bits", "0", "4294967295", "1", "\xFF", 200, "1"},
        {"signed 32-bit length", "0", "294", "2147483647", "abc", 400, "check (" + path + ") failed: 2147483647 3 "},
        {"64-bit offset", "9223372036854775807", "294", "3", "abc", 400, "offset (" + path + ") beyond end: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        WriteFile(path, "OLD");
        auto result = UploadWith("config.json", c.offset, c.checksum, c.length, c.body);
        ASSERT_TRUE(result);
        EXPECT_EQ(result->status, c.status);
        EXPECT_EQ(result->body.rfind(c.reply, 0), 0u) << result->body;
        EXPECT_EQ(ReadFile(path), c.status == 200 ? c.body : "OLD");
    }
}

TEST_F(UploadTest, ByteSumIsComparedInItsLowEightBits) {
    const std::string body = "\xFF\xFF\x01";  // sum 0x1FF
    auto result = UploadWith("config.json", "0", "255", "3", body);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);
    EXPECT_EQ(result->body, "3");
    EXPECT_EQ(ReadFile(Target()), body);
}

TEST_F(UploadTest, OffsetZeroReplacesTheFile) {
    WriteFile(Target(), std::string(10000, 'o'));
    auto result = Upload("config.json", "0", "{\"a\":1}");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);
    EXPECT_EQ(result->body, "7");
    EXPECT_EQ(ReadFile(Target()), "{\"a\":1}");
    const std::string log = LogText();
    EXPECT_NE(log.find("name:config.json,fileDatalenStr:7,checkSumStr:"), std::string::npos);
    EXPECT_NE(log.find("save upload file:config.json.\n"), std::string::npos);
}

TEST_F(UploadTest, ChunksAtTheirOffsetsBuildTheFileAndARepeatLeavesItIntact) {
    const std::string first = Pattern(4096, 'a');
    const std::string second = Pattern(1000, 'q');
    auto one = Upload("config.json", "0", first);
    ASSERT_TRUE(one);
    EXPECT_EQ(one->status, 200);
    EXPECT_EQ(one->body, "4096");
    auto two = Upload("config.json", "4096", second);
    ASSERT_TRUE(two);
    EXPECT_EQ(two->status, 200);
    EXPECT_EQ(ReadFile(Target()), first + second);

    // The camera resends a chunk whose reply it missed.
    auto again = Upload("config.json", "0x1000", second);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->status, 200);
    EXPECT_EQ(ReadFile(Target()), first + second);
}

TEST_F(UploadTest, MissingUploadFolderGivesTheOpenReply) {
    m_server->m_uploadDir = m_dir.Path() + "/absent/";
    ASSERT_EQ(m_server->reStart(), 0);
    auto result = Upload("config.json", "0", "abc");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 400);
    const std::string path = m_dir.Path() + "/absent/config.json";
    EXPECT_EQ(result->body, "open(" + path + "): 2");
    EXPECT_NE(LogText().find("file:" + path + " open is failed(2).\n"), std::string::npos);
}

TEST_F(UploadTest, AShortWriteIsRefused) {
    m_server->m_uploadDir = "/dev/";
    m_server->m_uploadName = "full";
    ASSERT_EQ(m_server->reStart(), 0);
    auto result = Upload("full", "0", "abc");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 400);
    EXPECT_EQ(result->body.rfind("write(/dev/full): ", 0), 0u) << result->body;
}

TEST_F(UploadTest, NamesThatWouldLeaveTheUploadFolderAreRefused) {
    const char* const names[] = {"../escape.json", "sub/inner.json", "a..b", "/abs.json"};
    ASSERT_EQ(mkdir((UploadDir() + "sub").c_str(), 0755), 0);
    for (const char* name : names) {
        SCOPED_TRACE(name);
        m_server->m_uploadName = name;
        ASSERT_EQ(m_server->reStart(), 0);
        auto result = Upload(name, "0", "abc");
        ASSERT_TRUE(result);
        EXPECT_EQ(result->status, 400);
    }
    EXPECT_FALSE(Exists(m_dir.Path() + "/escape.json"));
    EXPECT_FALSE(Exists(UploadDir() + "sub/inner.json"));
    EXPECT_FALSE(Exists(UploadDir() + "a..b"));
}

TEST_F(UploadTest, MarkerIsLeftOutOfTheStoredName) {
    struct Case {
        std::string name;
        std::string marker;
        std::string stored;
    };
    const Case cases[] = {
        {"rangeOffset_ABCDEFGHIJKLMNOPQ_3.bin", "ABCDEFGHIJKLMNOPQ", "rangeOffset_3.bin"},
        {"calib_XY_1.bin", "XY", "calib_1.bin"},
        {"MARKrest.bin", "MARK", "MARKrest.bin"},  // at the start: kept whole
        {"rest_MARK", "MARK", "rest_MARK"},        // at the end: kept whole
        {"plain.bin", "", "plain.bin"},
        {"other.bin", "absent", "other.bin"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_server->m_uploadName = c.name;
        m_server->m_uploadNameMarker = c.marker;
        ASSERT_EQ(m_server->reStart(), 0);
        auto result = Upload(c.name, "0", "data");
        ASSERT_TRUE(result);
        EXPECT_EQ(result->status, 200);
        EXPECT_EQ(ReadFile(UploadDir() + c.stored), "data");
    }
}

TEST_F(UploadTest, OversizedRequestIsRefusedUnread) {
    const std::string body(4 * 1024 * 1024, 'z');
    auto result = Upload("config.json", "0", body);
    if (result) {
        EXPECT_NE(result->status, 200);
    }
    EXPECT_FALSE(Exists(Target()));
    // Still serving.
    auto next = Upload("config.json", "0", "ok");
    ASSERT_TRUE(next);
    EXPECT_EQ(next->status, 200);
}

TEST_F(UploadTest, SettingsTakeEffectAtTheNextRestart) {
    m_server->m_uploadName = "other.json";
    auto before = Upload("config.json", "0", "old");
    ASSERT_TRUE(before);
    EXPECT_EQ(before->status, 200);
    ASSERT_EQ(m_server->reStart(), 0);
    auto refused = Upload("config.json", "0", "new");
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 400);
    auto after = Upload("other.json", "0", "new");
    ASSERT_TRUE(after);
    EXPECT_EQ(after->status, 200);
}

}  // namespace
}  // namespace httptest
