#include "HttpConnections.h"

#include "log.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#if defined(__SANITIZE_THREAD__)
// The HTTP library is not built for the race detector, which then cannot see its own
// synchronisation (the guards of its function-local statics) once requests run side by
// side: what the library does inside itself is not checked.
extern "C" __attribute__((visibility("default"))) const char* __tsan_default_suppressions() {
    return "called_from_lib:libcpp-httplib.so\n";
}
#endif

namespace httpconn {
namespace {

using Clock = std::chrono::steady_clock;

constexpr const char kRefusal[] = "HTTP/1.1 503 Service Unavailable\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
constexpr const char kHeadEnd[] = "\r\n\r\n";
constexpr size_t kHeadEndLength = sizeof(kHeadEnd) - 1;

void AddressText(const sockaddr_storage& address, std::string& ip, int& port) {
    char text[INET6_ADDRSTRLEN] = "";
    if (address.ss_family == AF_INET) {
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
        inet_ntop(AF_INET, &v4.sin_addr, text, sizeof(text));
        port = ntohs(v4.sin_port);
    } else if (address.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
        inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof(text));
        port = ntohs(v6.sin6_port);
    }
    ip = text;
}

// Waits up to `limit` for `events`; false on time-out or error.
bool WaitFor(int sock, short events, Clock::duration limit) {
    const auto until = Clock::now() + limit;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd ready{sock, events, 0};
        const int result = poll(&ready, 1, static_cast<int>(left.count()));
        if (result > 0) {
            return true;
        }
        if (result == 0 || errno != EINTR) {
            return false;
        }
    }
}

// One connection's socket as the library reads and writes it. Each request, and its reply,
// must keep within its budget: the request's start plus kRequestBudget plus the time its
// bytes need at kMinBytesPerSecond, with no silence longer than kSilenceLimit. The head
// (request line and headers) is bounded by kMaxHeadBytes.
class DeadlineStream : public httplib::Stream {
public:
    DeadlineStream(ConnectionPool& pool, ConnectionPool::Connection& connection)
        : m_pool(pool), m_connection(connection) {}

    void BeginRequest() {
        m_begun = Clock::now();
        m_transferred = 0;
        m_headMatched = 0;
        m_headBytes = 0;
        m_replyBegun = false;
        m_cut = nullptr;
    }
    bool HasBuffered() const { return m_used < m_filled; }
    // Why the request ended early, for the log; nullptr when it did not.
    const char* Cut() const { return m_cut; }

    bool is_readable() const override { return HasBuffered() || WaitFor(m_connection.sock, POLLIN, Allowed()); }
    bool is_writable() const override { return WaitFor(m_connection.sock, POLLOUT, Allowed()); }

    ssize_t read(char* ptr, size_t size) override {
        if (!HasBuffered() && !Fill()) {
            return -1;
        }
        const size_t count = std::min(size, m_filled - m_used);
        if (!CountHead(m_buffer + m_used, count)) {
            m_cut = "head too large";
            return -1;
        }
        memcpy(ptr, m_buffer + m_used, count);
        m_used += count;
        return static_cast<ssize_t>(count);
    }

    ssize_t write(const char* ptr, size_t size) override {
        if (!m_replyBegun) {
            m_replyBegun = true;
            m_pool.Replying(m_connection);
        }
        for (;;) {
            if (!is_writable()) {
                m_cut = "reply not taken in time";
                return -1;
            }
            const ssize_t sent = send(m_connection.sock, ptr, size, MSG_DONTWAIT | MSG_NOSIGNAL);
            if (sent >= 0) {
                m_transferred += static_cast<size_t>(sent);
                return sent;
            }
            if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                return -1;
            }
        }
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        sockaddr_storage address{};
        socklen_t length = sizeof(address);
        if (getpeername(m_connection.sock, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
            AddressText(address, ip, port);
        }
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        sockaddr_storage address{};
        socklen_t length = sizeof(address);
        if (getsockname(m_connection.sock, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
            AddressText(address, ip, port);
        }
    }
    socket_t socket() const override { return m_connection.sock; }

private:
    // What is left of the budget, at most kSilenceLimit.
    Clock::duration Allowed() const {
        const auto earned = std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(static_cast<double>(m_transferred) / kMinBytesPerSecond));
        const Clock::duration left = m_begun + kRequestBudget + earned - Clock::now();
        return std::min<Clock::duration>(left, kSilenceLimit);
    }

    bool Fill() {
        m_used = 0;
        m_filled = 0;
        for (;;) {
            if (!WaitFor(m_connection.sock, POLLIN, Allowed())) {
                m_cut = "request not complete in time";
                return false;
            }
            const ssize_t got = recv(m_connection.sock, m_buffer, sizeof(m_buffer), MSG_DONTWAIT);
            if (got > 0) {
                m_filled = static_cast<size_t>(got);
                m_transferred += m_filled;
                return true;
            }
            if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
                return false;
            }
        }
    }

    // Follows the head through the bytes handed out; false once it grows beyond its bound.
    bool CountHead(const char* bytes, size_t count) {
        for (size_t i = 0; i < count && m_headMatched < kHeadEndLength; ++i) {
            if (++m_headBytes > kMaxHeadBytes) {
                return false;
            }
            if (bytes[i] == kHeadEnd[m_headMatched]) {
                ++m_headMatched;
            } else {
                m_headMatched = bytes[i] == kHeadEnd[0] ? 1 : 0;
            }
        }
        return true;
    }

    ConnectionPool& m_pool;
    ConnectionPool::Connection& m_connection;
    Clock::time_point m_begun = Clock::now();
    size_t m_transferred = 0;
    size_t m_headMatched = 0;
    size_t m_headBytes = 0;
    bool m_replyBegun = false;
    const char* m_cut = nullptr;
    char m_buffer[4096];
    size_t m_used = 0;
    size_t m_filled = 0;
};

std::string PeerText(const DeadlineStream& stream) {
    std::string ip;
    int port = 0;
    stream.get_remote_ip_and_port(ip, port);
    return ip + ":" + std::to_string(port);
}

}  // namespace

ConnectionPool::ConnectionPool(ServeRequest serve) : m_serve(std::move(serve)) {
    for (size_t i = 0; i < kWorkers; ++i) {
        m_workers.emplace_back([this] { Work(); });
    }
}

ConnectionPool::~ConnectionPool() { Stop(); }

void ConnectionPool::Take(int sock) {
    UniqueLock lock(m_lock);
    if (m_stopping || m_waiting.size() + m_serving.size() >= kMaxConnections) {
        const bool first = !m_refusing;
        m_refusing = true;
        lock.unlock();
        if (first) {
            LOG_PRINTF("connections:%zu at most, refusing new ones.", kMaxConnections);
        }
        Refuse(sock);
        return;
    }
    m_refusing = false;
    m_waiting.push_back(sock);
    lock.unlock();
    m_wake.notify_one();
}

void ConnectionPool::Stop() {
    {
        UniqueLock lock(m_lock);
        m_stopping = true;
        for (const int sock : m_waiting) {
            close(sock);
        }
        m_waiting.clear();
        // Wakes the workers' waits and reads; the sockets stay theirs to close.
        for (const Connection& connection : m_serving) {
            if (!IsReplying(connection)) {
                shutdown(connection.sock, SHUT_RDWR);
            }
        }
        m_wake.notify_all();
        if (!m_ended.wait_for(lock.Native(), kStopGrace, [this]() REQUIRES(m_lock) { return m_serving.empty(); })) {
            LOG_PRINTF("stop: %zu replies cut after %lld ms.", m_serving.size(),
                       static_cast<long long>(kStopGrace.count()));
            for (const Connection& connection : m_serving) {
                shutdown(connection.sock, SHUT_RDWR);
            }
        }
    }
    for (std::thread& worker : m_workers) {
        if (worker.joinable()) {
            worker.join();
        }
    }
}

bool ConnectionPool::MayRead(Connection& connection) {
    LockGuard lock(m_lock);
    SetReplying(connection, false);
    return !m_stopping;
}

void ConnectionPool::Replying(Connection& connection) {
    LockGuard lock(m_lock);
    SetReplying(connection, true);
}

void ConnectionPool::Refuse(int sock) {
    // Best effort, never waiting: the client learns why, or sees the connection close.
    send(sock, kRefusal, sizeof(kRefusal) - 1, MSG_DONTWAIT | MSG_NOSIGNAL);
    close(sock);
}

void ConnectionPool::Work() {
    for (;;) {
        UniqueLock lock(m_lock);
        m_wake.wait(lock.Native(), [this]() REQUIRES(m_lock) { return m_stopping || !m_waiting.empty(); });
        if (m_stopping) {
            return;
        }
        Connection& connection = *m_serving.insert(m_serving.end(), Connection{m_waiting.front()});
        m_waiting.pop_front();
        lock.unlock();
        Serve(connection);
        lock.lock();
        const int sock = connection.sock;
        m_serving.remove_if([&connection](const Connection& other) { return &other == &connection; });
        m_ended.notify_all();
        lock.unlock();
        shutdown(sock, SHUT_RDWR);
        close(sock);
    }
}

void ConnectionPool::Serve(Connection& connection) {
    DeadlineStream stream(*this, connection);
    for (size_t left = kRequestsPerConnection; left > 0; --left) {
        if (!MayRead(connection) || !(stream.HasBuffered() || WaitFor(connection.sock, POLLIN, kKeepAliveWait))) {
            return;
        }
        stream.BeginRequest();
        bool connectionClosed = false;
        const bool served = m_serve(stream, left == 1, connectionClosed);
        if (stream.Cut() != nullptr) {
            LOG_PRINTF("connection from %s cut: %s.", PeerText(stream).c_str(), stream.Cut());
        }
        if (!served || connectionClosed) {
            return;
        }
    }
}

}  // namespace httpconn
