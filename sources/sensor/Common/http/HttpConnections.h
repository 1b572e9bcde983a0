#pragma once
#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <list>
#include <thread>
#include <vector>

#include "Mutex.h"

// The file server's connections: a small fixed pool of workers, each serving one connection
// at a time, so that a few slow or idle clients never keep a camera's fetch waiting. Every
// request must arrive within its own time budget, however its bytes trickle in.
namespace httpconn {

// Workers serving connections at once, and connections taken in all (served or waiting for
// a worker); the ones beyond are answered 503 and closed at once.
constexpr size_t kWorkers = 8;
constexpr size_t kMaxConnections = 16;
// A request (head and body) must arrive within this, plus the time its bytes need at
// kMinBytesPerSecond; a reply gets the same.
constexpr auto kRequestBudget = std::chrono::seconds(3);
constexpr size_t kMinBytesPerSecond = 64 * 1024;
// Longest silence within a request or a reply.
constexpr auto kSilenceLimit = std::chrono::seconds(3);
// The request line and the headers, their blank line included.
constexpr size_t kMaxHeadBytes = 8 * 1024;
// How long a stop lets the replies in hand go on before it cuts them: a slow camera's fetch
// of a large file must not hold up the stop.
constexpr auto kStopGrace = std::chrono::milliseconds(200);
// Between the requests of one connection.
constexpr auto kKeepAliveWait = std::chrono::seconds(1);
constexpr size_t kRequestsPerConnection = 5;

class ConnectionPool {
public:
    // Serves one request from the stream; false ends the connection. `closeConnection`
    // asks for the last request of the connection, `connectionClosed` tells the client
    // asked for it.
    using ServeRequest = std::function<bool(httplib::Stream&, bool closeConnection, bool& connectionClosed)>;

    explicit ConnectionPool(ServeRequest serve);
    // Stops first.
    ~ConnectionPool();
    ConnectionPool(const ConnectionPool&) = delete;
    ConnectionPool& operator=(const ConnectionPool&) = delete;

    // Takes an accepted socket: queued for a worker, or refused when the pool is full or
    // stopping. Returns at once; the pool closes the socket.
    void Take(int sock) EXCLUDES(m_lock);
    // Cuts every connection that is not sending a reply at once, and the replies still in
    // hand after kStopGrace; returns once the workers have ended. Later sockets are refused.
    void Stop() EXCLUDES(m_lock);

    class Connection {
    public:
        explicit Connection(int sock) : sock(sock) {}
        const int sock;  // read without the lock: it never changes

    private:
        friend class ConnectionPool;
        // Guarded by the pool's m_lock, which GUARDED_BY cannot name from a nested class: only
        // SetReplying and IsReplying, which require it, touch it.
        bool replying = false;
    };

    // A worker's connection asks whether it may wait for or read another request; false
    // once the pool stops.
    bool MayRead(Connection& connection) EXCLUDES(m_lock);
    // The connection has begun its reply: a stop lets it finish.
    void Replying(Connection& connection) EXCLUDES(m_lock);

private:
    void Work() EXCLUDES(m_lock);
    void Serve(Connection& connection) EXCLUDES(m_lock);
    void Refuse(int sock);
    void SetReplying(Connection& connection, bool replying) REQUIRES(m_lock) { connection.replying = replying; }
    bool IsReplying(const Connection& connection) const REQUIRES(m_lock) { return connection.replying; }

    const ServeRequest m_serve;
    Mutex m_lock;
    std::condition_variable m_wake;
    std::condition_variable m_ended;  // a connection has left m_serving
    bool m_stopping GUARDED_BY(m_lock) = false;
    bool m_refusing GUARDED_BY(m_lock) = false;
    std::deque<int> m_waiting GUARDED_BY(m_lock);
    std::list<Connection> m_serving GUARDED_BY(m_lock);
    std::vector<std::thread> m_workers;  // started by the constructor, joined by Stop
};

}  // namespace httpconn
