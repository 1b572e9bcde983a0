#include "CommandHandler.h"

#include "CommandSet.h"

namespace camsim {
namespace {

constexpr int kAnyPayload = -1;

void Toggle(std::set<uint8_t>& ids, uint8_t id, bool on) {
    const uint8_t key = id | cmd::kReplyBit;
    if (on)
        ids.insert(key);
    else
        ids.erase(key);
}

}  // namespace

CommandHandler::CommandHandler(CameraState initial) : m_state(std::move(initial)) {}

std::optional<Command> CommandHandler::Handle(const Command& request) {
    std::optional<Command> reply;
    bool applied = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        reply = HandleLocked(request, applied);
    }
    if (applied && m_setListener) m_setListener(request.id & cmd::kIdMask, request.payload);
    return reply;
}

std::optional<Command> CommandHandler::HandleLocked(const Command& request, bool& applied) {
    const bool get = (request.id & cmd::kReplyBit) != 0;
    const uint8_t baseId = request.id & cmd::kIdMask;
    LoggedCommand entry{request.id, request.payload, false, false};
    std::vector<uint8_t> data;
    if (!get && IsRefused(baseId, request.payload)) {
        // Apply to a copy: the payload is still checked, the camera keeps its value.
        CameraState scratch = m_state;
        entry.understood = ApplyCommand(scratch, baseId, get, request.payload, data);
        entry.refused = true;
    } else {
        entry.understood = ApplyCommand(m_state, baseId, get, request.payload, data);
        applied = !get && entry.understood;
    }
    m_log.push_back(std::move(entry));

    if (!get || m_silent || m_noReply.count(request.id)) return std::nullopt;
    Command reply;
    reply.id = request.id;
    if (m_wrongId.count(request.id))
        reply.id = static_cast<uint8_t>(cmd::kReplyBit | ((request.id + 1) & cmd::kIdMask));
    reply.payload = std::move(data);
    return reply;
}

bool CommandHandler::IsRefused(uint8_t baseId, const std::vector<uint8_t>& payload) const {
    if (m_refused.count({baseId, kAnyPayload})) return true;
    return !payload.empty() && m_refused.count({baseId, payload[0]});
}

CameraState CommandHandler::State() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_state;
}

void CommandHandler::Update(const std::function<void(CameraState&)>& change) {
    std::lock_guard<std::mutex> lock(m_mutex);
    change(m_state);
}

std::vector<LoggedCommand> CommandHandler::Log() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_log;
}

void CommandHandler::ClearLog() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_log.clear();
}

void CommandHandler::SetNoReply(uint8_t id, bool on) {
    std::lock_guard<std::mutex> lock(m_mutex);
    Toggle(m_noReply, id, on);
}

void CommandHandler::SetWrongReplyId(uint8_t id, bool on) {
    std::lock_guard<std::mutex> lock(m_mutex);
    Toggle(m_wrongId, id, on);
}

void CommandHandler::SetRefused(uint8_t id, std::optional<uint8_t> firstByte, bool on) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::pair<uint8_t, int> key{static_cast<uint8_t>(id & cmd::kIdMask), firstByte ? *firstByte : kAnyPayload};
    if (on)
        m_refused.insert(key);
    else
        m_refused.erase(key);
}

void CommandHandler::SetSetListener(SetListener listener) { m_setListener = std::move(listener); }

void CommandHandler::SetSilent(bool on) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_silent = on;
}

}  // namespace camsim
