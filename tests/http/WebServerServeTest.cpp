#include "HttpFixture.h"

#include <sys/stat.h>

namespace httptest {
namespace {

using testsupport::WriteFile;

class ServeTest : public HttpTest {
protected:
    void SetUp() override {
        HttpTest::SetUp();
        WriteFile(m_dir.File("fw.bin"), std::string(1234, 'F'));
        ASSERT_EQ(mkdir(m_dir.File("images").c_str(), 0755), 0);
        WriteFile(m_dir.File("images/listed-name.bin"), "inner");
    }
};

TEST_F(ServeTest, ServesAFileFromTheDocumentRootAndLogsIt) {
    ASSERT_EQ(m_server->reStart(), 0);
    auto result = Client().Get("/fw.bin");
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 200);
    EXPECT_EQ(result->body, std::string(1234, 'F'));
    auto inner = Client().Get("/images/listed-name.bin");
    ASSERT_TRUE(inner);
    EXPECT_EQ(inner->body, "inner");

    // The line follows the reply; once stopped, the request is logged.
    m_server->stop();
    EXPECT_NE(LogText().find("]:GET /fw.bin 200 1234\n"), std::string::npos) << LogText();
}

TEST_F(ServeTest, FoldersAreNotListedAndPathsStayInsideTheRoot) {
    WriteFile(m_dir.File("../http-outside-root.txt"), "secret");
    ASSERT_EQ(m_server->reStart(), 0);
    for (const char* path : {"/images", "/images/", "/", "/../http-outside-root.txt", "/missing.bin"}) {
        SCOPED_TRACE(path);
        auto result = Client().Get(path);
        ASSERT_TRUE(result);
        EXPECT_NE(result->status, 200);
        EXPECT_EQ(result->body.find("listed-name"), std::string::npos);
        EXPECT_EQ(result->body.find("secret"), std::string::npos);
    }
    std::remove(m_dir.File("../http-outside-root.txt").c_str());
}

TEST_F(ServeTest, ARootThatIsTheWholeDiskIsRefused) {
    for (const char* root : {"/", "/tmp/..", "//"}) {
        SCOPED_TRACE(root);
        m_server->setDocumentRoot(root);
        EXPECT_NE(m_server->reStart(), 0);
        EXPECT_FALSE(m_server->isRunning());
        EXPECT_FALSE(Client().Get("/etc/hostname"));
    }
    EXPECT_NE(LogText().find("reStart(), start fail! result: -1\n"), std::string::npos);
}

TEST_F(ServeTest, DocumentRootTakesEffectAtTheNextRestart) {
    ASSERT_EQ(m_server->reStart(), 0);
    m_server->setDocumentRoot(m_dir.File("images").c_str());
    EXPECT_STREQ(m_server->getDocumentRoot(), m_dir.File("images").c_str());
    auto before = Client().Get("/fw.bin");
    ASSERT_TRUE(before);
    EXPECT_EQ(before->status, 200);
    ASSERT_EQ(m_server->reStart(), 0);
    auto after = Client().Get("/listed-name.bin");
    ASSERT_TRUE(after);
    EXPECT_EQ(after->status, 200);
    EXPECT_EQ(after->body, "inner");
}

}  // namespace
}  // namespace httptest
