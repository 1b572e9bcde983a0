// The camera's data port: streams data frames as the camera state asks for them.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "CommandHandler.h"
#include "DataFrame.h"
#include "PeerSlot.h"

namespace camsim {

constexpr uint16_t kDataPort = 9009;

enum class DataFault {
    ForeignType,      // well framed, type word 3
    OversizedLength,  // length word beyond the host's buffer, with that many bytes
    TruncatedRecord,  // the frame ends halfway through its last record
    RandomPayload,    // well framed, payload of random bytes
};

struct StreamSource {
    Scene scene = Scene::Wall(1500);
    ToFRecordKind tofKind = ToFRecordKind::Computed;
    bool colour = false;
};

class DataServer {
public:
    DataServer(const std::string& ip, CommandHandler& handler, StreamSource source, EventSink events,
               uint16_t port = kDataPort);
    ~DataServer();
    DataServer(const DataServer&) = delete;
    DataServer& operator=(const DataServer&) = delete;

    bool Start();
    void Stop();

    void SetScene(const Scene& scene);
    void TriggerHardware() { ++m_hardwareTriggers; }
    // The next `count` frames carry the fault.
    void InjectFault(DataFault fault, int count);
    void CloseConnection() { m_slot.RequestClose(); }
    void ResetConnection() { m_slot.RequestReset(); }
    void RefuseConnections(bool on) { m_slot.SetRefuse(on); }
    // Frames go out in 4 KiB pieces with this pause between them.
    void SetChunkPause(std::chrono::milliseconds pause) { m_chunkPauseMs = static_cast<int>(pause.count()); }
    uint64_t FramesSent() const { return m_framesSent; }

    // Faults that put the stream out of step, each once, on the next data frame.
    // The next frame stops for `pause` after its first `offset` bytes (the head is bytes 0 to 7).
    void PauseNextFrame(std::chrono::milliseconds pause, size_t offset);
    // `count` bytes of no framing go out before the next frame.
    void SendUnframed(size_t count);
    // A lone 8-byte head of these type and length words, with no payload, goes out before the
    // next frame.
    void SendLoneHead(uint32_t type, uint32_t length);

private:
    void Run();
    void DrainHost();
    // How many frames are due now, by work mode.
    int FramesDue(const CameraState& state, std::chrono::steady_clock::time_point now);
    void SendFrame(const CameraState& state);
    FrameParams Params(const CameraState& state);
    uint32_t ApplyFault(std::vector<uint8_t>& payload);
    // What goes out before the next frame, and where in it the pause falls; consumes both.
    std::vector<uint8_t> TakeLeadIn(std::optional<size_t>& pauseOffset, std::chrono::milliseconds& pause);
    bool SendFrameBytes(const std::vector<uint8_t>& head, std::optional<size_t> pauseOffset,
                        std::chrono::milliseconds pause);

    CommandHandler& m_handler;
    EventSink m_events;
    PeerSlot m_slot;
    const std::chrono::steady_clock::time_point m_started = std::chrono::steady_clock::now();

    std::mutex m_mutex;  // guards m_source, m_faults and the out-of-step faults below
    StreamSource m_source;
    std::deque<DataFault> m_faults;
    std::optional<size_t> m_pauseOffset;  // with m_pause: the next frame's pause
    std::chrono::milliseconds m_pause{0};
    size_t m_unframed = 0;
    std::vector<uint8_t> m_loneHeads;

    DataFrameBuilder m_builder;
    std::vector<uint8_t> m_payload;
    std::mt19937 m_random{12345};  // a fixed seed: random payloads repeat from run to run
    bool m_wasStreaming = false;
    std::chrono::steady_clock::time_point m_nextFrame{};
    uint64_t m_seenSoftwareTriggers = 0;
    uint64_t m_seenHardwareTriggers = 0;
    uint32_t m_frameCounter = 0;

    std::atomic<uint64_t> m_hardwareTriggers{0};
    std::atomic<uint64_t> m_framesSent{0};
    std::atomic<int> m_chunkPauseMs{0};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

}  // namespace camsim
