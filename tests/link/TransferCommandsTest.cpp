#include <sys/stat.h>

#include "CommandTestSupport.h"
#include "TempDir.h"
#include "WebServer.h"

namespace {

using namespace linktest;

constexpr CMDTYPE SET = CMDTYPE_SET;
constexpr CMDTYPE GET = CMDTYPE_GET;

// Kind, step, the host address in 16 bytes, the file name and its zero.
Bytes FileCommand(uint8_t kind, uint8_t step, const std::string& name) {
    Bytes b{kind, step};
    const std::string host = "127.0.0.1";
    b.insert(b.end(), host.begin(), host.end());
    b.resize(18, 0);
    b.insert(b.end(), name.begin(), name.end());
    b.push_back(0);
    return b;
}

class TransferCommandsTest : public CommandFixture {
protected:
    TransferCommandsTest() : cwd(dir.Path()) {}
    ~TransferCommandsTest() override { WebServer::getInstance()->stop(); }

    testsupport::TempDir dir;
    testsupport::ScopedWorkingDirectory cwd;
    WebServer* server = WebServer::getInstance();
};

TEST(CustomReplace, ReplacesEveryOccurrence) {
    struct Case {
        const char* str;
        const char* from;
        const char* to;
        const char* expected;
    };
    const Case cases[] = {
        {"images\\fw\\a.img", "\\", "/", "images/fw/a.img"},
        {"aaa", "a", "aa", "aaaaaa"},  // scans on after the inserted text
        {"abc", "", "x", "abc"},
        {"xyx", "x", "", "y"},
        {"", "a", "b", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DeviceCommonProtocol::customreplace_(c.str, c.from, c.to), c.expected) << c.str;
    }
}

TEST_F(TransferCommandsTest, FirmwareStartServesTheFolderAndNamesTheFile) {
    EXPECT_EQ(proto->StartUpgradeFirmWare("images\\fw\\a.img"), 0);
    EXPECT_EQ(Sent(), (std::vector<Wire>{{29, SET, FileCommand(1, 1, "a.img")}}));
    EXPECT_TRUE(server->isRunning());
    EXPECT_STREQ(server->getDocumentRoot(), "images/fw");
    EXPECT_EQ(server->m_host, "127.0.0.1");
    EXPECT_TRUE(log.Contains("<SN01> ip:127.0.0.1 pImgPath:images\\fw\\a.img"));
}

TEST_F(TransferCommandsTest, LongestFileNameFillsThePayload) {
    const std::string name(45, 'n');
    EXPECT_EQ(proto->StartUpgradeFirmWare(("fw/" + name).c_str()), 0);
    ASSERT_EQ(Sent().size(), 1u);
    EXPECT_EQ(Sent()[0].payload.size(), 64u);
    EXPECT_EQ(Sent()[0].payload.back(), 0);
}

TEST_F(TransferCommandsTest, UnservablePathsAreRefusedBeforeTheServer) {
    const std::string tooLong = "fw/" + std::string(46, 'n');
    const char* paths[] = {"a.img", "/a.img", "\\a.img", tooLong.c_str(), nullptr};
    for (const char* path : paths) {
        SCOPED_TRACE(path ? path : "null");
        EXPECT_EQ(proto->StartUpgradeFirmWare(path), -15);
    }
    const std::string jsonTooLong = "cfg/" + std::string(46, 'j');
    EXPECT_EQ(proto->SetJsonPath_P("/p.json"), -15);
    EXPECT_EQ(proto->SetJsonPath_P(jsonTooLong.c_str()), -15);
    EXPECT_TRUE(Sent().empty());
    EXPECT_FALSE(server->isRunning());
    EXPECT_TRUE(log.Contains("<SN01> pImgPath:a.img is error."));
}

TEST_F(TransferCommandsTest, FailedSendStopsTheServer) {
    io->Push(-104);
    EXPECT_EQ(proto->StartUpgradeFirmWare("fw/a.img"), -104);
    EXPECT_FALSE(server->isRunning());
    io->Push(-104);
    EXPECT_EQ(proto->SetToJsonMode_P(), -104);
    EXPECT_FALSE(server->isRunning());
}

TEST_F(TransferCommandsTest, ServerThatCannotListenGivesMinus22AndSendsNothing) {
    io->hostIp = "10.200.0.1";  // not an address of this machine
    EXPECT_EQ(proto->StartUpgradeFirmWare("fw/a.img"), -22);
    EXPECT_EQ(proto->SetToJsonMode_P(), -22);
    EXPECT_EQ(proto->SetJsonPath_P("cfg/p.json"), -22);
    EXPECT_TRUE(Sent().empty());
}

TEST_F(TransferCommandsTest, JsonModePreparesTheUpload) {
    server->m_uploadNameMarker = "old";
    EXPECT_EQ(proto->SetToJsonMode_P(), 0);
    Bytes expected{3, 1};
    const std::string host = "127.0.0.1";
    expected.insert(expected.end(), host.begin(), host.end());
    expected.resize(38, 0);
    EXPECT_EQ(Sent(), (std::vector<Wire>{{29, SET, expected}}));
    EXPECT_EQ(server->m_uploadDir, "./Config/");
    EXPECT_EQ(server->m_uploadName, "config.json");
    EXPECT_EQ(server->m_uploadNameMarker, "");
    EXPECT_TRUE(server->isRunning());
}

TEST_F(TransferCommandsTest, JsonPathNamesTheFile) {
    EXPECT_EQ(proto->SetJsonPath_P("cfg\\p.json"), 0);
    EXPECT_EQ(Sent(), (std::vector<Wire>{{29, SET, FileCommand(3, 4, "p.json")}}));
    EXPECT_STREQ(server->getDocumentRoot(), "cfg");
    EXPECT_TRUE(log.Contains("<SN01> ip:127.0.0.1 pConfigPath:cfg\\p.json"));
}

TEST_F(TransferCommandsTest, BareJsonNameStopsTheServerAndReboots) {
    EXPECT_EQ(proto->SetJsonPath_P("p.json"), -15);
    EXPECT_EQ(Sent(), (std::vector<Wire>{{18, SET, {8}}}));
    EXPECT_FALSE(server->isRunning());
}

TEST_F(TransferCommandsTest, TransferStates) {
    io->Push(0);
    io->Push(0);
    io->Push(0, Bytes{0, 200, 1, 2});
    io->Push(0, Bytes{0, 0, 4, 1, 0});
    EXPECT_EQ(proto->SetUpgradeState(UpgradeState{0x102, 0x01020304, -1}), 0);
    EXPECT_EQ(proto->SetJsonState(JsonState{5, 6, 7}), 0);
    UpgradeState up{};
    JsonState js{};
    EXPECT_EQ(proto->GetUpgradeState(up), 0);
    EXPECT_EQ(proto->GetJsonState(js), 0);
    EXPECT_EQ(up.state, 200);
    EXPECT_EQ(up.param1, 1);
    EXPECT_EQ(up.param2, 2);
    EXPECT_EQ(js.state, 4);
    EXPECT_EQ(js.param1, 1);
    EXPECT_EQ(js.param2, 0);
    EXPECT_EQ(Sent(), (std::vector<Wire>{{29, SET, {1, 2, 4, 3, 2, 1, 0xFF, 0xFF, 0xFF, 0xFF}},
                                         {29, SET, {3, 5, 6, 0, 0, 0, 7, 0, 0, 0}},
                                         {29, GET, {1, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
                                         {29, GET, {3, 2, 0, 0, 0, 0, 0, 0, 0, 0}}}));

    io->Push(-104);
    JsonState kept{9, 9, 9};
    EXPECT_EQ(proto->GetJsonState(kept), -104);
    EXPECT_EQ(kept.state, 9);
}

}  // namespace
