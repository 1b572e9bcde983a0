// Hostile HTTP peers for the file server's tests and benchmark: a client that sends its
// request a byte at a time, and a measure of how long a plain GET waits for its reply.
#pragma once
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>

namespace testsupport {

// A connected TCP socket to ip:port, or -1.
inline int ConnectTcp(const char* ip, uint16_t port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    inet_pton(AF_INET, ip, &address.sin_addr);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Sends `atOnce`, then `bytes` one at a time, `every` apart, on its own thread, and notes
// when the server answers or closes the connection. Stops and closes when it goes.
class TricklingClient {
public:
    TricklingClient(const char* ip, uint16_t port, const std::string& atOnce, std::string bytes,
                    std::chrono::milliseconds every)
        : m_fd(ConnectTcp(ip, port)),
          m_bytes(std::move(bytes)),
          m_every(every),
          m_begun(std::chrono::steady_clock::now()) {
        if (m_fd < 0) return;
        send(m_fd, atOnce.data(), atOnce.size(), MSG_NOSIGNAL);
        m_thread = std::thread([this] { Run(); });
    }
    TricklingClient(const char* ip, uint16_t port, std::string bytes, std::chrono::milliseconds every)
        : TricklingClient(ip, port, std::string(), std::move(bytes), every) {}
    ~TricklingClient() {
        m_stop = true;
        if (m_thread.joinable()) m_thread.join();
        if (m_fd >= 0) close(m_fd);
    }
    TricklingClient(const TricklingClient&) = delete;
    TricklingClient& operator=(const TricklingClient&) = delete;

    bool Connected() const { return m_fd >= 0; }
    // Set once the server has sent something or closed the connection.
    bool Ended() const { return m_ended; }
    // What the server sent before it closed (a reply, or nothing).
    std::string Received() const { return m_ended ? m_received : std::string(); }
    // From the connect to the end, once ended.
    std::chrono::milliseconds Lasted() const { return m_lasted; }

private:
    void Run() {
        constexpr auto kStep = std::chrono::milliseconds(20);
        size_t next = 0;
        auto sendAt = std::chrono::steady_clock::now();
        while (!m_stop) {
            if (next < m_bytes.size() && std::chrono::steady_clock::now() >= sendAt) {
                send(m_fd, &m_bytes[next++], 1, MSG_NOSIGNAL);
                sendAt += m_every;
            }
            pollfd readable{m_fd, POLLIN, 0};
            if (poll(&readable, 1, static_cast<int>(kStep.count())) > 0) {
                char buffer[512];
                ssize_t got;
                while ((got = recv(m_fd, buffer, sizeof(buffer), MSG_DONTWAIT)) > 0) m_received.append(buffer, got);
                if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
                    m_lasted = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                                     m_begun);
                    m_ended = true;
                    return;
                }
            }
        }
    }

    const int m_fd;
    const std::string m_bytes;
    const std::chrono::milliseconds m_every;
    const std::chrono::steady_clock::time_point m_begun;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_ended{false};
    std::string m_received;
    std::chrono::milliseconds m_lasted{0};
    std::thread m_thread;
};

// Time from sending `request` on a fresh connection to the first byte of the reply; nothing
// when no byte came within `bound`.
inline std::optional<std::chrono::microseconds> FirstReplyByteAfter(const char* ip, uint16_t port,
                                                                    const std::string& request,
                                                                    std::chrono::milliseconds bound) {
    const int fd = ConnectTcp(ip, port);
    if (fd < 0) return std::nullopt;
    const auto sent = std::chrono::steady_clock::now();
    std::optional<std::chrono::microseconds> waited;
    if (send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size())) {
        pollfd readable{fd, POLLIN, 0};
        char byte = 0;
        if (poll(&readable, 1, static_cast<int>(bound.count())) > 0 && recv(fd, &byte, 1, 0) == 1) {
            waited = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - sent);
        }
    }
    close(fd);
    return waited;
}

}  // namespace testsupport
