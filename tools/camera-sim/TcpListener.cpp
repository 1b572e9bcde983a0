#include "TcpListener.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace camsim {

TcpListener::TcpListener(std::string ip, uint16_t port) : ip_(std::move(ip)), port_(port) {}

TcpListener::~TcpListener() { Close(); }

bool TcpListener::Open() {
    if (fd_ >= 0) return true;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port_);
    if (inet_pton(AF_INET, ip_.c_str(), &addr.sin_addr) != 1) return false;
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd_ < 0) return false;
    const int on = 1;
    if (setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
        bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd_, 4) != 0) {
        Close();
        return false;
    }
    return true;
}

void TcpListener::Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
}

int TcpListener::AcceptPending() {
    if (fd_ < 0) return -1;
    return accept4(fd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
}

}  // namespace camsim
