// The camera side of calibration-file transfers: it fetches the host's file over HTTP and
// checks its length and checksum, or posts one of its own files to the host's "/upload",
// then reports done or failed through the state that status polls read.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "CommandHandler.h"

namespace camsim {

class CalibrationAgent {
public:
    // The host's HTTP server listens on `port` of the address the start command names.
    explicit CalibrationAgent(CommandHandler& handler, uint16_t port = 8080);
    ~CalibrationAgent();
    CalibrationAgent(const CalibrationAgent&) = delete;
    CalibrationAgent& operator=(const CalibrationAgent&) = delete;

    void Start();
    // Returns once the worker has ended; a transfer in hand ends within its HTTP time-out.
    void Stop();

    // For each applied set: a calibration start wakes the worker.
    void OnSet(uint8_t id, const std::vector<uint8_t>& payload);

    // Fault knob: a slow camera waits this long before each transfer (Stop wakes it).
    void SetStartDelay(std::chrono::milliseconds delay);
    // Bytes per upload request.
    void SetChunkSize(size_t bytes);

private:
    void Loop();
    bool Fetch(const CalibrationTransfer& request, std::vector<uint8_t>& file) const;
    // Posts in chunks of `chunkSize` bytes, named with the camera's `tag`.
    bool Post(const CalibrationTransfer& request, const std::vector<uint8_t>& file, const std::string& tag,
              size_t chunkSize) const;

    CommandHandler& m_handler;
    const uint16_t m_port;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    bool m_pending = false;
    std::chrono::milliseconds m_delay{0};
    size_t m_chunkSize = 64 * 1024;  // a larger file goes in several posts at rising offsets
    std::thread m_thread;
};

}  // namespace camsim
