#include "Announcer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <utility>

namespace camsim {

namespace {

bool ToAddress(const std::string& text, uint16_t port, sockaddr_in& address) {
    address = sockaddr_in{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    return inet_pton(AF_INET, text.c_str(), &address.sin_addr) == 1;
}

bool IsLoopback(const sockaddr_in& address) { return (ntohl(address.sin_addr.s_addr) >> 24) == 127; }

}  // namespace

Announcer::Announcer(DiscoveryInfo info, std::string sourceIp, std::string targetIp, uint16_t targetPort,
                     std::chrono::milliseconds interval)
    : m_sourceIp(std::move(sourceIp)),
      m_targetIp(std::move(targetIp)),
      m_targetPort(targetPort),
      m_interval(interval),
      m_info(std::move(info)) {}

Announcer::~Announcer() { Stop(); }

bool Announcer::Start() {
    std::lock_guard<std::mutex> lock(m_mutex);
    sockaddr_in target{};
    if (m_thread.joinable() || !ToAddress(m_targetIp, m_targetPort, target) || !IsLoopback(target)) {
        return false;
    }
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
    if (!m_sourceIp.empty()) {
        sockaddr_in source{};
        if (!ToAddress(m_sourceIp, 0, source) ||
            bind(fd, reinterpret_cast<const sockaddr*>(&source), sizeof(source)) != 0) {
            close(fd);
            return false;
        }
    }
    if (connect(fd, reinterpret_cast<const sockaddr*>(&target), sizeof(target)) != 0) {
        close(fd);
        return false;
    }
    m_socket = fd;
    m_stop = false;
    m_thread = std::thread(&Announcer::Run, this);
    return true;
}

void Announcer::Stop() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) {
        m_thread.join();
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_socket >= 0) {
        close(m_socket);
        m_socket = -1;
    }
}

bool Announcer::IsRunning() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_thread.joinable() && !m_stop;
}

void Announcer::SetState(AnnouncedState state) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_info.state = state;
}

AnnouncedState Announcer::GetState() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_info.state;
}

void Announcer::Run() {
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_stop) {
        const DiscoveryDatagram datagram = BuildDiscoveryDatagram(m_info);
        // A refused or dropped datagram is simply sent again next interval, as
        // a camera on a quiet network would.
        (void)send(m_socket, datagram.data(), datagram.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
        m_wake.wait_for(lock, m_interval, [this] { return m_stop; });
    }
}

}  // namespace camsim
