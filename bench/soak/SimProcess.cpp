#include "SimProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace soak {

SimProcess::SimProcess(std::string binary, std::string ip, std::string serial, std::string controlPath)
    : m_binary(std::move(binary)),
      m_ip(std::move(ip)),
      m_serial(std::move(serial)),
      m_controlPath(std::move(controlPath)) {}

SimProcess::~SimProcess() { Stop(); }

bool SimProcess::Start() {
    if (m_pid > 0) return true;
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
        execl(m_binary.c_str(), m_binary.c_str(), "--ip", m_ip.c_str(), "--sn", m_serial.c_str(), "--control",
              m_controlPath.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    m_pid = child;
    return true;
}

void SimProcess::Kill() { End(SIGKILL); }

void SimProcess::Stop() { End(SIGTERM); }

void SimProcess::End(int signal) {
    if (m_pid <= 0) return;
    kill(m_pid, signal);
    waitpid(m_pid, nullptr, 0);
    m_pid = -1;
}

bool SimProcess::Control(const std::string& line) const {
    if (m_pid <= 0) return false;
    // Non-blocking: a camera that has not opened its pipe yet is simply not reached.
    const int fd = open(m_controlPath.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    const std::string text = line + "\n";
    const bool sent = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    close(fd);
    return sent;
}

}  // namespace soak
