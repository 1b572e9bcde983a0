#include "PeerSlot.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <thread>

namespace camsim {

PeerSlot::PeerSlot(const std::string& ip, uint16_t port, std::string name, EventSink events)
    : listener_(ip, port), name_(std::move(name)), events_(std::move(events)) {}

PeerSlot::~PeerSlot() {
    if (conn_ >= 0) close(conn_);
}

bool PeerSlot::OpenListener() { return listener_.Open(); }

void PeerSlot::Drop(const std::string& why) {
    if (conn_ < 0) return;
    close(conn_);
    conn_ = -1;
    if (events_) events_(name_ + " connection closed (" + why + ")");
}

void PeerSlot::Reset(const std::string& why) {
    if (conn_ < 0) return;
    // A zero linger time makes close() send a reset and drop what is still queued.
    const linger abort{1, 0};
    setsockopt(conn_, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    Drop(why);
}

void PeerSlot::AcceptWaiting() {
    const int fd = listener_.AcceptPending();
    if (fd < 0) return;
    if (conn_ >= 0) Drop("replaced by a new host connection");
    conn_ = fd;
    if (events_) events_(name_ + " connection accepted");
}

bool PeerSlot::Service(std::chrono::milliseconds wait) {
    if (closeRequested_.exchange(false)) Drop("closed by the camera");
    if (resetRequested_.exchange(false)) Reset("reset by the camera");
    // A refusing camera closes its port, so connects fail at once.
    if (refuse_ && listener_.IsOpen()) listener_.Close();
    if (!refuse_ && !listener_.IsOpen()) listener_.Open();

    pollfd fds[2];
    nfds_t count = 0;
    const int connIndex = conn_ >= 0 ? static_cast<int>(count) : -1;
    if (conn_ >= 0) fds[count++] = pollfd{conn_, POLLIN, 0};
    const int listenIndex = listener_.IsOpen() ? static_cast<int>(count) : -1;
    if (listener_.IsOpen()) fds[count++] = pollfd{listener_.Fd(), POLLIN, 0};
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
