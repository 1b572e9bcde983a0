// The camera side of the firmware-upgrade and JSON-file transfers: it fetches the host's
// file over HTTP (and, in JSON mode, posts its own file to "/upload"), announces that it
// waits for the host, checks the file against the length and checksum the host sends, and
// queues the states that the host's polls then read one at a time. A reboot during a
// transfer announces the camera leaving and refuses its connections for a pause.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "CommandHandler.h"
#include "Discovery.h"

namespace camsim {

enum class TransferFault {
    None,
    CheckFails,  // the file's check is reported as failed whatever the file
    BadState,    // a state outside the transfer's steps follows the check
    NeverReady,  // the camera never reports that it is ready
};

// What the agent asks of the camera around it.
struct CameraHooks {
    std::function<void(AnnouncedState)> announce;
    // true: connections closed and refused (rebooting); false: serving again.
    std::function<void(bool)> rebooting;
};

class TransferAgent {
public:
    enum class Kind { Firmware, Json };

    TransferAgent(CommandHandler& handler, Kind kind, CameraHooks hooks, uint16_t port = 8080);
    ~TransferAgent();
    TransferAgent(const TransferAgent&) = delete;
    TransferAgent& operator=(const TransferAgent&) = delete;

    void Start();
    // Returns once the worker has ended; a fetch in hand ends within its HTTP time-out.
    void Stop();

    // For each applied set, on the command thread.
    void OnSet(uint8_t id, const std::vector<uint8_t>& payload);

    void SetFault(TransferFault fault);
    // How long a rebooting camera refuses connections.
    void SetRebootPause(std::chrono::milliseconds pause);
    // A slow camera: its fetches take the file in 4 KiB pieces this far apart (0 ends it).
    void SetFetchPause(std::chrono::milliseconds pause);

private:
    enum class Job { Fetch, Post, Reboot };

    void Loop();
    void Run(Job job);
    void Fetch();
    void Post();
    void Reboot();
    // The host's record {state, checksum, length} or {3, 0, 0}: queues what the polls report.
    void OnRecord(const TransferRecord& record);
    void Enqueue(Job job);
    TransferState& Transfer(CameraState& s) const;
    TransferFault Fault();

    CommandHandler& m_handler;
    const Kind m_kind;
    const uint8_t m_type;  // payload byte 0 of the transfer's commands
    const CameraHooks m_hooks;
    const uint16_t m_port;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Job> m_jobs;
    bool m_stop = false;
    bool m_active = false;  // a transfer began and no reboot ended it yet
    TransferFault m_fault = TransferFault::None;
    // Long enough for a host that merges announcements once a second to hear the leave.
    std::chrono::milliseconds m_rebootPause{1500};
    std::chrono::milliseconds m_fetchPause{0};
    std::thread m_thread;
};

}  // namespace camsim
