#include "PeerSlot.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

namespace camsim {

PeerSlot::PeerSlot(const std::string& ip, uint16_t port, std::string name, EventSink events)
    : m_listener(ip, port), m_name(std::move(name)), m_events(std::move(events)) {}

PeerSlot::~PeerSlot() {
    if (m_conn >= 0) close(m_conn);
}

bool PeerSlot::OpenListener() { return m_listener.Open(); }

void PeerSlot::Drop(const std::string& why) {
    if (m_conn < 0) return;
    close(m_conn);
    m_conn = -1;
    if (m_events) m_events(m_name + " connection closed (" + why + ")");
}

void PeerSlot::Reset(const std::string& why) {
    if (m_conn < 0) return;
    // A zero linger time makes close() send a reset and drop what is still queued.
    const linger abort{1, 0};
    setsockopt(m_conn, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    Drop(why);
}

void PeerSlot::AcceptWaiting() {
    const int fd = m_listener.AcceptPending();
    if (fd < 0) return;
    if (m_conn >= 0) Drop("replaced by a new host connection");
    m_conn = fd;
    if (m_events) m_events(m_name + " connection accepted");
}

bool PeerSlot::Service(std::chrono::milliseconds wait) {
    if (m_closeRequested.exchange(false)) Drop("closed by the camera");
    if (m_resetRequested.exchange(false)) Reset("reset by the camera");
    // A refusing camera closes its port, so connects fail at once.
    if (m_refuse && m_listener.IsOpen()) m_listener.Close();
    if (!m_refuse && !m_listener.IsOpen()) m_listener.Open();

    pollfd fds[2];
    nfds_t count = 0;
    const int connIndex = m_conn >= 0 ? static_cast<int>(count) : -1;
    if (m_conn >= 0) fds[count++] = pollfd{m_conn, POLLIN, 0};
    const int listenIndex = m_listener.IsOpen() ? static_cast<int>(count) : -1;
    if (m_listener.IsOpen()) fds[count++] = pollfd{m_listener.Fd(), POLLIN, 0};
    if (count == 0) {
        std::this_thread::sleep_for(wait);
        return false;
    }
    if (poll(fds, count, static_cast<int>(wait.count())) <= 0) return false;
    const bool readable = connIndex >= 0 && (fds[connIndex].revents & (POLLIN | POLLHUP | POLLERR));
    if (listenIndex >= 0 && (fds[listenIndex].revents & POLLIN)) {
        AcceptWaiting();
        return false;  // the old connection's data is no longer of interest
    }
    return readable;
}

}  // namespace camsim
