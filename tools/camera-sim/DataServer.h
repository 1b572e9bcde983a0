// The camera's data port: streams data frames as the camera state asks for them.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
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
    void TriggerHardware() { ++hardwareTriggers_; }
    // The next `count` frames carry the fault.
    void InjectFault(DataFault fault, int count);
    void CloseConnection() { slot_.RequestClose(); }
    void ResetConnection() { slot_.RequestReset(); }
    void RefuseConnections(bool on) { slot_.SetRefuse(on); }
    // Frames go out in 4 KiB pieces with this pause between them.
    void SetChunkPause(std::chrono::milliseconds pause) { chunkPauseMs_ = static_cast<int>(pause.count()); }
    uint64_t FramesSent() const { return framesSent_; }

private:
    void Run();
    void DrainHost();
    // How many frames are due now, by work mode.
    int FramesDue(const CameraState& state, std::chrono::steady_clock::time_point now);
    void SendFrame(const CameraState& state);
    FrameParams Params(const CameraState& state);
    uint32_t ApplyFault(std::vector<uint8_t>& payload);

    CommandHandler& handler_;
    EventSink events_;
    PeerSlot slot_;
    const std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();

    std::mutex mutex_;  // guards source_ and faults_
    StreamSource source_;
    std::deque<DataFault> faults_;

    DataFrameBuilder builder_;
    std::vector<uint8_t> payload_;
    std::mt19937 random_{12345};  // a fixed seed: random payloads repeat from run to run
    bool wasStreaming_ = false;
    std::chrono::steady_clock::time_point nextFrame_{};
    uint64_t seenSoftwareTriggers_ = 0;
    uint64_t seenHardwareTriggers_ = 0;
    uint32_t frameCounter_ = 0;

    std::atomic<uint64_t> hardwareTriggers_{0};
    std::atomic<uint64_t> framesSent_{0};
    std::atomic<int> chunkPauseMs_{0};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace camsim
