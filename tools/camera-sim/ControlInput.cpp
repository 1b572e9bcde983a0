#include "ControlInput.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

namespace camsim {
namespace {

constexpr mode_t kPipeMode = 0600;   // only its owner turns the camera's knobs
constexpr size_t kReadChunk = 1024;  // several control lines a read
constexpr size_t kQuoted = 32;       // how much of a skipped line its notice repeats

}  // namespace

std::unique_ptr<ControlInput> ControlInput::Open(const std::string& source, std::string& error) {
    if (source == "-") return std::unique_ptr<ControlInput>(new ControlInput(STDIN_FILENO, false, ""));
    std::string created;
    if (mkfifo(source.c_str(), kPipeMode) == 0) {
        created = source;
    } else if (errno != EEXIST) {
        error = "cannot make the control pipe " + source + ": " + std::strerror(errno);
        return nullptr;
    }
    // Read and write: the pipe then never reads as ended when its last writer goes.
    const int fd = open(source.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || fstat(fd, &info) != 0 || !S_ISFIFO(info.st_mode)) {
        error = fd < 0 ? "cannot open the control pipe " + source + ": " + std::strerror(errno)
                       : source + " is not a named pipe";
        if (fd >= 0) close(fd);
        if (!created.empty()) unlink(created.c_str());
        return nullptr;
    }
    return std::unique_ptr<ControlInput>(new ControlInput(fd, true, created));
}

ControlInput::ControlInput(int fd) : ControlInput(fd, false, "") {}

ControlInput::ControlInput(int fd, bool ownsFd, std::string createdPath)
    : m_fd(fd), m_ownsFd(ownsFd), m_createdPath(std::move(createdPath)) {}

ControlInput::~ControlInput() {
    if (m_ownsFd) close(m_fd);
    if (!m_createdPath.empty()) unlink(m_createdPath.c_str());
}

void ControlInput::Poll(std::chrono::milliseconds wait, const LineSink& onLine, const LineSink& onRefused) {
    if (m_ended) {
        std::this_thread::sleep_for(wait);
        return;
    }
    pollfd p{m_fd, POLLIN, 0};
    const int ready = poll(&p, 1, static_cast<int>(wait.count()));
    if (ready <= 0) return;
    if (p.revents & POLLNVAL) {
        m_ended = true;
        return;
    }
    char bytes[kReadChunk];
    const ssize_t n = read(m_fd, bytes, sizeof bytes);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
    if (n <= 0) {
        m_ended = true;
        if (!m_pending.empty() && !m_overlong) onLine(m_pending);  // a last line without its line end
        m_pending.clear();
        return;
    }
    Take(bytes, static_cast<size_t>(n), onLine, onRefused);
}

void ControlInput::Take(const char* bytes, size_t size, const LineSink& onLine, const LineSink& onRefused) {
    for (size_t i = 0; i < size; ++i) {
        const char c = bytes[i];
        if (c == '\n') {
            if (!m_overlong) {
                if (!m_pending.empty() && m_pending.back() == '\r') m_pending.pop_back();
                onLine(m_pending);
            }
            m_pending.clear();
            m_overlong = false;
        } else if (!m_overlong) {
            m_pending.push_back(c);
            if (m_pending.size() > kMaxLine) {
                onRefused("line longer than " + std::to_string(kMaxLine) + " characters, skipped: \"" +
                          m_pending.substr(0, kQuoted) + "...\"");
                m_pending.clear();
                m_overlong = true;
            }
        }
    }
}

}  // namespace camsim
