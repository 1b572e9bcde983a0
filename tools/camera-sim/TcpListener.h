// A listening TCP socket on one address and port whose waits are bounded.
#pragma once

#include <cstdint>
#include <string>

namespace camsim {

class TcpListener {
public:
    TcpListener(std::string ip, uint16_t port);
    ~TcpListener();
    TcpListener(const TcpListener&) = delete;
    TcpListener& operator=(const TcpListener&) = delete;

    bool Open();  // SO_REUSEADDR, bind, listen; false on failure
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    int Fd() const { return fd_; }
    // Accepts a pending connection; -1 when none is pending.
    int AcceptPending();

    const std::string& Ip() const { return ip_; }
    uint16_t Port() const { return port_; }

private:
    const std::string ip_;
    const uint16_t port_;
    int fd_ = -1;
};

}  // namespace camsim
