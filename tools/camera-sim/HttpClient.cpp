#include "HttpClient.h"

#include <httplib.h>

namespace camsim {
namespace {

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

HttpClient::Response HttpClient::Post(const std::string& target, const std::string& body) {
    return From(m_client->Post(target.c_str(), body, "application/octet-stream"));
}

}  // namespace camsim
