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

    std::vector<LoggedCommand> CommandLog() const { return m_handler.Log(); }
    void ClearCommandLog() { m_handler.ClearLog(); }
    CameraState State() const { return m_handler.State(); }
    void UpdateState(const std::function<void(CameraState&)>& change) { m_handler.Update(change); }
    void SetScene(const Scene& scene) { m_data.SetScene(scene); }
    void TriggerHardware() { m_data.TriggerHardware(); }
    uint64_t FramesSent() const { return m_data.FramesSent(); }

    // Command faults; ids with or without the reply bit.
    void SetNoReply(uint8_t id, bool on) { m_handler.SetNoReply(id, on); }
    void SetWrongReplyId(uint8_t id, bool on) { m_handler.SetWrongReplyId(id, on); }
    void RefuseSetting(uint8_t id, std::optional<uint8_t> firstByte, bool on) {
        m_handler.SetRefused(id, firstByte, on);
    }
    // Connection faults.
    void StallHeartbeat(bool on) { m_handler.SetSilent(on); }
    void CloseConnections();
    void RefuseReconnects(bool on);
    // The command port alone; the data connection stays as it is.
    void CloseCommandConnection() { m_commands.CloseConnection(); }
    void RefuseCommandConnections(bool on);
    // The data port alone; the command port keeps working.
    void CloseDataConnection() { m_data.CloseConnection(); }
    void ResetDataConnection() { m_data.ResetConnection(); }
    void RefuseDataConnections(bool on);
    void InjectDataFault(DataFault fault, int count = 1) { m_data.InjectFault(fault, count); }
    // Late command replies and data trickling in 4 KiB pieces; SetSlowSending sets both.
    void SetReplyDelay(std::chrono::milliseconds delay) { m_commands.SetReplyDelay(delay); }
    void SetDataChunkPause(std::chrono::milliseconds pause) { m_data.SetChunkPause(pause); }
    void SetSlowSending(std::chrono::milliseconds pause);
    // Streams put out of step, once each: see DataServer and CommandServer.
    void PauseNextDataFrame(std::chrono::milliseconds pause, size_t offset) { m_data.PauseNextFrame(pause, offset); }
    void SendUnframedData(size_t count) { m_data.SendUnframed(count); }
    void SendLoneDataHead(uint32_t type, uint32_t length) { m_data.SendLoneHead(type, length); }
    void OversizeNextReply(uint8_t id, uint32_t length) { m_commands.OversizeNextReply(id, length); }

    void SetAnnouncedState(AnnouncedState state);
    // A camera that stops announcing itself; may be set before Start.
    void SetAnnouncing(bool on);

    // Calibration-file transfers: a slow camera waits before each one; uploads go out in
    // chunks of this many bytes.
    void SetCalibrationDelay(std::chrono::milliseconds delay) { m_calibration.SetStartDelay(delay); }
    void SetCalibrationChunkSize(size_t bytes) { m_calibration.SetChunkSize(bytes); }

    // Firmware and JSON transfers.
    void SetUpgradeFault(TransferFault fault) { m_upgrade.SetFault(fault); }
    void SetJsonFault(TransferFault fault) { m_json.SetFault(fault); }
    // A slow camera's fetches of the host's files: 4 KiB pieces this far apart (0 ends it).
    void SetFetchPause(std::chrono::milliseconds pause);

private:
    static CameraState InitialState(const CameraOptions& options);
    CameraHooks Hooks();
    // A reboot refuses connections for its pause, on top of the knob.
    void SetRebooting(bool on);
    void ApplyRefusal();

    const CameraOptions m_options;
    CommandHandler m_handler;
    CalibrationAgent m_calibration;
    TransferAgent m_upgrade;
    TransferAgent m_json;
    CommandServer m_commands;
    DataServer m_data;
    std::unique_ptr<Announcer> m_announcer;
    std::mutex m_refusalMutex;
    bool m_refuseKnob = false;
    bool m_refuseCommandKnob = false;
    bool m_refuseDataKnob = false;
    bool m_rebooting = false;
    std::mutex m_announceMutex;  // guards m_announcing and m_running with the announcer's start and stop
    bool m_announcing = true;
    bool m_running = false;
};

}  // namespace camsim
