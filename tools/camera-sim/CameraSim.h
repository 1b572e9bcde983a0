// A simulated camera for tests and the demo: command and data ports, the discovery
// announcement, and the fault knobs.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Announcer.h"
#include "CalibrationAgent.h"
#include "CommandHandler.h"
#include "CommandServer.h"
#include "DataServer.h"
#include "TransferAgent.h"

namespace camsim {

struct CameraOptions {
    std::string ip = "127.0.0.2";
    uint8_t deviceType = 0x11;
    std::string serialNumber = "SIM0001";
    std::string alias;
    Scene scene = Scene::Wall(1500);
    ToFRecordKind record = ToFRecordKind::Computed;
    int8_t depthRange = 0;  // the camera's depth range until the host sets one
    bool colour = false;
    bool announce = true;  // send the discovery datagram to 127.0.0.1:9007
    EventSink events;      // what the host does, as text lines; may be empty
};

class CameraSim {
public:
    explicit CameraSim(CameraOptions options);
    ~CameraSim();
    CameraSim(const CameraSim&) = delete;
    CameraSim& operator=(const CameraSim&) = delete;

    // False when a port cannot be bound or the announcer cannot start.
    bool Start();
    void Stop();

    std::vector<LoggedCommand> CommandLog() const { return handler_.Log(); }
    void ClearCommandLog() { handler_.ClearLog(); }
    CameraState State() const { return handler_.State(); }
    void UpdateState(const std::function<void(CameraState&)>& change) { handler_.Update(change); }
    void SetScene(const Scene& scene) { data_.SetScene(scene); }
    void TriggerHardware() { data_.TriggerHardware(); }
    uint64_t FramesSent() const { return data_.FramesSent(); }

    // Command faults; ids with or without the reply bit.
    void SetNoReply(uint8_t id, bool on) { handler_.SetNoReply(id, on); }
    void SetWrongReplyId(uint8_t id, bool on) { handler_.SetWrongReplyId(id, on); }
    void RefuseSetting(uint8_t id, std::optional<uint8_t> firstByte, bool on) {
        handler_.SetRefused(id, firstByte, on);
    }
    // Connection faults.
    void StallHeartbeat(bool on) { handler_.SetSilent(on); }
    void CloseConnections();
    void RefuseReconnects(bool on);
    // The command port alone; the data connection stays as it is.
    void CloseCommandConnection() { commands_.CloseConnection(); }
    void RefuseCommandConnections(bool on);
    // The data port alone; the command port keeps working.
    void CloseDataConnection() { data_.CloseConnection(); }
    void ResetDataConnection() { data_.ResetConnection(); }
    void RefuseDataConnections(bool on);
    void InjectDataFault(DataFault fault, int count = 1) { data_.InjectFault(fault, count); }
    // Late command replies and data trickling in 4 KiB pieces; SetSlowSending sets both.
    void SetReplyDelay(std::chrono::milliseconds delay) { commands_.SetReplyDelay(delay); }
    void SetDataChunkPause(std::chrono::milliseconds pause) { data_.SetChunkPause(pause); }
    void SetSlowSending(std::chrono::milliseconds pause);

    void SetAnnouncedState(AnnouncedState state);
    // A camera that stops announcing itself; may be set before Start.
    void SetAnnouncing(bool on);

    // Calibration-file transfers: a slow camera waits before each one; uploads go out in
    // chunks of this many bytes.
    void SetCalibrationDelay(std::chrono::milliseconds delay) { calibration_.SetStartDelay(delay); }
    void SetCalibrationChunkSize(size_t bytes) { calibration_.SetChunkSize(bytes); }

    // Firmware and JSON transfers.
    void SetUpgradeFault(TransferFault fault) { upgrade_.SetFault(fault); }
    void SetJsonFault(TransferFault fault) { json_.SetFault(fault); }

private:
    static CameraState InitialState(const CameraOptions& options);
    CameraHooks Hooks();
    // A reboot refuses connections for its pause, on top of the knob.
    void SetRebooting(bool on);
    void ApplyRefusal();

    const CameraOptions options_;
    CommandHandler handler_;
    CalibrationAgent calibration_;
    TransferAgent upgrade_;
    TransferAgent json_;
    CommandServer commands_;
    DataServer data_;
    std::unique_ptr<Announcer> announcer_;
    std::mutex refusalMutex_;
    bool refuseKnob_ = false;
    bool refuseCommandKnob_ = false;
    bool refuseDataKnob_ = false;
    bool rebooting_ = false;
    std::mutex announceMutex_;  // guards announcing_ and running_ with the announcer's start and stop
    bool announcing_ = true;
    bool running_ = false;
};

}  // namespace camsim
