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
    bool IsOpen() const { return m_fd >= 0; }
    int Fd() const { return m_fd; }
    // Accepts a pending connection; -1 when none is pending.
    int AcceptPending();

    const std::string& Ip() const { return m_ip; }
    uint16_t Port() const { return m_port; }

private:
    const std::string m_ip;
    const uint16_t m_port;
    int m_fd = -1;
};

}  // namespace camsim
