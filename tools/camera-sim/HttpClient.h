// A small blocking HTTP client for the camera's file transfers; every step is bounded.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace httplib {
class Client;
}

namespace camsim {

class HttpClient {
public:
    // Bounds a host server that does not answer; on loopback it answers at once.
    static constexpr std::chrono::milliseconds kHostTimeout{2000};

    struct Response {
        int status = 0;  // 0 when nothing usable came back
        std::string body;
    };

    // `timeout` bounds the connect and each read and write.
    HttpClient(const std::string& host, uint16_t port, std::chrono::milliseconds timeout);
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    Response Get(const std::string& path);
    // Takes the body in pieces of at most 4 KiB, pausing `piecePause` after each; `stop`
    // ends the fetch (the response is then unusable).
    Response Get(const std::string& path, std::chrono::milliseconds piecePause, const std::function<bool()>& stop);
    // `target` is the path with its query.
    Response Post(const std::string& target, const std::string& body);

private:
    std::unique_ptr<httplib::Client> m_client;
};

}  // namespace camsim
