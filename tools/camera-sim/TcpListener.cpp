#include "TcpListener.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace camsim {

TcpListener::TcpListener(std::string ip, uint16_t port) : m_ip(std::move(ip)), m_port(port) {}

TcpListener::~TcpListener() { Close(); }

bool TcpListener::Open() {
    if (m_fd >= 0) return true;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(m_port);
    if (inet_pton(AF_INET, m_ip.c_str(), &addr.sin_addr) != 1) return false;
    m_fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_fd < 0) return false;
    const int on = 1;
    if (setsockopt(m_fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
        bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(m_fd, 4) != 0) {
        Close();
        return false;
    }
    return true;
}

void TcpListener::Close() {
    if (m_fd >= 0) close(m_fd);
    m_fd = -1;
}

int TcpListener::AcceptPending() {
    if (m_fd < 0) return -1;
    return accept4(m_fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
}

}  // namespace camsim
