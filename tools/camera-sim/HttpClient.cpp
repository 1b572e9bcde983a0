#include "HttpClient.h"

#include <httplib.h>
#include <sys/socket.h>

#include <thread>

namespace camsim {
namespace {

constexpr int kSlowReceiveBuffer = 64 * 1024;

HttpClient::Response From(const httplib::Result& result) {
    if (!result) return {};
    return {result->status, result->body};
}

}  // namespace

HttpClient::HttpClient(const std::string& host, uint16_t port, std::chrono::milliseconds timeout)
    : m_client(std::make_unique<httplib::Client>(host, port)) {
    m_client->set_connection_timeout(timeout);
    m_client->set_read_timeout(timeout);
    m_client->set_write_timeout(timeout);
    m_client->set_keep_alive(false);
}

HttpClient::~HttpClient() = default;

HttpClient::Response HttpClient::Get(const std::string& path) { return From(m_client->Get(path.c_str())); }

HttpClient::Response HttpClient::Get(const std::string& path, std::chrono::milliseconds piecePause,
                                     const std::function<bool()>& stop) {
    // A small camera's buffer: the host's reply waits on its pace, not in the loopback's buffers.
    m_client->set_socket_options([](socket_t sock) {
        const int size = kSlowReceiveBuffer;
        setsockopt(sock, SOL_SOCKET, SO_RCVBUF, &size, sizeof(size));
    });
    std::string body;
    const httplib::Result result = m_client->Get(path.c_str(), [&](const char* data, size_t length) {
        body.append(data, length);
        std::this_thread::sleep_for(piecePause);
        return !stop();
    });
    if (!result) return {};
    return {result->status, std::move(body)};
}

HttpClient::Response HttpClient::Post(const std::string& target, const std::string& body) {
    return From(m_client->Post(target.c_str(), body, "application/octet-stream"));
}

}  // namespace camsim
