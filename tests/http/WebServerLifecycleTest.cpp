#include "HttpFixture.h"

#include <atomic>
#include <csignal>
#include <thread>
#include <vector>

namespace httptest {
namespace {

using testsupport::WriteFile;

class LifecycleTest : public HttpTest {
protected:
    void SetUp() override {
        HttpTest::SetUp();
        WriteFile(m_dir.File("fw.bin"), "image");
    }
    bool Serves(unsigned short port = kTestPort) const {
        auto result = Client(port).Get("/fw.bin");
        return result && result->status == 200 && result->body == "image";
    }
};

TEST_F(LifecycleTest, StopEndsServingBeforeItReturns) {
    ASSERT_EQ(m_server->reStart(), 0);
    EXPECT_TRUE(m_server->isRunning());
    EXPECT_TRUE(Serves());
    m_server->stop();
    EXPECT_FALSE(m_server->isRunning());
    EXPECT_FALSE(Client().Get("/fw.bin"));
    m_server->stop();  // a second stop is harmless
    ASSERT_EQ(m_server->reStart(), 0);
    EXPECT_TRUE(Serves());
}

TEST_F(LifecycleTest, StartWhileRunningKeepsServing) {
    ASSERT_EQ(m_server->start(), 0);
    EXPECT_EQ(m_server->start(), 0);
    EXPECT_TRUE(Serves());
}

TEST_F(LifecycleTest, SecondInstanceOnTheSamePortFailsAndLeavesItStopped) {
    WebServer other(0);
    other.setPort(kTestPort);
    other.m_host = kLoopback;
    other.setDocumentRoot(m_dir.Path().c_str());

    ASSERT_EQ(m_server->reStart(), 0);
    EXPECT_NE(other.reStart(), 0);
    EXPECT_FALSE(other.isRunning());
    EXPECT_NE(other.start(), 0);  // not taken for running after the failure
    EXPECT_TRUE(Serves());
    const std::string log = LogText();
    EXPECT_NE(log.find("Cannot listen on http://127.0.0.1:18080. Use http://ADDR:PORT or :PORT\n"), std::string::npos);
    EXPECT_NE(log.find("updateServerParameters fail! result: -1\n"), std::string::npos);

    m_server->stop();
    EXPECT_EQ(other.reStart(), 0);
    EXPECT_TRUE(Serves());
}

TEST_F(LifecycleTest, RestartsWhileAClientKeepsRequesting) {
    ASSERT_EQ(m_server->reStart(), 0);
    std::atomic<bool> done{false};
    std::thread client([&] {
        while (!done) {
            Serves();
        }
    });
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(m_server->reStart(), 0) << "restart " << i;
    }
    done = true;
    client.join();
    EXPECT_TRUE(Serves());
}

TEST_F(LifecycleTest, ConcurrentRestartsAndStopsAreSerialised) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([this, t] {
            for (int i = 0; i < 10; ++i) {
                if ((i + t) % 3 == 0) {
                    m_server->stop();
                } else {
                    EXPECT_EQ(m_server->reStart(), 0);
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    ASSERT_EQ(m_server->reStart(), 0);
    EXPECT_TRUE(Serves());
}

TEST_F(LifecycleTest, EmptyHostListensOnEveryAddress) {
    m_server->m_host = "";
    ASSERT_EQ(m_server->reStart(), 0);
    EXPECT_TRUE(Serves());
}

TEST_F(LifecycleTest, LibraryInstanceServesOnPort8080) {
    WebServer* server = WebServer::getInstance();
    EXPECT_EQ(server, WebServer::getInstance());
    EXPECT_EQ(server->getPort(), 8080);
    server->m_host = kLoopback;
    server->setDocumentRoot(m_dir.Path().c_str());
    ASSERT_EQ(server->reStart(), 0);
    EXPECT_TRUE(Serves(8080));
    server->stop();
}

void ApplicationHandler(int) {}

TEST_F(LifecycleTest, ApplicationSignalHandlersStayAndDefaultsAreQuietened) {
    struct sigaction own {};
    own.sa_handler = ApplicationHandler;
    sigemptyset(&own.sa_mask);
    ASSERT_EQ(sigaction(SIGTERM, &own, nullptr), 0);
    signal(SIGINT, SIG_DFL);

    ASSERT_EQ(m_server->reStart(), 0);

    struct sigaction term {};
    ASSERT_EQ(sigaction(SIGTERM, nullptr, &term), 0);
    EXPECT_EQ(term.sa_handler, &ApplicationHandler);
    struct sigaction interrupt {};
    ASSERT_EQ(sigaction(SIGINT, nullptr, &interrupt), 0);
    EXPECT_NE(interrupt.sa_handler, SIG_DFL);
    EXPECT_NE(interrupt.sa_handler, SIG_IGN);
    // SIGINT no longer ends the process.
    EXPECT_EQ(raise(SIGINT), 0);
    EXPECT_TRUE(Serves());
}

TEST_F(LifecycleTest, IgnoredSignalStaysIgnored) {
    signal(SIGINT, SIG_IGN);
    ASSERT_EQ(m_server->reStart(), 0);
    struct sigaction interrupt {};
    ASSERT_EQ(sigaction(SIGINT, nullptr, &interrupt), 0);
    EXPECT_EQ(interrupt.sa_handler, SIG_IGN);
    signal(SIGINT, SIG_DFL);
}

}  // namespace
}  // namespace httptest
