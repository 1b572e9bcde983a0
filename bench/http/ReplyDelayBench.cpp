// Whether the file server's replies to small requests wait for the camera to acknowledge
// something first: the time from a request, sent whole, to the last byte of its reply, for the
// camera's upload chunks and for small fetches, each on a kept-alive connection as a camera
// sends them one after another. A reply sent in two pieces (head, then body) whose second piece
// waits for the acknowledgement of the first costs the camera's delayed acknowledgement (40 ms
// on Linux). Listens on 127.0.0.1: run it through tests/support/netns-run.
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "SlowClients.h"
#include "TempDir.h"
#include "WebServer.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr unsigned short kPort = 18181;
constexpr const char* kLoopback = "127.0.0.1";
constexpr int kExchanges = 20;
constexpr size_t kChunkBytes = 1024;
constexpr int kReplyWaitMs = 5000;

// A camera's connection: each request goes out in one piece, without delay on its side.
class Camera {
public:
    Camera() : m_fd(testsupport::ConnectTcp(kLoopback, kPort)) {
        m_ok = m_fd >= 0;
        const int on = 1;
        if (m_ok) setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
    }
    ~Camera() {
        if (m_ok) close(m_fd);
    }
    Camera(const Camera&) = delete;
    Camera& operator=(const Camera&) = delete;

    // Milliseconds to the reply's last byte; negative when no whole reply came.
    double Exchange(const std::string& request) {
        if (!m_ok) return -1;
        const auto start = Clock::now();
        if (send(m_fd, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size())) return -1;
        std::string reply;
        for (;;) {
            const size_t headEnd = reply.find("\r\n\r\n");
            if (headEnd != std::string::npos) {
                const size_t field = reply.find("Content-Length: ");
                const size_t length =
                    field == std::string::npos ? 0 : std::strtoul(reply.c_str() + field + 16, nullptr, 10);
                if (reply.size() >= headEnd + 4 + length) break;
            }
            pollfd p{m_fd, POLLIN, 0};
            char buf[4096];
            const ssize_t n = poll(&p, 1, kReplyWaitMs) > 0 ? recv(m_fd, buf, sizeof(buf), 0) : -1;
            if (n <= 0) return -1;
            reply.append(buf, static_cast<size_t>(n));
        }
        return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    }

private:
    int m_fd = -1;
    bool m_ok = false;
};

std::string UploadRequest(size_t offset) {
    const std::string body(kChunkBytes, 'u');
    const unsigned checksum = static_cast<unsigned>('u') * kChunkBytes & 0xFF;
    return "POST /upload?name=config.json&offset=" + std::to_string(offset) + "&checksum=" + std::to_string(checksum) +
           "&fileDatalength=" + std::to_string(kChunkBytes) +
           " HTTP/1.1\r\nHost: host\r\nContent-Length: " + std::to_string(kChunkBytes) + "\r\n\r\n" + body;
}

const std::string kFetch = "GET /small.json HTTP/1.1\r\nHost: host\r\n\r\n";

// The server serves a few requests a connection; a new one is made when it ends one.
void Measure(const char* label, const std::function<std::string(int)>& request) {
    std::vector<double> took;
    auto camera = std::make_unique<Camera>();
    for (int i = 0; i < kExchanges; ++i) {
        double ms = camera->Exchange(request(i));
        if (ms < 0) {
            camera = std::make_unique<Camera>();
            ms = camera->Exchange(request(i));
        }
        if (ms >= 0) took.push_back(ms);
    }
    std::sort(took.begin(), took.end());
    if (took.empty()) {
        std::printf("%-34s no reply\n", label);
        return;
    }
    std::printf("%-34s median %8.3f ms  max %8.3f ms  (%zu exchanges)\n", label, took[took.size() / 2], took.back(),
                took.size());
}

}  // namespace

int main() {
    testsupport::TempDir dir;
    testsupport::WriteFile(dir.File("small.json"), std::string(300, 'j'));
    WebServer server(0);
    server.setPort(kPort);
    server.m_host = kLoopback;
    server.m_uploadDir = dir.Path() + "/";
    server.m_uploadName = "config.json";
    server.setDocumentRoot(dir.Path().c_str());
    if (server.reStart() != 0) {
        std::fprintf(stderr, "cannot listen on %s:%u\n", kLoopback, kPort);
        return 1;
    }
    Measure("upload chunk (1 KiB), kept alive:",
            [](int i) { return UploadRequest(static_cast<size_t>(i) * kChunkBytes); });
    Measure("small fetch (300 B), kept alive:", [](int) { return kFetch; });
    server.stop();
    return 0;
}
