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

#include "Framing.h"

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

TEST(CameraSimProgram, PrintsWhatTheHostDoesAndStopsOnSigterm) {
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        dup2(out[1], STDOUT_FILENO);
        dup2(out[1], STDERR_FILENO);
        execl(CAMERA_SIM_BINARY, CAMERA_SIM_BINARY, "--ip", "127.0.0.4", "--sn", "SIM0007", "--scene",
              "box:2000,1000", "--record", "raw", "--type", "0x12", "--colour", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    std::string seen;
    ASSERT_TRUE(WaitForOutput(out[0], seen, "ready", 5000ms)) << seen;

    const int cmd = ConnectTo(9008);
    const int data = ConnectTo(9009);
    ASSERT_GE(cmd, 0);
    ASSERT_GE(data, 0);
    const uint8_t on = 1;
    const auto frame = camsim::BuildCommandFrame(0x1B, &on, 1);
    ASSERT_EQ(send(cmd, frame.data(), frame.size(), MSG_NOSIGNAL), static_cast<ssize_t>(frame.size()));
    EXPECT_TRUE(WaitForOutput(out[0], seen, "command 0x1B [01]", 5000ms)) << seen;
    EXPECT_TRUE(WaitForOutput(out[0], seen, "stream on", 5000ms)) << seen;
    EXPECT_NE(seen.find("command connection accepted"), std::string::npos) << seen;
    EXPECT_NE(seen.find("data connection accepted"), std::string::npos) << seen;
    pollfd p{data, POLLIN, 0};
    uint8_t head[8] = {};
    ASSERT_GT(poll(&p, 1, 5000), 0) << "a raw-and-colour frame arrives";
    ASSERT_EQ(recv(data, head, sizeof head, MSG_WAITALL), 8);
    EXPECT_EQ(camsim::GetU32(head), 1u);
    EXPECT_GT(camsim::GetU32(head + 4), 0u);

    kill(child, SIGTERM);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    close(cmd);
    close(data);
    close(out[0]);
}

}  // namespace
