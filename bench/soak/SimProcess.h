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
    bool Running() const { return pid_ > 0; }
    // One control line to the running camera; false when it cannot take it now.
    bool Control(const std::string& line) const;

    const std::string& Ip() const { return ip_; }
    const std::string& Serial() const { return serial_; }

private:
    void End(int signal);

    const std::string binary_;
    const std::string ip_;
    const std::string serial_;
    const std::string controlPath_;
    pid_t pid_ = -1;
};

}  // namespace soak
