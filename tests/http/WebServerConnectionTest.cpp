#include "Eventually.h"
#include "HttpConnections.h"
#include "HttpFixture.h"
#include "ProcessProbes.h"
#include "SlowClients.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace httptest {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using testsupport::Eventually;
using testsupport::TricklingClient;
using testsupport::WriteFile;

const std::string kImage(256 * 1024, 'I');
const std::string kHead = "GET /firmware.img HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";

using Tricklers = std::vector<std::unique_ptr<TricklingClient>>;

Tricklers Trickle(size_t count, const std::string& bytes, milliseconds every) {
    Tricklers clients;
    for (size_t i = 0; i < count; ++i) {
        clients.push_back(std::make_unique<TricklingClient>(kLoopback, kTestPort, bytes, every));
        EXPECT_TRUE(clients.back()->Connected());
    }
    return clients;
}

std::string UploadRequest(const std::string& body) {
    return "POST /upload?name=config.json&offset=0&checksum=" + Checksum(body) +
           "&fileDatalength=" + std::to_string(body.size()) +
           " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\n\r\n" + body;
}

std::string ReplyOf(int fd) {
    std::string reply;
    char buffer[256];
    ssize_t got;
    while ((got = recv(fd, buffer, sizeof(buffer), 0)) > 0) {
        reply.append(buffer, static_cast<size_t>(got));
    }
    return reply;
}

class ConnectionTest : public HttpTest {
protected:
    void SetUp() override {
        HttpTest::SetUp();
        WriteFile(m_dir.File("firmware.img"), kImage);
        ASSERT_EQ(m_server->reStart(), 0);
    }
    // A camera's fetch: its whole reply, timed.
    void ExpectFetchWithin(milliseconds bound) const {
        const auto begun = std::chrono::steady_clock::now();
        auto result = Client().Get("/firmware.img");
        const auto took = std::chrono::steady_clock::now() - begun;
        ASSERT_TRUE(result) << httplib::to_string(result.error());
        EXPECT_EQ(result->status, 200);
        EXPECT_EQ(result->body, kImage);
        EXPECT_LT(took, bound);
    }
    // Lets the server accept what is already connected.
    static void Settle() { std::this_thread::sleep_for(milliseconds(200)); }
};

// A reply's body goes out behind its head at once, not once the camera acknowledged the head.
TEST_F(ConnectionTest, AcceptedConnectionsSendWithoutDelay) {
    const Tricklers camera = Trickle(1, kHead, milliseconds(3000));
    int accepted = -1;
    ASSERT_TRUE(Eventually(
        [&] {
            accepted = testsupport::TcpSocketOf(kTestPort, 0);
            return accepted >= 0;
        },
        seconds(2)));
    EXPECT_TRUE(testsupport::NoDelay(accepted));
}

TEST_F(ConnectionTest, TricklingClientsDoNotHoldAFetch) {
    const Tricklers tricklers = Trickle(4, kHead, milliseconds(3000));
    Settle();
    ExpectFetchWithin(seconds(2));
    // Again, once the tricklers have been taken up by the workers for a while.
    std::this_thread::sleep_for(milliseconds(1000));
    ExpectFetchWithin(seconds(2));
}

TEST_F(ConnectionTest, ARequestThatTricklesInIsCutWithinItsBudget) {
    // No silence is long enough for a per-read time-out: only a bound on the whole
    // request ends these.
    const std::string upload =
        "POST /upload?name=config.json&offset=0&checksum=0&fileDatalength=64 HTTP/1.1\r\n"
        "Host: 127.0.0.1\r\nContent-Length: 64\r\n\r\n";
    struct Case {
        const char* label;
        std::string fast;      // sent at once
        std::string trickled;  // then a byte every 400 ms
    };
    const Case cases[] = {
        {"head", "", kHead},
        {"body", upload, std::string(64, '\0')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        TricklingClient trickler(kLoopback, kTestPort, c.fast, c.trickled, milliseconds(400));
        ASSERT_TRUE(Eventually([&] { return trickler.Ended(); }, seconds(12)));
        EXPECT_LT(trickler.Lasted(), seconds(8));
    }
    EXPECT_EQ(testsupport::ReadFile(UploadDir() + "config.json"), "");
    EXPECT_NE(LogText().find("cut: request not complete in time.\n"), std::string::npos) << LogText();
}

TEST_F(ConnectionTest, ABodyThatFlowsAtASaneRateMayTakeLongerThanTheBudget) {
    const std::string body(1024 * 1024, 'b');
    const std::string head = UploadRequest(body).substr(0, UploadRequest(body).size() - body.size());
    const int fd = testsupport::ConnectTcp(kLoopback, kTestPort);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(send(fd, head.data(), head.size(), MSG_NOSIGNAL), static_cast<ssize_t>(head.size()));
    // 1 MiB in 4.5 s, about 230 KiB/s.
    constexpr size_t kPiece = 16 * 1024;
    for (size_t at = 0; at < body.size(); at += kPiece) {
        ASSERT_EQ(send(fd, body.data() + at, kPiece, MSG_NOSIGNAL), static_cast<ssize_t>(kPiece)) << at;
        std::this_thread::sleep_for(milliseconds(70));
    }
    const std::string reply = ReplyOf(fd);
    close(fd);
    EXPECT_EQ(reply.rfind("HTTP/1.1 200", 0), 0u) << reply;
    EXPECT_EQ(testsupport::ReadFile(UploadDir() + "config.json"), body);
}

TEST_F(ConnectionTest, AnOversizedHeadIsRefusedWithoutHoldingOthers) {
    const std::string heads[] = {
        "GET /firmware.img?" + std::string(16 * 1024, 'q') + " HTTP/1.1\r\n\r\n",
        "GET /firmware.img HTTP/1.1\r\n" +
            [] {
                std::string lines;
                for (int i = 0; i < 2000; ++i) lines += "X-Filler-" + std::to_string(i) + ": x\r\n";
                return lines;
            }() +
            "\r\n",
    };
    for (const std::string& head : heads) {
        SCOPED_TRACE(head.substr(0, 40));
        // Sent at once, then nothing more: only the head's size ends it early.
        const int fd = testsupport::ConnectTcp(kLoopback, kTestPort);
        ASSERT_GE(fd, 0);
        send(fd, head.data(), head.size(), MSG_NOSIGNAL);
        const auto begun = std::chrono::steady_clock::now();
        const std::string reply = ReplyOf(fd);
        close(fd);
        EXPECT_LT(std::chrono::steady_clock::now() - begun, seconds(2));
        EXPECT_EQ(reply.find(" 200 "), std::string::npos) << reply.substr(0, 80);
        ExpectFetchWithin(seconds(2));
    }
    EXPECT_NE(LogText().find("cut: head too large.\n"), std::string::npos) << LogText();
}

TEST_F(ConnectionTest, ConnectionsBeyondTheBoundAreRefusedAtOnce) {
    const Tricklers tricklers = Trickle(40, kHead, milliseconds(3000));
    const auto refusedOne = [](const std::unique_ptr<TricklingClient>& trickler) {
        return trickler->Received().rfind("HTTP/1.1 503 ", 0) == 0;
    };
    size_t refused = 0;
    ASSERT_TRUE(Eventually(
        [&] {
            refused = static_cast<size_t>(std::count_if(tricklers.begin(), tricklers.end(), refusedOne));
            return refused > 0;
        },
        seconds(2)));
    EXPECT_LT(refused, tricklers.size());
    for (const auto& trickler : tricklers) {
        if (refusedOne(trickler)) {
            EXPECT_LT(trickler->Lasted(), seconds(1));
        }
    }
    // A fetch meanwhile is answered, refused at once or served once a worker is free: it
    // waits at most for the budgets of the requests taken before it.
    const auto waited = testsupport::FirstReplyByteAfter(kLoopback, kTestPort, kHead, seconds(10));
    EXPECT_TRUE(waited);
    EXPECT_NE(LogText().find("refusing new ones.\n"), std::string::npos);
}

TEST_F(ConnectionTest, FetchesWorkAgainOnceRefusedConnectionsAreGone) {
    {
        const Tricklers tricklers = Trickle(40, kHead, milliseconds(3000));
        Settle();
    }
    ExpectFetchWithin(seconds(2));
}

TEST_F(ConnectionTest, StopCutsConnectionsStillSendingTheirRequest) {
    const Tricklers tricklers = Trickle(4, kHead, milliseconds(3000));
    Settle();
    const auto begun = std::chrono::steady_clock::now();
    m_server->stop();
    EXPECT_LT(std::chrono::steady_clock::now() - begun, seconds(1));
    for (const auto& trickler : tricklers) {
        EXPECT_TRUE(Eventually([&] { return trickler->Ended(); }, seconds(1)));
    }
}

// A camera that takes its file slowly holds a stop for a short grace only: its reply is cut
// then, however much of the file is left.
TEST_F(ConnectionTest, StopCutsAReplyInHandAfterAShortGrace) {
    // Far more than the socket buffers hold while the camera takes nothing.
    const std::string large(16 * 1024 * 1024, 'L');
    WriteFile(m_dir.File("large.img"), large);
    const int camera = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int small = 4096;
    setsockopt(camera, SOL_SOCKET, SO_RCVBUF, &small, sizeof(small));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(kTestPort);
    inet_pton(AF_INET, kLoopback, &address.sin_addr);
    ASSERT_EQ(connect(camera, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    const std::string get = "GET /large.img HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    ASSERT_EQ(send(camera, get.data(), get.size(), MSG_NOSIGNAL), static_cast<ssize_t>(get.size()));
    Settle();
    const auto begun = std::chrono::steady_clock::now();
    m_server->stop();
    const auto took = std::chrono::steady_clock::now() - begun;
    EXPECT_GE(took, httpconn::kStopGrace);
    EXPECT_LT(took, seconds(1));
    EXPECT_LT(ReplyOf(camera).size(), large.size()) << "the reply was cut";
    EXPECT_NE(LogText().find("stop: 1 replies cut after"), std::string::npos) << LogText();
    close(camera);
}

// Offset 0 starts the file afresh: two such chunks at once leave one of them whole, never
// the shorter one over the start of the longer. Each request is held back by its last byte,
// then both are let go together, so that they are handled at the same time.
TEST_F(ConnectionTest, UploadsOfOneFileAreSerialised) {
    const std::string bodies[] = {std::string(128 * 1024, 'L'), std::string(1024, 's')};
    const std::string requests[] = {UploadRequest(bodies[0]), UploadRequest(bodies[1])};
    for (int round = 0; round < 150; ++round) {
        SCOPED_TRACE(round);
        int fds[2];
        for (int i = 0; i < 2; ++i) {
            fds[i] = testsupport::ConnectTcp(kLoopback, kTestPort);
            ASSERT_GE(fds[i], 0);
            const size_t held = requests[i].size() - 1;
            ASSERT_EQ(send(fds[i], requests[i].data(), held, MSG_NOSIGNAL), static_cast<ssize_t>(held));
        }
        std::this_thread::sleep_for(milliseconds(2));
        for (int i = 0; i < 2; ++i) {
            send(fds[i], &requests[i].back(), 1, MSG_NOSIGNAL);
        }
        for (const int fd : fds) {
            const std::string reply = ReplyOf(fd);
            close(fd);
            EXPECT_EQ(reply.rfind("HTTP/1.1 200", 0), 0u) << reply;
        }
        const std::string stored = testsupport::ReadFile(UploadDir() + "config.json");
        ASSERT_TRUE(stored == bodies[0] || stored == bodies[1])
            << stored.size() << " bytes, starting " << stored.substr(0, 2);
    }
}

// Every socket of the process is close-on-exec: the server's listener and the connection
// it serves, and the test's own client socket.
TEST_F(ConnectionTest, ServerSocketsAreCloseOnExec) {
    TricklingClient holder(kLoopback, kTestPort, kHead, milliseconds(3000));
    const auto socketFds = [] {
        std::vector<int> fds;
        DIR* folder = opendir("/proc/self/fd");
        while (const dirent* entry = readdir(folder)) {
            char target[64] = "";
            const std::string link = std::string("/proc/self/fd/") + entry->d_name;
            if (readlink(link.c_str(), target, sizeof(target) - 1) > 0 &&
                std::string(target).rfind("socket:", 0) == 0) {
                fds.push_back(std::stoi(entry->d_name));
            }
        }
        closedir(folder);
        return fds;
    };
    std::vector<int> fds;
    ASSERT_TRUE(Eventually(
        [&] {
            fds = socketFds();
            return fds.size() >= 3;
        },
        seconds(2)));
    for (const int fd : fds) {
        EXPECT_NE(fcntl(fd, F_GETFD) & FD_CLOEXEC, 0) << "fd " << fd;
    }
}

}  // namespace
}  // namespace httptest
