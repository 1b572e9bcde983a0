// Where control lines come from: standard input, or a named pipe that writers may open and
// close while the camera runs ("echo 'stall-heartbeat on' > FIFO").
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace camsim {

class ControlInput {
public:
    static constexpr size_t kMaxLine = 256;
    using LineSink = std::function<void(const std::string&)>;

    // "-" reads standard input; any other path is a named pipe, made (and removed again on
    // destruction) when nothing exists there. Null with `error` set when it cannot be opened.
    static std::unique_ptr<ControlInput> Open(const std::string& source, std::string& error);
    // Reads an already open descriptor, which stays open afterwards.
    explicit ControlInput(int fd);
    ~ControlInput();
    ControlInput(const ControlInput&) = delete;
    ControlInput& operator=(const ControlInput&) = delete;

    // Waits up to `wait` for input; hands each whole line to onLine, without its line end, and
    // each line longer than kMaxLine to onRefused with a note. Once the input has ended it only
    // sleeps out `wait`.
    void Poll(std::chrono::milliseconds wait, const LineSink& onLine, const LineSink& onRefused);
    bool Ended() const { return m_ended; }

private:
    ControlInput(int fd, bool ownsFd, std::string createdPath);
    void Take(const char* bytes, size_t size, const LineSink& onLine, const LineSink& onRefused);

    const int m_fd;
    const bool m_ownsFd;
    const std::string m_createdPath;
    std::string m_pending;
    bool m_overlong = false;  // the current line passed kMaxLine; skipped up to its end
    bool m_ended = false;
};

}  // namespace camsim
