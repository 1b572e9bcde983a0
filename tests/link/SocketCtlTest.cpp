#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "LogCapture.h"
#include "ProcessProbes.h"
#include "SocketCtl.h"

namespace {

using Bytes = std::vector<uint8_t>;

int Listen() {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
    EXPECT_EQ(listen(fd, 64), 0);
    return fd;
}

uint16_t PortOf(int fd) {
    sockaddr_in addr{};
    socklen_t size = sizeof(addr);
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &size);
    return ntohs(addr.sin_port);
}

// A port nobody listens on.
uint16_t FreePort() {
    int fd = Listen();
    const uint16_t port = PortOf(fd);
    close(fd);
    return port;
}

Bytes U32(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// A reply: head of `type` with the body length L, then marker, id, data length, data.
Bytes ReplyFrame(uint8_t id, const Bytes& data, uint32_t type = 0xAA) {
    Bytes body = Cat({{0xAA, id, uint8_t(data.size())}, data});
    return Cat({U32(type), U32(uint32_t(body.size())), body});
}

Bytes DataFrame(uint32_t type, const Bytes& payload) {
    return Cat({U32(type), U32(uint32_t(payload.size())), payload});
}

size_t OpenDescriptors() {
    size_t count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir)) ++count;
        closedir(dir);
    }
    return count;
}

// The camera's side of both connections.
class Peer {
public:
    Peer() : m_cmdListen(Listen()), m_dataListen(Listen()) {}
    ~Peer() {
        for (int fd : {m_cmd, m_data, m_cmdListen, m_dataListen}) {
            if (fd >= 0) close(fd);
        }
    }
    uint16_t CmdPort() const { return PortOf(m_cmdListen); }
    uint16_t DataPort() const { return PortOf(m_dataListen); }
    void Accept() {
        for (int* fd : {&m_cmd, &m_data}) {
            if (*fd >= 0) close(*fd);
        }
        m_cmd = accept(m_cmdListen, nullptr, nullptr);
        m_data = accept(m_dataListen, nullptr, nullptr);
        ASSERT_GE(m_cmd, 0);
        ASSERT_GE(m_data, 0);
    }
    bool PendingConnection() const {
        pollfd p[2] = {{m_cmdListen, POLLIN, 0}, {m_dataListen, POLLIN, 0}};
        return poll(p, 2, 100) > 0;
    }
    void SendCmd(const Bytes& b) const { ASSERT_EQ(send(m_cmd, b.data(), b.size(), MSG_NOSIGNAL), ssize_t(b.size())); }
    void SendData(const Bytes& b) const {
        ASSERT_EQ(send(m_data, b.data(), b.size(), MSG_NOSIGNAL), ssize_t(b.size()));
    }
    // Everything the host sent on the command connection within a short wait.
    Bytes Received() const {
        Bytes out;
        uint8_t buf[512];
        pollfd p{m_cmd, POLLIN, 0};
        while (poll(&p, 1, 100) > 0) {
            const ssize_t n = recv(m_cmd, buf, sizeof(buf), 0);
            if (n <= 0) break;
            out.insert(out.end(), buf, buf + n);
        }
        return out;
    }
    void CloseCmd() {
        close(m_cmd);
        m_cmd = -1;
    }
    // Closes the data connection, with a reset (RST) when `reset` is set.
    void EndData(bool reset) {
        if (reset) {
            const linger abort{1, 0};
            setsockopt(m_data, SOL_SOCKET, SO_LINGER, &abort, sizeof(abort));
        }
        close(m_data);
        m_data = -1;
    }

private:
    int m_cmdListen;
    int m_dataListen;
    int m_cmd = -1;
    int m_data = -1;
};

class SocketCtlTest : public ::testing::Test {
protected:
    void SetUp() override {
        io = std::make_unique<SocketCtl>(
            "127.0.0.1", "127.0.0.1", peer.DataPort(), peer.CmdPort(),
            [this](linktiming::milliseconds d) { sleeps.push_back(d); }, Waits());
        io->SetDeviceSN("SN01");
        ASSERT_EQ(io->OpenDevice(), 0);
        peer.Accept();
        log.Mark();
    }
    virtual linktiming::DataWaits Waits() const { return {}; }

    // A read that finds the data link lost at once, not after a wait, and logs `line`.
    void ExpectLostAtOnce(const char* line) {
        unsigned char buf[128];
        int len = 0;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(io->ReadData(buf, sizeof(buf), &len), -1);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900)) << "not a time-out";
        EXPECT_EQ(len, 0);
        EXPECT_TRUE(io->DataLinkLost());
        EXPECT_TRUE(log.Contains(line));
    }
    // Fresh connections, as the device's close and reopen make them.
    void Reopen() {
        io->CloseDevice();
        ASSERT_EQ(io->OpenDevice(), 0);
        peer.Accept();
    }

    testsupport::LogCapture log;
    Peer peer;
    std::vector<linktiming::milliseconds> sleeps;
    std::unique_ptr<SocketCtl> io;
};

struct RequestCase {
    const char* name;
    int cmd;
    CMDTYPE type;
    int len;
    Bytes expectedHead;  // head, marker, id, n
    size_t payloadBytes;
    bool readsReply;
};

TEST_F(SocketCtlTest, FramesRequestsAndReadsRepliesOnlyWhenAsked) {
    const RequestCase cases[] = {
        {"set of id 27", 27, CMDTYPE_SET, 1, Cat({U32(0xAA), U32(4), {0xAA, 0x1B, 0x01}}), 1, false},
        {"get of id 27", 27, CMDTYPE_GET, 1, Cat({U32(0xAA), U32(4), {0xAA, 0x9B, 0x01}}), 1, true},
        {"set of id 156", 156, CMDTYPE_SET, 1, Cat({U32(0xAA), U32(4), {0xAA, 0x9C, 0x01}}), 1, true},
        {"length 100", 5, CMDTYPE_SET, 100, Cat({U32(0xAA), U32(67), {0xAA, 0x05, 64}}), 64, false},
        {"length 0", 6, CMDTYPE_GET, 0, Cat({U32(0xAA), U32(3), {0xAA, 0x86, 0}}), 0, true},
    };
    for (const RequestCase& c : cases) {
        SCOPED_TRACE(c.name);
        char buf[128];
        for (int i = 0; i < 128; ++i) buf[i] = char(i + 1);
        const uint8_t id = c.expectedHead[9];
        if (c.readsReply) peer.SendCmd(ReplyFrame(id, {0x55}));
        ASSERT_EQ(io->SetCmd(c.cmd, buf, sizeof(buf), static_cast<unsigned char>(c.len), c.type), 0);
        Bytes expected = c.expectedHead;
        for (size_t i = 0; i < c.payloadBytes; ++i) expected.push_back(uint8_t(i + 1));
        EXPECT_EQ(peer.Received(), expected);
        EXPECT_EQ(uint8_t(buf[0]), c.readsReply ? 0x55 : 0x01);
    }
}

// A set that wants no reply goes out at once, and so does the get that reads it back.
TEST_F(SocketCtlTest, CommandConnectionSendsWithoutDelay) {
    const int cmd = testsupport::TcpSocketOf(0, peer.CmdPort());
    ASSERT_GE(cmd, 0);
    EXPECT_TRUE(testsupport::NoDelay(cmd));
}

TEST_F(SocketCtlTest, SetOfId27WithPayloadOneIsTwelveBytes) {
    char payload[1] = {1};
    ASSERT_EQ(io->SetCmd(27, payload, 1, 1, CMDTYPE_SET), 0);
    EXPECT_EQ(peer.Received(), (Bytes{0xAA, 0, 0, 0, 0x04, 0, 0, 0, 0xAA, 0x1B, 0x01, 0x01}));
}

struct CopyCase {
    const char* name;
    Bytes reply;
    int bufSize;
    Bytes expected;  // the first 8 bytes of the buffer afterwards (prepared as 0xEE)
};

TEST_F(SocketCtlTest, ReplyCopyIsBoundedByBufferAndBody) {
    auto raw = [](std::initializer_list<uint8_t> body) {
        Bytes b(body);
        return Cat({U32(0xAA), U32(uint32_t(b.size())), b});
    };
    const Bytes E = {0xEE};
    const CopyCase cases[] = {
        {"data fits", ReplyFrame(0x9B, {1, 2, 3}), 8, {1, 2, 3, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}},
        {"truncated to bufSize", ReplyFrame(0x9B, {1, 2, 3, 4, 5, 6}), 4, {1, 2, 3, 4, 0xEE, 0xEE, 0xEE, 0xEE}},
        {"length byte beyond body", raw({0xAA, 0x9B, 200, 7, 8}), 8, {7, 8, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}},
        {"length byte of 0x80 or more", raw({0xAA, 0x9B, 0x90, 9, 9, 9}), 8, {9, 9, 9, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}},
        {"body without data length", raw({0xAA, 0x9B}), 8, Bytes(8, 0xEE)},
    };
    for (const CopyCase& c : cases) {
        SCOPED_TRACE(c.name);
        char buf[16];
        std::memset(buf, 0xEE, sizeof(buf));
        peer.SendCmd(c.reply);
        ASSERT_EQ(io->SetCmd(27, buf, c.bufSize, 1, CMDTYPE_GET), 0);
        EXPECT_EQ(Bytes(buf, buf + 8), c.expected);
        peer.Received();
    }
}

TEST_F(SocketCtlTest, ForeignReplyHeadLeavesBufferAndIsDrained) {
    char buf[4] = {7, 7, 7, 7};
    peer.SendCmd(ReplyFrame(0x9B, {1, 2, 3}, 2));
    EXPECT_EQ(io->SetCmd(27, buf, sizeof(buf), 1, CMDTYPE_GET), -104);
    EXPECT_EQ(Bytes(buf, buf + 4), (Bytes{7, 7, 7, 7}));
    // The foreign body is gone, so the next reply is read as its own.
    peer.SendCmd(ReplyFrame(0x9B, {4}));
    EXPECT_EQ(io->SetCmd(27, buf, sizeof(buf), 1, CMDTYPE_GET), 0);
    EXPECT_EQ(buf[0], 4);
}

TEST_F(SocketCtlTest, WrongIdIsSkippedAndTheMatchingReplyUsed) {
    char buf[4] = {};
    peer.SendCmd(Cat({ReplyFrame(0x85, {1}), ReplyFrame(0x9B, {2})}));
    EXPECT_EQ(io->SetCmd(27, buf, sizeof(buf), 1, CMDTYPE_GET), 0);
    EXPECT_EQ(buf[0], 2);
    EXPECT_TRUE(log.Contains("<SN01> outIndex:4 cmdid 0x9b: 0xaa 0x85"));
}

TEST_F(SocketCtlTest, UnmatchedRepliesFailAndStayInStep) {
    char buf[4] = {9, 9, 9, 9};
    Bytes five;
    for (int i = 0; i < 5; ++i) five = Cat({five, ReplyFrame(0x80 + i, {1, 1})});
    peer.SendCmd(Cat({five, ReplyFrame(0x9B, {3})}));
    EXPECT_EQ(io->SetCmd(27, buf, sizeof(buf), 1, CMDTYPE_GET), -104);
    EXPECT_EQ(buf[0], 9);
    EXPECT_TRUE(log.Contains("outIndex:0 cmdid 0x9b: 0xaa 0x84"));
    // The sixth reply was left whole for the next command.
    EXPECT_EQ(io->SetCmd(27, buf, sizeof(buf), 1, CMDTYPE_GET), 0);
    EXPECT_EQ(buf[0], 3);

    // A single stray reply and nothing after it: no match, buffer as prepared.
    buf[0] = 9;
    peer.SendCmd(ReplyFrame(0x81, {1}));
    EXPECT_EQ(io->SetCmd(27, buf, sizeof(buf), 1, CMDTYPE_GET), -104);
    EXPECT_EQ(buf[0], 9);
}

TEST_F(SocketCtlTest, SilentPeerGivesMinus104AfterTheReplyWait) {
    char buf[4] = {};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(io->SetCmd(27, buf, sizeof(buf), 1, CMDTYPE_GET), -104);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1900));
    EXPECT_TRUE(log.Contains("time is over"));
    EXPECT_TRUE(log.Contains("<SN01>  the server connection has been gracefully closed cmdid 155"));
    // The connection stays open for the next command.
    peer.Received();
    peer.SendCmd(ReplyFrame(0x9B, {5}));
    EXPECT_EQ(io->SetCmd(27, buf, sizeof(buf), 1, CMDTYPE_GET), 0);
    EXPECT_EQ(buf[0], 5);
}

TEST_F(SocketCtlTest, PeerCloseGivesMinus104) {
    peer.CloseCmd();
    char buf[4] = {};
    EXPECT_EQ(io->SetCmd(27, buf, sizeof(buf), 1, CMDTYPE_GET), -104);
}

TEST_F(SocketCtlTest, ClosedTransportRefusesCommandsAndReads) {
    io->CloseDevice();
    char buf[4] = {};
    EXPECT_EQ(io->SetCmd(27, buf, sizeof(buf), 1, CMDTYPE_SET), -104);
    unsigned char data[16];
    int len = 77;
    sleeps.clear();
    EXPECT_EQ(io->ReadData(data, sizeof(data), &len), -1);
    EXPECT_EQ(len, 77);
    EXPECT_EQ(sleeps, std::vector<linktiming::milliseconds>{linktiming::milliseconds(30)});
}

TEST_F(SocketCtlTest, OpenOnOpenTransportOpensNothing) {
    EXPECT_EQ(io->OpenDevice(), 0);
    EXPECT_FALSE(peer.PendingConnection());
    EXPECT_TRUE(log.Contains("<SN01> warnning m_isOpened:1"));
}

TEST_F(SocketCtlTest, DataFramesAreReadDrainedOrRefused) {
    unsigned char buf[8];
    int len = -1;
    // Foreign type with a payload, then a good frame.
    peer.SendData(Cat({DataFrame(3, {1, 2, 3, 4}), DataFrame(1, {5, 6})}));
    EXPECT_EQ(io->ReadData(buf, sizeof(buf), &len), -1);
    EXPECT_EQ(len, 0);
    EXPECT_TRUE(log.Contains("<SN01> unknow type, type[3], len[4]"));
    EXPECT_EQ(io->ReadData(buf, sizeof(buf), &len), 0);
    ASSERT_EQ(len, 2);
    EXPECT_EQ(buf[0], 5);
    EXPECT_EQ(buf[1], 6);

    // Length 0.
    len = -1;
    peer.SendData(DataFrame(1, {}));
    EXPECT_EQ(io->ReadData(buf, sizeof(buf), &len), 0);
    EXPECT_EQ(len, 0);

    // Larger than the buffer, then a good one.
    const Bytes big(sizeof(buf) + 1, 0xAB);
    unsigned char guard[16];
    std::memset(guard, 0, sizeof(guard));
    peer.SendData(Cat({DataFrame(1, big), DataFrame(1, {7, 8, 9})}));
    EXPECT_EQ(io->ReadData(guard, sizeof(buf), &len), -1);
    EXPECT_EQ(len, 0);
    EXPECT_EQ(guard[sizeof(buf)], 0);
    EXPECT_EQ(io->ReadData(guard, sizeof(buf), &len), 0);
    ASSERT_EQ(len, 3);
    EXPECT_EQ(guard[0], 7);
    EXPECT_EQ(guard[2], 9);
}

struct DataLossCase {
    const char* name;
    bool reset;
    Bytes sentFirst;  // what the camera sends before it ends the connection
    const char* line;
};

TEST_F(SocketCtlTest, DataConnectionEndedByTheCameraIsLostUntilTheNextOpen) {
    const DataLossCase cases[] = {
        {"closed", false, {}, "<SN01> the data connection has been closed by the camera"},
        {"closed mid-frame", false, Cat({U32(1), U32(100), Bytes(10, 1)}),
         "<SN01> the data connection has been closed by the camera"},
        {"reset", true, {}, "<SN01> the data connection failed: 104"},
    };
    for (const DataLossCase& c : cases) {
        SCOPED_TRACE(c.name);
        log.Mark();
        unsigned char buf[128];
        int len = 0;
        EXPECT_FALSE(io->DataLinkLost());
        if (!c.sentFirst.empty()) peer.SendData(c.sentFirst);
        peer.EndData(c.reset);
        ExpectLostAtOnce(c.line);
        // Later reads do not touch the socket again; they fail after the closed-transport pause.
        sleeps.clear();
        EXPECT_EQ(io->ReadData(buf, sizeof(buf), &len), -1);
        EXPECT_EQ(sleeps, std::vector<linktiming::milliseconds>{linktiming::milliseconds(30)});
        // Commands still pass.
        char reply[4] = {};
        peer.SendCmd(ReplyFrame(0x9C, {1}));
        EXPECT_EQ(io->SetCmd(156, reply, sizeof(reply), 1, CMDTYPE_GET), 0);
        peer.Received();

        Reopen();
        EXPECT_FALSE(io->DataLinkLost()) << "an open starts afresh";
    }
}

TEST_F(SocketCtlTest, QuietOrSlowDataConnectionIsNotLost) {
    unsigned char buf[8];
    int len = 5;
    EXPECT_EQ(io->ReadData(buf, sizeof(buf), &len), 0) << "nothing within the read wait";
    EXPECT_EQ(len, 5);
    EXPECT_FALSE(io->DataLinkLost());
    // A frame that arrives in pieces, each within the wait, is read whole.
    std::thread camera([&] {
        peer.SendData(Cat({U32(1), U32(4), Bytes{1, 2}}));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        peer.SendData(Bytes{3, 4});
    });
    EXPECT_EQ(io->ReadData(buf, sizeof(buf), &len), 0);
    camera.join();
    EXPECT_EQ(len, 4);
    EXPECT_EQ(buf[3], 4);
    EXPECT_FALSE(io->DataLinkLost());
}

TEST_F(SocketCtlTest, ShutdownWakesABlockedReaderAtOnce) {
    int result = 99;
    int len = 55;
    std::thread reader([&] {
        unsigned char buf[8];
        result = io->ReadData(buf, sizeof(buf), &len);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    io->Shutdown();
    reader.join();
    EXPECT_EQ(result, -1);
    EXPECT_EQ(len, 55);
    // It saw the shut-down connection, not the end of its wait.
    EXPECT_FALSE(log.Contains("time is over"));
}

TEST_F(SocketCtlTest, CloseDuringACommandInFlightIsSafe) {
    int result = 0;
    std::thread commander([&] {
        char buf[4] = {};
        result = io->SetCmd(27, buf, sizeof(buf), 1, CMDTYPE_GET);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(io->CloseDevice(), 0);
    commander.join();
    EXPECT_EQ(result, -104);
    EXPECT_FALSE(log.Contains("time is over"));
}

// Short waits stand in for the 1.005 s between frames and the 3 s inside one; the inside wait
// is the longer, as in the kit.
constexpr linktiming::milliseconds kBetweenFrames{100};
constexpr linktiming::milliseconds kInsideFrame{400};

class SocketCtlWaits : public SocketCtlTest {
protected:
    linktiming::DataWaits Waits() const override { return {kBetweenFrames, kInsideFrame}; }

    // Sends `bytes` on the data connection with one pause after the first `offset` bytes.
    std::thread SendWithPause(Bytes bytes, size_t offset, linktiming::milliseconds pause) {
        return std::thread([this, bytes, offset, pause] {
            if (offset > 0) peer.SendData(Bytes(bytes.begin(), bytes.begin() + long(offset)));
            std::this_thread::sleep_for(pause);
            peer.SendData(Bytes(bytes.begin() + long(offset), bytes.end()));
        });
    }
};

struct PauseCase {
    const char* name;
    uint32_t type;
    size_t offset;  // bytes of the frame sent before the pause
    linktiming::milliseconds pause;
    bool lost;
};

TEST_F(SocketCtlWaits, APauseInsideAFrameIsWaitedOutUpToTheBoundThenTheLinkIsLost) {
    const Bytes payload = {1, 2, 3, 4, 5, 6};
    const auto below = kBetweenFrames * 2;  // longer than the wait between frames
    const auto beyond = kInsideFrame + linktiming::milliseconds(300);
    const PauseCase cases[] = {
        {"in the head, below the bound", 1, 4, below, false},
        {"after the first byte, below the bound", 1, 1, below, false},
        {"in the payload, below the bound", 1, 10, below, false},
        {"in the head, beyond the bound", 1, 4, beyond, true},
        {"in the payload, beyond the bound", 1, 10, beyond, true},
        {"in a foreign frame being drained, beyond the bound", 3, 10, beyond, true},
    };
    for (const PauseCase& c : cases) {
        SCOPED_TRACE(c.name);
        log.Mark();
        std::thread camera = SendWithPause(DataFrame(c.type, payload), c.offset, c.pause);
        unsigned char buf[16] = {};
        int len = -1;
        const int ret = io->ReadData(buf, sizeof(buf), &len);
        camera.join();
        EXPECT_EQ(io->DataLinkLost(), c.lost);
        if (c.lost) {
            EXPECT_EQ(ret, -1);
            EXPECT_TRUE(log.Contains("<SN01> the data stream is out of step: silent for over 400 ms inside a frame"));
            Reopen();
            continue;
        }
        ASSERT_EQ(ret, 0);
        ASSERT_EQ(len, 6);
        EXPECT_EQ(Bytes(buf, buf + 6), payload);
        // The next frame is read in step.
        peer.SendData(DataFrame(1, {9}));
        EXPECT_EQ(io->ReadData(buf, sizeof(buf), &len), 0);
        EXPECT_EQ(len, 1);
        EXPECT_EQ(buf[0], 9);
    }
}

TEST_F(SocketCtlWaits, SilenceBeforeAFrameIsAQuietCameraAtEveryLength) {
    // Nothing at all, then a frame that starts after several between-frame waits.
    std::thread camera = SendWithPause(DataFrame(1, {7, 7}), 0, kInsideFrame + kBetweenFrames);
    unsigned char buf[8];
    int len = -1;
    int reads = 0;
    int ret = 0;
    while ((ret = io->ReadData(buf, sizeof(buf), &len)) == 0 && len <= 0 && reads < 50) ++reads;
    camera.join();
    EXPECT_EQ(ret, 0);
    EXPECT_EQ(len, 2);
    EXPECT_GE(reads, 2) << "each read gave up after the wait between frames";
    EXPECT_FALSE(io->DataLinkLost());
}

struct HeadCase {
    const char* name;
    Bytes sent;
    const char* line;
};

TEST_F(SocketCtlTest, BytesThatCannotBeAFramesLoseTheDataLink) {
    Bytes noise(1000);
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = uint8_t(i * 37 + 11);
    const HeadCase cases[] = {
        {"type word above 0xFF", DataFrame(0x100, {1, 2, 3, 4}), "<SN01> data head type:0x100 length:4 is no frame's"},
        {"length beyond the drain limit", Cat({U32(1), U32(64u * 1024 * 1024 + 1)}),
         "<SN01> data head type:0x1 length:67108865 is no frame's"},
        {"foreign type, length beyond the drain limit", Cat({U32(3), U32(0xFFFFFFF0u)}),
         "<SN01> data head type:0x3 length:4294967280 is no frame's"},
        {"bytes of no framing", noise, "is no frame's"},
    };
    for (const HeadCase& c : cases) {
        SCOPED_TRACE(c.name);
        log.Mark();
        peer.SendData(Cat({c.sent, DataFrame(1, {5})}));
        ExpectLostAtOnce(c.line);
        EXPECT_TRUE(log.Contains("<SN01> the data stream is out of step"));
        Reopen();
    }
}

TEST_F(SocketCtlTest, AReplyOverTheLimitIsDrainedWholeSoTheNextCommandReadsItsOwn) {
    const struct {
        const char* name;
        uint32_t type;
        size_t bodyBytes;
    } cases[] = {
        {"reply type, 5000 bytes", 0xAA, 5000},
        {"reply type, 300 KiB", 0xAA, 300 * 1024},
        {"foreign type, 10000 bytes", 2, 10000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes body(c.bodyBytes, 0x5A);
        body[1] = 0x9B;  // the id asked for: a reply over the limit is refused all the same
        std::thread camera([&] { peer.SendCmd(Cat({U32(c.type), U32(uint32_t(body.size())), body})); });
        char buf[4] = {7, 7, 7, 7};
        EXPECT_EQ(io->SetCmd(27, buf, sizeof(buf), 1, CMDTYPE_GET), -104);
        camera.join();
        EXPECT_EQ(Bytes(buf, buf + 4), (Bytes{7, 7, 7, 7}));
        peer.SendCmd(ReplyFrame(0x9B, {4}));
        EXPECT_EQ(io->SetCmd(27, buf, sizeof(buf), 1, CMDTYPE_GET), 0);
        EXPECT_EQ(buf[0], 4);
        peer.Received();
    }
}

TEST_F(SocketCtlTest, AReplyThatCannotBeReadWholeShutsTheCommandConnection) {
    const struct {
        const char* name;
        Bytes sent;  // then nothing more for the reply wait
    } cases[] = {
        {"length beyond the drain limit", Cat({U32(0xAA), U32(2u * 1024 * 1024), Bytes(100, 1)})},
        {"body cut short", Cat({U32(0xAA), U32(10), Bytes{0xAA, 0x9B, 7}})},
        {"head cut short", Bytes{0xAA, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        log.Mark();
        peer.SendCmd(c.sent);
        char buf[4] = {7, 7, 7, 7};
        EXPECT_EQ(io->SetCmd(27, buf, sizeof(buf), 1, CMDTYPE_GET), -104);
        EXPECT_TRUE(log.Contains("<SN01> the command connection is out of step, cmdid 155: it is shut down"));
        // Even a good reply now would be read out of step: every later command fails at once,
        // as a silent camera's heartbeat does, until the link is opened again.
        peer.SendCmd(ReplyFrame(0x9B, {4}));
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(io->SetCmd(27, buf, sizeof(buf), 1, CMDTYPE_GET), -104);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
        EXPECT_EQ(buf[0], 7);
        EXPECT_FALSE(io->DataLinkLost()) << "the data link is another matter";
        Reopen();
        peer.SendCmd(ReplyFrame(0x9B, {5}));
        EXPECT_EQ(io->SetCmd(27, buf, sizeof(buf), 1, CMDTYPE_GET), 0);
        EXPECT_EQ(buf[0], 5);
        peer.Received();
    }
}

// A reply that trickles is not waited for without end: its command holds every later one.
TEST_F(SocketCtlTest, AReplyThatTricklesPastTheReadBoundShutsTheCommandConnection) {
    const struct {
        const char* name;
        uint32_t length;
    } cases[] = {
        {"a reply of a usual length", 200},
        {"a reply over the limit, drained", 5000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        log.Mark();
        std::mutex lock;
        std::condition_variable wake;
        bool answered = false;
        // One byte every 500 ms, each well inside the wait for the next piece, for at most 8 s.
        std::thread camera([&] {
            peer.SendCmd(Cat({U32(0xAA), U32(c.length), Bytes{0xAA, 0x9B}}));
            std::unique_lock<std::mutex> guard(lock);
            for (int i = 0; i < 16 && !answered; ++i) {
                if (wake.wait_for(guard, std::chrono::milliseconds(500), [&] { return answered; })) break;
                peer.SendCmd(Bytes{1});
            }
        });
        char buf[4] = {7, 7, 7, 7};
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(io->SetCmd(27, buf, sizeof(buf), 1, CMDTYPE_GET), -104);
        const auto took = std::chrono::steady_clock::now() - start;
        {
            std::lock_guard<std::mutex> guard(lock);
            answered = true;
        }
        wake.notify_all();
        camera.join();
        EXPECT_LT(took, std::chrono::seconds(6)) << "the read bound is 3 s";
        EXPECT_TRUE(log.Contains("<SN01> the command connection is out of step, cmdid 155: it is shut down"));
        Reopen();
        peer.SendCmd(ReplyFrame(0x9B, {5}));
        EXPECT_EQ(io->SetCmd(27, buf, sizeof(buf), 1, CMDTYPE_GET), 0);
        EXPECT_EQ(buf[0], 5);
        peer.Received();
    }
}

struct OpenFailure {
    const char* name;
    const char* hostIp;
    bool cmdListening;
    int expected;
};

TEST(SocketCtlOpen, FailedOpensReportAndLeakNoDescriptors) {
    testsupport::LogCapture log;
    Peer peer;
    const OpenFailure cases[] = {
        {"command connection refused", "127.0.0.1", false, -255},
        {"data connection refused", "127.0.0.1", true, -13},
        {"host address not on this machine", "10.200.0.1", true, -255},
        {"host address not an address", "nonsense", true, -255},
    };
    for (const OpenFailure& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<linktiming::milliseconds> sleeps;
        SocketCtl io("127.0.0.1", c.hostIp, FreePort(), c.cmdListening ? peer.CmdPort() : FreePort(),
                     [&](linktiming::milliseconds d) { sleeps.push_back(d); });
        EXPECT_EQ(io.OpenDevice(), c.expected);
        const size_t before = OpenDescriptors();
        for (int i = 0; i < 20; ++i) EXPECT_EQ(io.OpenDevice(), c.expected);
        EXPECT_EQ(OpenDescriptors(), before);
        char buf[1] = {0};
        EXPECT_EQ(io.SetCmd(27, buf, 1, 1, CMDTYPE_SET), -104);
    }
    EXPECT_TRUE(log.Contains("wait the Camera(cmd) connect 127.0.0.1"));
    EXPECT_TRUE(log.Contains("wait the Camera(data) connect 127.0.0.1"));
    EXPECT_TRUE(log.Contains("bind is failed with error["));
}

// A camera address whose connections are never accepted: its queue is full, so the kernel
// drops further connection requests and a connect waits.
class FullListener {
public:
    FullListener() : m_fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
        EXPECT_EQ(listen(m_fd, 0), 0);
        socklen_t size = sizeof(addr);
        getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &size);
        // Not waited for: once the queue is full, a filler's own connect waits too.
        for (int& filler : m_fillers) {
            filler = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
            connect(filler, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ~FullListener() {
        for (int fd : m_fillers) close(fd);
        close(m_fd);
    }
    uint16_t Port() const { return PortOf(m_fd); }

private:
    int m_fd;
    int m_fillers[2] = {-1, -1};
};

// A close or a shut-down beside an open that waits for its connect does not wait for it: the
// connect is cut at once, the open fails without its retry pause, and the transport stays
// closed.
TEST(SocketCtlOpen, CloseAndShutdownCutAConnectUnderWay) {
    using Clock = std::chrono::steady_clock;
    const std::pair<const char*, std::function<void(SocketCtl&)>> cuts[] = {
        {"close", [](SocketCtl& io) { io.CloseDevice(); }},
        {"shut-down", [](SocketCtl& io) { io.Shutdown(); }},
    };
    for (const auto& [name, cut] : cuts) {
        SCOPED_TRACE(name);
        FullListener camera;
        std::vector<linktiming::milliseconds> sleeps;
        SocketCtl io("127.0.0.1", "127.0.0.1", FreePort(), camera.Port(),
                     [&](linktiming::milliseconds d) { sleeps.push_back(d); });
        int result = 0;
        Clock::time_point ended;
        std::thread open([&] {
            result = io.OpenDevice();
            ended = Clock::now();
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(300));  // well into the connect
        const auto start = Clock::now();
        cut(io);
        EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));
        open.join();
        EXPECT_LT(ended - start, std::chrono::milliseconds(500));
        EXPECT_EQ(result, -255);
        EXPECT_TRUE(sleeps.empty()) << "no pause after a cut connect";
        char buf[1] = {0};
        EXPECT_EQ(io.SetCmd(27, buf, 1, 1, CMDTYPE_SET), -104);
    }
}

TEST(SocketCtlOpen, ReopensAfterClose) {
    Peer peer;
    SocketCtl io("127.0.0.1", "127.0.0.1", peer.DataPort(), peer.CmdPort());
    ASSERT_EQ(io.OpenDevice(), 0);
    peer.Accept();
    EXPECT_EQ(io.CloseDevice(), 0);
    ASSERT_EQ(io.OpenDevice(), 0);
    peer.Accept();
    char buf[1] = {1};
    EXPECT_EQ(io.SetCmd(27, buf, 1, 1, CMDTYPE_SET), 0);
    EXPECT_EQ(peer.Received().size(), 12u);
}

TEST(SocketCtlBasics, TagsAddressesAndBasename) {
    SocketCtl io("127.0.0.20", nullptr, 9009, 9008);
    EXPECT_STREQ(io.GetDeviceSN(), "quelta");
    EXPECT_STREQ(io.GetHostIp(), "");
    char peerIp[16] = {};
    EXPECT_EQ(io.GetPeerIP(peerIp), 0);
    EXPECT_STREQ(peerIp, "127.0.0.20");
    SocketCtl noDot("localhost", "127.0.0.1", 9009, 9008);
    EXPECT_EQ(noDot.GetPeerIP(peerIp), -1);
    EXPECT_STREQ(transport::basename("/a/b/c.cpp"), "c.cpp");
    EXPECT_STREQ(transport::basename("c.cpp"), "c.cpp");
    EXPECT_STREQ(transport::basename("a/"), "");
}

}  // namespace
