#include "SocketIo.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <thread>

namespace camsim {
namespace {

constexpr size_t kChunk = 4096;  // what a slow camera sends between two pauses
constexpr int kPollStepMs = 50;  // how soon a stop is noticed while waiting

}  // namespace

bool SendAll(int fd, const uint8_t* data, size_t size, const std::atomic<bool>& stop,
             std::chrono::milliseconds chunkPause, std::chrono::milliseconds stallLimit) {
    const bool slow = chunkPause.count() > 0;
    auto lastProgress = std::chrono::steady_clock::now();
    size_t sent = 0;
    while (sent < size) {
        if (stop) return false;
        pollfd p{fd, POLLOUT, 0};
        const int ready = poll(&p, 1, kPollStepMs);
        if (ready < 0 && errno != EINTR) return false;
        if (ready <= 0) {
            if (std::chrono::steady_clock::now() - lastProgress > stallLimit) return false;
            continue;
        }
        if (p.revents & (POLLERR | POLLHUP | POLLNVAL)) return false;
        const size_t want = slow ? std::min(kChunk, size - sent) : size - sent;
        const ssize_t n = send(fd, data + sent, want, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
            return false;
        }
        sent += static_cast<size_t>(n);
        lastProgress = std::chrono::steady_clock::now();
        if (slow && sent < size) SleepUnlessStopped(chunkPause, stop);
    }
    return true;
}

bool WaitReadable(int fd, std::chrono::milliseconds timeout) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, static_cast<int>(timeout.count())) > 0;
}

void SleepUnlessStopped(std::chrono::milliseconds duration, const std::atomic<bool>& stop) {
    const auto end = std::chrono::steady_clock::now() + duration;
    while (!stop) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= end) return;
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(end - now, std::chrono::milliseconds(kPollStepMs)));
    }
}

}  // namespace camsim
