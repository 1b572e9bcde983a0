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
    : client_(std::make_unique<httplib::Client>(host, port)) {
    client_->set_connection_timeout(timeout);
    client_->set_read_timeout(timeout);
    client_->set_write_timeout(timeout);
    client_->set_keep_alive(false);
}

HttpClient::~HttpClient() = default;

HttpClient::Response HttpClient::Get(const std::string& path) { return From(client_->Get(path.c_str())); }

HttpClient::Response HttpClient::Post(const std::string& target, const std::string& body) {
    return From(client_->Post(target.c_str(), body, "application/octet-stream"));
}

}  // namespace camsim
