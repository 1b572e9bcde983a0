#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "CameraSim.h"
#include "Framing.h"
#include "LittleEndian.h"

namespace camsim {
namespace {

using Bytes = std::vector<uint8_t>;
using namespace std::chrono_literals;

constexpr const char* kCameraIp = "127.0.0.2";

int Connect(const char* ip, uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    inet_pton(AF_INET, ip, &addr.sin_addr);
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Reads exactly `size` bytes unless the peer closes or `timeout` passes.
bool ReadExactly(int fd, uint8_t* out, size_t size, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    size_t got = 0;
    while (got < size) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
        const ssize_t n = recv(fd, out + got, size - got, 0);
        if (n <= 0) return false;
        got += static_cast<size_t>(n);
    }
    return true;
}

// How the peer ended the connection within `timeout` (data before it is skipped): 0 an
// orderly close, an errno for a failure, -1 when it stayed open.
int PeerEnd(int fd, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    uint8_t sink[65536];
    while (std::chrono::steady_clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0) continue;
        const ssize_t n = recv(fd, sink, sizeof sink, 0);
        if (n == 0) return 0;
        if (n < 0) return errno;
    }
    return -1;
}

// True when the peer closed the connection within `timeout`, in order or not.
bool ClosedWithin(int fd, std::chrono::milliseconds timeout) { return PeerEnd(fd, timeout) != -1; }

struct DataFrame {
    uint32_t type = 0;
    Bytes payload;
};

// A bare host: one command and one data connection, no kit code.
class Host {
public:
    explicit Host(const char* ip = kCameraIp) : m_cmd(Connect(ip, kCommandPort)), m_data(Connect(ip, kDataPort)) {}
    ~Host() {
        if (m_cmd >= 0) close(m_cmd);
        if (m_data >= 0) close(m_data);
    }
    bool Connected() const { return m_cmd >= 0 && m_data >= 0; }
    int CommandFd() const { return m_cmd; }
    int DataFd() const { return m_data; }

    void Send(uint8_t id, const Bytes& payload) {
        const Bytes frame = BuildCommandFrame(id, payload.data(), payload.size());
        ASSERT_EQ(send(m_cmd, frame.data(), frame.size(), MSG_NOSIGNAL), static_cast<ssize_t>(frame.size()));
    }
    void SendRaw(const Bytes& bytes) { send(m_cmd, bytes.data(), bytes.size(), MSG_NOSIGNAL); }

    std::optional<Command> Reply(std::chrono::milliseconds timeout = 2000ms) {
        uint8_t head[kFrameHeadSize];
        if (!ReadExactly(m_cmd, head, sizeof head, timeout)) return std::nullopt;
        Bytes frame(head, head + sizeof head);
        frame.resize(kFrameHeadSize + GetLe32(head + 4));
        if (!ReadExactly(m_cmd, frame.data() + kFrameHeadSize, frame.size() - kFrameHeadSize, timeout))
            return std::nullopt;
        Command reply;
        size_t consumed = 0;
        if (ParseReplyFrame(frame.data(), frame.size(), reply, consumed) != ParseStatus::Complete) return std::nullopt;
        return reply;
    }

    std::optional<Command> Get(uint8_t id, const Bytes& payload) {
        Send(id | 0x80, payload);
        return Reply();
    }

    std::optional<DataFrame> Frame(std::chrono::milliseconds timeout = 2000ms) {
        uint8_t head[kFrameHeadSize];
        if (!ReadExactly(m_data, head, sizeof head, timeout)) return std::nullopt;
        DataFrame f;
        f.type = GetLe32(head);
        f.payload.resize(GetLe32(head + 4));
        if (!ReadExactly(m_data, f.payload.data(), f.payload.size(), timeout + 5000ms)) return std::nullopt;
        return f;
    }

    // Frames that arrive within `window`.
    int CountFrames(std::chrono::milliseconds window) {
        const auto end = std::chrono::steady_clock::now() + window;
        int count = 0;
        for (;;) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
            if (left.count() <= 0 || !Frame(left)) return count;
            ++count;
        }
    }

private:
    int m_cmd;
    int m_data;
};

class Loopback : public ::testing::Test {
protected:
    void SetUp() override {
        CameraOptions options;
        options.ip = kCameraIp;
        options.announce = false;
        m_camera = std::make_unique<CameraSim>(options);
        ASSERT_TRUE(m_camera->Start());
    }

    // Stream on at `fps`, waiting until the camera confirms.
    void StreamOn(Host& host, uint8_t fps) {
        host.Send(0x04, {fps});
        host.Send(0x1B, {1});
        const auto state = host.Get(0x1B, {0, 0});
        ASSERT_TRUE(state.has_value());
        ASSERT_EQ(state->payload.at(1), 1);
    }

    std::unique_ptr<CameraSim> m_camera;
};

TEST_F(Loopback, AnswersGetsAndIgnoresSetsOverTcp) {
    Host host;
    ASSERT_TRUE(host.Connected());
    host.Send(0x02, {2});
    const auto mode = host.Get(0x02, {0});
    ASSERT_TRUE(mode.has_value()) << "the set had no reply ahead of this one";
    EXPECT_EQ(mode->id, 0x82);
    EXPECT_EQ(mode->payload, Bytes{2});
    const auto beat = host.Get(0x9C, {1});
    ASSERT_TRUE(beat.has_value());
    EXPECT_EQ(beat->id, 0x9C);
}

TEST_F(Loopback, StreamsDataFramesAtTheSetRate) {
    Host host;
    ASSERT_TRUE(host.Connected());
    EXPECT_FALSE(host.Frame(300ms).has_value()) << "no frames while the stream is off";
    StreamOn(host, 10);
    const auto first = host.Frame();
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(first->type, kDataFrameType);
    EXPECT_GT(first->payload.size(), 0u);
    EXPECT_LE(first->payload.size(), kMaxDataFramePayload);

    const int frames = host.CountFrames(2000ms);
    EXPECT_GE(frames, 10) << "10 fps for 2 s";
    EXPECT_LE(frames, 30) << "10 fps for 2 s";

    host.Send(0x1B, {0});
    ASSERT_TRUE(host.Get(0x1B, {0, 0}).has_value());
    host.CountFrames(300ms);  // frames already on the way
    EXPECT_EQ(host.CountFrames(500ms), 0) << "the stream stopped";
}

TEST_F(Loopback, TriggerModesSendOneFramePerTrigger) {
    Host host;
    ASSERT_TRUE(host.Connected());
    host.Send(0x02, {2});
    StreamOn(host, 30);
    EXPECT_EQ(host.CountFrames(300ms), 0) << "software-trigger mode waits for triggers";
    for (int i = 0; i < 3; ++i) host.Send(0x1F, {0});
    EXPECT_EQ(host.CountFrames(1000ms), 3);

    host.Send(0x02, {1});
    ASSERT_TRUE(host.Get(0x02, {0}).has_value());
    host.Send(0x1F, {0});
    EXPECT_EQ(host.CountFrames(300ms), 0) << "a software trigger does nothing in hardware mode";
    m_camera->TriggerHardware();
    m_camera->TriggerHardware();
    EXPECT_EQ(host.CountFrames(1000ms), 2);
}

TEST_F(Loopback, NewConnectionPairReplacesTheOld) {
    Host first;
    ASSERT_TRUE(first.Connected());
    ASSERT_TRUE(first.Get(0x9C, {1}).has_value());
    Host second;
    ASSERT_TRUE(second.Connected());
    EXPECT_TRUE(ClosedWithin(first.CommandFd(), 2000ms));
    EXPECT_TRUE(ClosedWithin(first.DataFd(), 2000ms));
    StreamOn(second, 30);
    EXPECT_TRUE(second.Frame().has_value());
}

TEST_F(Loopback, RefusedReconnectsFailUntilTheKnobIsCleared) {
    Host host;
    ASSERT_TRUE(host.Connected());
    m_camera->RefuseReconnects(true);
    m_camera->CloseConnections();
    EXPECT_TRUE(ClosedWithin(host.CommandFd(), 2000ms));
    EXPECT_TRUE(ClosedWithin(host.DataFd(), 2000ms));

    // Each port's server closes its listener on its own next pass.
    const auto refusedWithin = [](uint16_t port) {
        int fd = -1;
        for (int i = 0; i < 40 && (fd = Connect(kCameraIp, port)) >= 0; ++i) {
            close(fd);
            std::this_thread::sleep_for(50ms);
        }
        return fd < 0;
    };
    EXPECT_TRUE(refusedWithin(kCommandPort));
    EXPECT_TRUE(refusedWithin(kDataPort));

    m_camera->RefuseReconnects(false);
    std::unique_ptr<Host> again;
    for (int i = 0; i < 40; ++i) {
        again = std::make_unique<Host>();
        if (again->Connected()) break;
        std::this_thread::sleep_for(50ms);
    }
    ASSERT_TRUE(again->Connected());
    EXPECT_TRUE(again->Get(0x9C, {1}).has_value());
}

// Connects to the data port until it accepts or `attempts` are spent; true when it accepted.
bool DataPortAccepts(int attempts) {
    for (int i = 0; i < attempts; ++i) {
        const int fd = Connect(kCameraIp, kDataPort);
        if (fd >= 0) {
            close(fd);
            return true;
        }
        std::this_thread::sleep_for(50ms);
    }
    return false;
}

TEST_F(Loopback, DataPortFaultsLeaveTheCommandPortWorking) {
    struct Row {
        const char* name;
        void (*fault)(CameraSim&);
        int end;  // as PeerEnd gives it
    };
    const Row rows[] = {
        {"closed", [](CameraSim& c) { c.CloseDataConnection(); }, 0},
        {"reset", [](CameraSim& c) { c.ResetDataConnection(); }, ECONNRESET},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Host host;
        ASSERT_TRUE(host.Connected());
        StreamOn(host, 30);
        ASSERT_TRUE(host.Frame().has_value());
        row.fault(*m_camera);
        EXPECT_EQ(PeerEnd(host.DataFd(), 2000ms), row.end);
        EXPECT_EQ(PeerEnd(host.CommandFd(), 200ms), -1) << "the command connection stays";
        const auto beat = host.Get(0x9C, {1});
        ASSERT_TRUE(beat.has_value());
        EXPECT_EQ(beat->id, 0x9C);
        EXPECT_TRUE(DataPortAccepts(1)) << "the data port still takes connections";
    }
}

TEST_F(Loopback, RefusedDataPortKeepsCommandsAndAcceptsAgainOnceCleared) {
    Host host;
    ASSERT_TRUE(host.Connected());
    StreamOn(host, 30);
    ASSERT_TRUE(host.Frame().has_value()) << "the data connection was accepted";
    m_camera->RefuseDataConnections(true);
    m_camera->CloseDataConnection();
    EXPECT_EQ(PeerEnd(host.DataFd(), 2000ms), 0);
    // The listener may still be closing.
    bool refused = false;
    for (int i = 0; i < 40 && !refused; ++i) {
        const int fd = Connect(kCameraIp, kDataPort);
        refused = fd < 0;
        if (fd >= 0) close(fd);
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_TRUE(refused);
    const int cmd = Connect(kCameraIp, kCommandPort);
    EXPECT_GE(cmd, 0) << "the command port still takes connections";
    if (cmd >= 0) close(cmd);

    m_camera->RefuseReconnects(false);
    EXPECT_LT(Connect(kCameraIp, kDataPort), 0) << "clearing the other knob keeps the data port refused";
    m_camera->RefuseDataConnections(false);
    EXPECT_TRUE(DataPortAccepts(40));
}

TEST_F(Loopback, StalledCameraStopsAnsweringAndRecovers) {
    Host host;
    ASSERT_TRUE(host.Connected());
    m_camera->StallHeartbeat(true);
    host.Send(0x9C, {1});
    EXPECT_FALSE(host.Reply(500ms).has_value());
    m_camera->StallHeartbeat(false);
    const auto beat = host.Get(0x9C, {1});
    ASSERT_TRUE(beat.has_value());
    EXPECT_EQ(beat->id, 0x9C);
}

TEST_F(Loopback, CommandFaultKnobsReachTheWire) {
    Host host;
    ASSERT_TRUE(host.Connected());
    m_camera->SetWrongReplyId(0x9C, true);
    const auto wrong = host.Get(0x9C, {1});
    ASSERT_TRUE(wrong.has_value());
    EXPECT_NE(wrong->id, 0x9C);
    m_camera->SetNoReply(0x1B, true);
    host.Send(0x9B, {0, 0});
    EXPECT_FALSE(host.Reply(500ms).has_value());
    m_camera->RefuseSetting(0x04, std::nullopt, true);
    host.Send(0x04, {5});
    EXPECT_EQ(host.Get(0x04, {0})->payload, Bytes{30});
    ASSERT_GE(m_camera->CommandLog().size(), 4u);
    EXPECT_EQ(m_camera->CommandLog()[1].id, 0x9B);
}

TEST_F(Loopback, MalformedCommandFrameClosesTheConnection) {
    Host host;
    ASSERT_TRUE(host.Connected());
    host.SendRaw({0xAA, 0, 0, 0, 0xFF, 0xFF, 0, 0});
    EXPECT_TRUE(ClosedWithin(host.CommandFd(), 2000ms));
}

TEST_F(Loopback, DataFaultsAreWellFramedOrDeclareWhatTheySend) {
    Host host;
    ASSERT_TRUE(host.Connected());
    StreamOn(host, 30);
    const auto normal = host.Frame();
    ASSERT_TRUE(normal.has_value());

    m_camera->InjectDataFault(DataFault::ForeignType);
    m_camera->InjectDataFault(DataFault::TruncatedRecord);
    m_camera->InjectDataFault(DataFault::RandomPayload);
    m_camera->InjectDataFault(DataFault::OversizedLength);
    // Frames built before the faults were queued may still be on the way.
    std::optional<DataFrame> f;
    for (int i = 0; i < 5 && (f = host.Frame()) && f->type == kDataFrameType; ++i) {
    }
    ASSERT_TRUE(f.has_value());
    EXPECT_EQ(f->type, 3u);
    EXPECT_EQ(f->payload.size(), normal->payload.size());

    const auto truncated = host.Frame();
    ASSERT_TRUE(truncated.has_value());
    EXPECT_EQ(truncated->type, kDataFrameType);
    EXPECT_EQ(truncated->payload.size(), normal->payload.size() / 2);

    const auto random = host.Frame();
    ASSERT_TRUE(random.has_value());
    EXPECT_EQ(random->payload.size(), normal->payload.size());
    EXPECT_NE(random->payload, normal->payload);

    const auto oversized = host.Frame(5000ms);
    ASSERT_TRUE(oversized.has_value()) << "every declared byte arrives";
    EXPECT_EQ(oversized->payload.size(), kMaxDataFramePayload + 1);

    const auto after = host.Frame();
    ASSERT_TRUE(after.has_value());
    EXPECT_EQ(after->type, kDataFrameType);
    EXPECT_EQ(after->payload.size(), normal->payload.size());
}

TEST_F(Loopback, SlowCameraStillSendsWholeFrames) {
    Host host;
    ASSERT_TRUE(host.Connected());
    m_camera->SetSlowSending(2ms);
    StreamOn(host, 5);
    const auto f = host.Frame(10000ms);
    ASSERT_TRUE(f.has_value());
    EXPECT_EQ(f->type, kDataFrameType);
}

// Each row: a camera of its own with one knob set before the host connects, so that the knob
// falls on the first bytes of its data connection (or the first reply to the id).
struct OutOfStepRow {
    const char* name;
    void (*knob)(CameraSim&);
    void (*check)(Host&);
};

// Reads the first data frame, whole and well framed; true when it is.
bool WholeFrame(Host& host, Bytes* head = nullptr) {
    uint8_t h[kFrameHeadSize];
    if (!ReadExactly(host.DataFd(), h, sizeof h, 3000ms)) return false;
    if (head) head->assign(h, h + sizeof h);
    if (GetLe32(h) != kDataFrameType) return false;
    Bytes payload(GetLe32(h + 4));
    return ReadExactly(host.DataFd(), payload.data(), payload.size(), 5000ms);
}

// The first `offset` bytes come at once; the next one only after about `pause`.
void ExpectPauseAt(Host& host, size_t offset, std::chrono::milliseconds pause) {
    Bytes frame(std::max(offset + 1, kFrameHeadSize));
    ASSERT_TRUE(ReadExactly(host.DataFd(), frame.data(), offset, 3000ms));
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(ReadExactly(host.DataFd(), frame.data() + offset, frame.size() - offset, 3000ms));
    EXPECT_GE(std::chrono::steady_clock::now() - start, pause - 50ms);
    EXPECT_EQ(GetLe32(frame.data()), kDataFrameType);
    // The rest of the frame, then a good one.
    Bytes rest(kFrameHeadSize + GetLe32(frame.data() + 4) - frame.size());
    ASSERT_TRUE(ReadExactly(host.DataFd(), rest.data(), rest.size(), 5000ms));
    EXPECT_TRUE(WholeFrame(host));
}

TEST(LoopbackOutOfStep, EachKnobPutsOnTheWireWhatItSays) {
    const OutOfStepRow rows[] = {
        {"pause inside the head", [](CameraSim& c) { c.PauseNextDataFrame(600ms, 4); },
         [](Host& h) { ExpectPauseAt(h, 4, 600ms); }},
        {"pause inside the payload", [](CameraSim& c) { c.PauseNextDataFrame(600ms, 20); },
         [](Host& h) { ExpectPauseAt(h, 20, 600ms); }},
        {"unframed bytes", [](CameraSim& c) { c.SendUnframedData(1000); },
         [](Host& h) {
             Bytes noise(1000);
             ASSERT_TRUE(ReadExactly(h.DataFd(), noise.data(), noise.size(), 3000ms));
             EXPECT_NE(GetLe32(noise.data()), kDataFrameType);
             EXPECT_NE(noise, Bytes(1000, noise[0])) << "no constant filler";
             EXPECT_TRUE(WholeFrame(h)) << "a good frame follows";
         }},
        {"lone head", [](CameraSim& c) { c.SendLoneDataHead(0x1234, 0xF0000000u); },
         [](Host& h) {
             uint8_t head[kFrameHeadSize];
             ASSERT_TRUE(ReadExactly(h.DataFd(), head, sizeof head, 3000ms));
             EXPECT_EQ(GetLe32(head), 0x1234u);
             EXPECT_EQ(GetLe32(head + 4), 0xF0000000u);
             EXPECT_TRUE(WholeFrame(h)) << "no payload: a good frame follows at once";
         }},
        {"oversized reply", [](CameraSim& c) { c.OversizeNextReply(0x9C, 5000); },
         [](Host& h) {
             h.Send(0x9C, {1});
             uint8_t head[kFrameHeadSize];
             ASSERT_TRUE(ReadExactly(h.CommandFd(), head, sizeof head, 3000ms));
             EXPECT_EQ(GetLe32(head), kCommandFrameType);
             ASSERT_EQ(GetLe32(head + 4), 5000u);
             Bytes body(5000, 0xEE);
             ASSERT_TRUE(ReadExactly(h.CommandFd(), body.data(), body.size(), 3000ms));
             EXPECT_EQ(body[0], kCommandMarker);
             EXPECT_EQ(body[1], 0x9C) << "the reply's own start";
             EXPECT_EQ(body[4999], 0);
             const auto beat = h.Get(0x1C, {1});  // once only: the next reply is plain
             ASSERT_TRUE(beat.has_value());
             EXPECT_EQ(beat->id, 0x9C);
         }},
    };
    int n = 10;
    for (const OutOfStepRow& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string ip = "127.0.0." + std::to_string(n++);
        CameraOptions options;
        options.ip = ip;
        options.announce = false;
        CameraSim camera(options);
        row.knob(camera);
        ASSERT_TRUE(camera.Start());
        Host host(ip.c_str());
        ASSERT_TRUE(host.Connected());
        host.Send(0x04, {30});
        host.Send(0x1B, {1});
        row.check(host);
    }
}

TEST(LoopbackAnnouncer, AnnouncesTheCameraAndItsState) {
    const int udp = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(kDiscoveryPort);
    inet_pton(AF_INET, "127.0.0.1", &addr.sin_addr);
    ASSERT_EQ(bind(udp, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);

    CameraOptions options;
    options.ip = "127.0.0.3";
    options.serialNumber = "SIM0042";
    options.alias = "bench";
    options.deviceType = 0x10;
    CameraSim camera(options);
    ASSERT_TRUE(camera.Start());

    DiscoveryInfo expected;
    expected.ip = options.ip;
    expected.deviceType = options.deviceType;
    expected.serialNumber = options.serialNumber;
    expected.peerIp = "127.0.0.1";
    expected.alias = options.alias;
    auto receive = [udp](DiscoveryDatagram& d) {
        pollfd p{udp, POLLIN, 0};
        return poll(&p, 1, 2000) > 0 && recv(udp, d.data(), d.size(), 0) == static_cast<ssize_t>(d.size());
    };
    DiscoveryDatagram d{};
    ASSERT_TRUE(receive(d));
    EXPECT_EQ(d, BuildDiscoveryDatagram(expected));

    camera.SetAnnouncedState(AnnouncedState::Leaving);
    expected.state = AnnouncedState::Leaving;
    bool seen = false;
    for (int i = 0; i < 10 && !seen && receive(d); ++i) seen = d == BuildDiscoveryDatagram(expected);
    EXPECT_TRUE(seen);
    camera.Stop();
    close(udp);
}

}  // namespace
}  // namespace camsim
