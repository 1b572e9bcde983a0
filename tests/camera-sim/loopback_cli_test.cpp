#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "Eventually.h"
#include "Framing.h"
#include "LittleEndian.h"
#include "TempDir.h"

namespace {

using namespace std::chrono_literals;

int ConnectTo(uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    inet_pton(AF_INET, "127.0.0.4", &addr.sin_addr);
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) return fd;
    close(fd);
    return -1;
}

// Reads the child's output until `text` shows up or `timeout` passes.
bool WaitForOutput(int fd, std::string& seen, const std::string& text, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    char buffer[512];
    while (seen.find(text) == std::string::npos) {
        if (std::chrono::steady_clock::now() >= end) return false;
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) continue;
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) return false;
        seen.append(buffer, static_cast<size_t>(n));
    }
    return true;
}

// Starts the program on 127.0.0.4 with `args`; its output (stdout and stderr) goes to *output.
pid_t StartProgram(std::vector<const char*> args, int* output) {
    int out[2];
    if (pipe(out) != 0) return -1;
    args.insert(args.begin(), {CAMERA_SIM_BINARY, "--ip", "127.0.0.4"});
    args.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        dup2(out[1], STDOUT_FILENO);
        dup2(out[1], STDERR_FILENO);
        execv(CAMERA_SIM_BINARY, const_cast<char* const*>(args.data()));
        _exit(127);
    }
    close(out[1]);
    *output = out[0];
    return child;
}

// Connects to both ports and switches the stream on.
bool ConnectAndStream(int& cmd, int& data) {
    cmd = ConnectTo(9008);
    data = ConnectTo(9009);
    const uint8_t on = 1;
    const auto frame = camsim::BuildCommandFrame(0x1B, &on, 1);
    return cmd >= 0 && data >= 0 &&
           send(cmd, frame.data(), frame.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(frame.size());
}

// The program on 127.0.0.4, ready, with both ports connected and the stream switched on.
class CameraSimProgram : public ::testing::Test {
protected:
    void Start(std::vector<const char*> args) {
        child = StartProgram(std::move(args), &output);
        ASSERT_GE(child, 0);
        ASSERT_TRUE(WaitForOutput(output, seen, "ready", 5000ms)) << seen;
        ASSERT_TRUE(ConnectAndStream(cmd, data));
    }
    // SIGTERM, then the program's exit status as waitpid gives it.
    int Stop() {
        kill(child, SIGTERM);
        int status = 0;
        EXPECT_EQ(waitpid(child, &status, 0), child);
        child = -1;
        return status;
    }
    void TearDown() override {
        if (child > 0) Stop();
        for (int fd : {cmd, data, output}) {
            if (fd >= 0) close(fd);
        }
    }

    pid_t child = -1;
    int output = -1;
    int cmd = -1;
    int data = -1;
    std::string seen;
};

TEST_F(CameraSimProgram, PrintsWhatTheHostDoesAndStopsOnSigterm) {
    Start({"--sn", "SIM0007", "--scene", "box:2000,1000", "--record", "raw", "--type", "0x12", "--colour"});
    EXPECT_TRUE(WaitForOutput(output, seen, "command 0x1B [01]", 5000ms)) << seen;
    EXPECT_TRUE(WaitForOutput(output, seen, "stream on", 5000ms)) << seen;
    EXPECT_NE(seen.find("command connection accepted"), std::string::npos) << seen;
    EXPECT_NE(seen.find("data connection accepted"), std::string::npos) << seen;
    pollfd p{data, POLLIN, 0};
    uint8_t head[8] = {};
    ASSERT_GT(poll(&p, 1, 5000), 0) << "a raw-and-colour frame arrives";
    ASSERT_EQ(recv(data, head, sizeof head, MSG_WAITALL), 8);
    EXPECT_EQ(camsim::GetLe32(head), 1u);
    EXPECT_GT(camsim::GetLe32(head + 4), 0u);

    const int status = Stop();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

// A ToF-and-colour type sends colour records without being asked to.
TEST_F(CameraSimProgram, ColourTypeSendsColourRecords) {
    Start({"--type", "0x13"});
    pollfd p{data, POLLIN, 0};
    ASSERT_GT(poll(&p, 1, 5000), 0);
    uint8_t head[8] = {};
    ASSERT_EQ(recv(data, head, sizeof head, MSG_WAITALL), 8);
    std::vector<uint8_t> payload(camsim::GetLe32(head + 4));
    ASSERT_EQ(recv(data, payload.data(), payload.size(), MSG_WAITALL), static_cast<ssize_t>(payload.size()));
    std::string types;
    for (size_t at = 0; at + 5 <= payload.size(); at += 5 + (camsim::GetLe32(&payload[at]) >> 8)) {
        types += static_cast<char>(payload[at]);
    }
    EXPECT_NE(types.find('4'), std::string::npos) << "no 640 x 480 colour record";
}

// Sends a heartbeat and waits up to `wait` for its reply.
bool HeartbeatAnswered(int fd, std::chrono::milliseconds wait) {
    const uint8_t payload[] = {0x01};
    const auto frame = camsim::BuildCommandFrame(0x9C, payload, sizeof payload);
    if (send(fd, frame.data(), frame.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(frame.size())) return false;
    std::vector<uint8_t> bytes;
    const auto end = std::chrono::steady_clock::now() + wait;
    while (std::chrono::steady_clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 50) <= 0) continue;
        uint8_t chunk[256];
        const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0) return false;
        bytes.insert(bytes.end(), chunk, chunk + n);
        camsim::Command reply;
        size_t used = 0;
        if (camsim::ParseReplyFrame(bytes.data(), bytes.size(), reply, used) == camsim::ParseStatus::Complete)
            return reply.id == 0x9C;
    }
    return false;
}

bool ClosedByPeer(int fd, std::chrono::milliseconds wait) {
    pollfd p{fd, POLLIN, 0};
    char byte;
    return poll(&p, 1, static_cast<int>(wait.count())) > 0 && recv(fd, &byte, 1, MSG_DONTWAIT) == 0;
}

// A UDP socket where the camera's announcements arrive.
int DiscoveryListener() {
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(9007);
    inet_pton(AF_INET, "127.0.0.1", &addr.sin_addr);
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) return fd;
    close(fd);
    return -1;
}

bool DatagramWithin(int fd, std::chrono::milliseconds wait) {
    pollfd p{fd, POLLIN, 0};
    uint8_t datagram[128];
    if (poll(&p, 1, static_cast<int>(wait.count())) <= 0) return false;
    return recv(fd, datagram, sizeof datagram, 0) > 0;
}

void DrainDatagrams(int fd) {
    uint8_t datagram[128];
    while (recv(fd, datagram, sizeof datagram, MSG_DONTWAIT) > 0) {
    }
}

// The knobs are turned in a running program through its named pipe, one writer per line.
TEST(CameraSimControl, TurnsKnobsFromItsControlPipe) {
    testsupport::TempDir dir;
    const std::string fifo = dir.File("control");
    const int announcements = DiscoveryListener();
    ASSERT_GE(announcements, 0);
    int out = -1;
    const pid_t child = StartProgram({"--control", fifo.c_str(), "--knob", "announce off"}, &out);
    ASSERT_GE(child, 0);
    std::string seen;
    ASSERT_TRUE(WaitForOutput(out, seen, "ready", 5000ms)) << seen;
    const auto control = [&](const std::string& line) {
        const int writer = open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(writer, 0);
        const std::string text = line + "\n";
        ASSERT_EQ(write(writer, text.data(), text.size()), static_cast<ssize_t>(text.size()));
        close(writer);
    };
    const auto acknowledged = [&](const std::string& line) {
        return WaitForOutput(out, seen, "control: " + line + "\n", 5000ms);
    };

    EXPECT_FALSE(DatagramWithin(announcements, 1000ms)) << "--knob 'announce off' holds from the start";
    control("announce on");
    ASSERT_TRUE(acknowledged("announce on")) << seen;
    EXPECT_TRUE(DatagramWithin(announcements, 2000ms));
    control("announce off");
    ASSERT_TRUE(acknowledged("announce off")) << seen;
    DrainDatagrams(announcements);
    EXPECT_FALSE(DatagramWithin(announcements, 1000ms));

    int cmd = ConnectTo(9008);
    ASSERT_GE(cmd, 0);
    EXPECT_TRUE(HeartbeatAnswered(cmd, 2000ms));
    control("stall-heartbeat on");
    ASSERT_TRUE(acknowledged("stall-heartbeat on")) << seen;
    EXPECT_FALSE(HeartbeatAnswered(cmd, 500ms));
    control("stall-heartbeat off");
    ASSERT_TRUE(acknowledged("stall-heartbeat off")) << seen;
    EXPECT_TRUE(HeartbeatAnswered(cmd, 2000ms));

    control("refuse command on");
    ASSERT_TRUE(acknowledged("refuse command on")) << seen;
    // The second reply comes from a pass of the server that began after the knob was set.
    EXPECT_TRUE(HeartbeatAnswered(cmd, 2000ms));
    EXPECT_TRUE(HeartbeatAnswered(cmd, 2000ms)) << "the open connection stays";
    EXPECT_LT(ConnectTo(9008), 0);
    control("refuse command off");
    ASSERT_TRUE(acknowledged("refuse command off")) << seen;
    int again = -1;
    EXPECT_TRUE(testsupport::Eventually([&] { return (again = ConnectTo(9008)) >= 0; }, 2000ms));
    if (again >= 0) {
        close(cmd);
        cmd = again;
    }
    EXPECT_TRUE(HeartbeatAnswered(cmd, 2000ms));

    const int data = ConnectTo(9009);
    ASSERT_GE(data, 0);
    ASSERT_TRUE(WaitForOutput(out, seen, "data connection accepted", 5000ms)) << seen;
    control("close data");
    ASSERT_TRUE(acknowledged("close data")) << seen;
    EXPECT_TRUE(ClosedByPeer(data, 2000ms));
    EXPECT_TRUE(HeartbeatAnswered(cmd, 2000ms)) << "the command port goes on";
    close(data);

    control("close command");
    ASSERT_TRUE(acknowledged("close command")) << seen;
    EXPECT_TRUE(ClosedByPeer(cmd, 2000ms));

    control("silent 0x1B");
    EXPECT_TRUE(WaitForOutput(out, seen, "control refused: silent: expected \"silent ID on|off\"", 5000ms)) << seen;

    kill(child, SIGTERM);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_NE(access(fifo.c_str(), F_OK), 0) << "the pipe it made is removed";
    close(cmd);
    close(announcements);
    close(out);
}

}  // namespace
