// One camera-sim process with a control pipe: started, killed and restarted by the soak.
#pragma once

#include <sys/types.h>

#include <string>

namespace soak {

class SimProcess {
public:
    SimProcess(std::string binary, std::string ip, std::string serial, std::string controlPath);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    bool Start();
    // SIGKILL: the camera vanishes mid-sentence; its connections are reset by the kernel.
    void Kill();
    // SIGTERM and wait.
    void Stop();
    bool Running() const { return m_pid > 0; }
    // One control line to the running camera; false when it cannot take it now.
    bool Control(const std::string& line) const;

    const std::string& Ip() const { return m_ip; }
    const std::string& Serial() const { return m_serial; }

private:
    void End(int signal);

    const std::string m_binary;
    const std::string m_ip;
    const std::string m_serial;
    const std::string m_controlPath;
    pid_t m_pid = -1;
};

}  // namespace soak
