// The fault knobs as text: one control line ("silent 0x1B on") turns one knob of a
// running camera. Used by camera-sim's --knob options and its control input.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "Announcer.h"
#include "DataServer.h"

namespace camsim {

class CameraSim;

enum class CameraPort { Command, Data, Both };

// What a control line can turn; CameraSim's knobs behind a seam the parser's tests can record.
class FaultKnobs {
public:
    virtual ~FaultKnobs() = default;
    virtual void StallHeartbeat(bool on) = 0;
    virtual void SetNoReply(uint8_t id, bool on) = 0;
    virtual void SetWrongReplyId(uint8_t id, bool on) = 0;
    virtual void RefuseSetting(uint8_t id, std::optional<uint8_t> firstByte, bool on) = 0;
    virtual void SetReplyDelay(std::chrono::milliseconds delay) = 0;
    virtual void SetDataChunkPause(std::chrono::milliseconds pause) = 0;
    virtual void Close(CameraPort port) = 0;
    virtual void Refuse(CameraPort port, bool on) = 0;
    // The data connection closed with a reset in place of an orderly close.
    virtual void ResetData() = 0;
    virtual void InjectDataFault(DataFault fault, int count) = 0;
    virtual void SetAnnouncing(bool on) = 0;
    virtual void SetAnnouncedState(AnnouncedState state) = 0;
    // The camera's fetches of the host's files.
    virtual void SetFetchPause(std::chrono::milliseconds pause) = 0;
    // Streams put out of step, each once.
    virtual void PauseInFrame(std::chrono::milliseconds pause, size_t offset) = 0;
    virtual void SendUnframed(size_t count) = 0;
    virtual void SendLoneHead(uint32_t type, uint32_t length) = 0;
    virtual void OversizeReply(uint8_t id, uint32_t length) = 0;
};

// The knobs of one simulated camera; the camera outlives the result.
std::unique_ptr<FaultKnobs> KnobsOf(CameraSim& camera);

struct ControlOutcome {
    bool ok = false;
    // What was turned, or why the line was refused. Empty for a blank or comment line.
    std::string message;
};

// Parses one line and, when it is whole and valid, turns its knob. A refused line turns nothing.
ControlOutcome ApplyControlLine(const std::string& line, FaultKnobs& knobs);

// The control language, for --help and the "help" line.
extern const char kControlHelp[];

}  // namespace camsim
