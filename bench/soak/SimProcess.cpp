#include "SimProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace soak {

SimProcess::SimProcess(std::string binary, std::string ip, std::string serial, std::string controlPath)
    : binary_(std::move(binary)),
      ip_(std::move(ip)),
      serial_(std::move(serial)),
      controlPath_(std::move(controlPath)) {}

SimProcess::~SimProcess() { Stop(); }

bool SimProcess::Start() {
    if (pid_ > 0) return true;
    const pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        // What the camera prints is of no interest here.
        const int null = open("/dev/null", O_RDWR);
        dup2(null, STDIN_FILENO);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        // Nothing of the kit's: an inherited socket would keep a closed connection alive.
        close_range(3, ~0U, 0);
        execl(binary_.c_str(), binary_.c_str(), "--ip", ip_.c_str(), "--sn", serial_.c_str(), "--control",
              controlPath_.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    pid_ = child;
    return true;
}

void SimProcess::Kill() { End(SIGKILL); }

void SimProcess::Stop() { End(SIGTERM); }

void SimProcess::End(int signal) {
    if (pid_ <= 0) return;
    kill(pid_, signal);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

bool SimProcess::Control(const std::string& line) const {
    if (pid_ <= 0) return false;
    // Non-blocking: a camera that has not opened its pipe yet is simply not reached.
    const int fd = open(controlPath_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    const std::string text = line + "\n";
    const bool sent = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    close(fd);
    return sent;
}

}  // namespace soak
