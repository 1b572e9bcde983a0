// Request in, reply out: the camera's command channel without sockets, with its fault knobs.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "CameraState.h"
#include "Framing.h"

namespace camsim {

struct LoggedCommand {
    uint8_t id = 0;  // as on the wire
    std::vector<uint8_t> payload;
    bool understood = false;  // the payload fitted a layout of the id
    bool refused = false;     // a setting refused by the knob
};

class CommandHandler {
public:
    explicit CommandHandler(CameraState initial = CameraState());

    // Applies one command; returns the reply to send, if any.
    std::optional<Command> Handle(const Command& request);

    CameraState State() const;
    void Update(const std::function<void(CameraState&)>& change);

    std::vector<LoggedCommand> Log() const;
    void ClearLog();

    // Fault knobs. Ids are taken with or without the reply bit.
    void SetNoReply(uint8_t id, bool on);
    void SetWrongReplyId(uint8_t id, bool on);
    // Sets of `id` (only those whose payload byte 0 is `firstByte`, when given) are
    // accepted on the wire but change nothing.
    void SetRefused(uint8_t id, std::optional<uint8_t> firstByte, bool on);
    // A stalled camera: commands are still read and logged, nothing is answered.
    void SetSilent(bool on);

    // Called after each set that changed the state (id without its reply bit), with no
    // lock held, so it may read or update the state. Set once, before commands arrive.
    using SetListener = std::function<void(uint8_t id, const std::vector<uint8_t>& payload)>;
    void SetSetListener(SetListener listener);

private:
    std::optional<Command> HandleLocked(const Command& request, bool& applied);
    bool IsRefused(uint8_t baseId, const std::vector<uint8_t>& payload) const;

    mutable std::mutex m_mutex;
    CameraState m_state;
    std::vector<LoggedCommand> m_log;
    std::set<uint8_t> m_noReply;
    std::set<uint8_t> m_wrongId;
    std::set<std::pair<uint8_t, int>> m_refused;  // second -1: any payload
    bool m_silent = false;
    SetListener m_setListener;
};

}  // namespace camsim
