#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "Discovery.h"

namespace camsim {

// Sends the camera's discovery datagram over UDP at a fixed interval from its
// own thread. Only loopback targets (127.0.0.0/8) are accepted.
class Announcer {
public:
    // Several datagrams a second: a host that merges them once a second always has a fresh one.
    static constexpr std::chrono::milliseconds kDefaultInterval{300};

    // sourceIp empty: the kernel picks the source address; otherwise the socket
    // is bound to it (the camera's own 127.0.0.N).
    explicit Announcer(DiscoveryInfo info, std::string sourceIp = "", std::string targetIp = "127.0.0.1",
                       uint16_t targetPort = kDiscoveryPort, std::chrono::milliseconds interval = kDefaultInterval);
    ~Announcer();
    Announcer(const Announcer&) = delete;
    Announcer& operator=(const Announcer&) = delete;

    // Opens the socket and starts sending; false when the target is not a
    // loopback address, the socket cannot be made or bound, or it already runs.
    bool Start();
    // Returns once the thread has ended (within one send, not one interval).
    void Stop();
    bool IsRunning() const;

    // Taken by the next datagram.
    void SetState(AnnouncedState state);
    AnnouncedState GetState() const;

private:
    void Run();

    const std::string m_sourceIp;
    const std::string m_targetIp;
    const uint16_t m_targetPort;
    const std::chrono::milliseconds m_interval;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    DiscoveryInfo m_info;
    bool m_stop = false;
    int m_socket = -1;
    std::thread m_thread;
};

}  // namespace camsim
