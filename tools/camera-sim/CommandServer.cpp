#include "CommandServer.h"

#include <sys/socket.h>

#include <cerrno>
#include <cstdio>

#include "LittleEndian.h"
#include "SocketIo.h"

namespace camsim {
namespace {

constexpr std::chrono::milliseconds kServiceWait(20);  // how soon a stop or a new host is noticed
constexpr size_t kReadChunk = 4096;                    // many command frames of at most 75 bytes

std::string Describe(const Command& c) {
    std::string text;
    char part[8];
    std::snprintf(part, sizeof part, "0x%02X", c.id);
    text = std::string("command ") + part + " [";
    for (size_t i = 0; i < c.payload.size(); ++i) {
        std::snprintf(part, sizeof part, i ? " %02X" : "%02X", c.payload[i]);
        text += part;
    }
    return text + "]";
}

}  // namespace

CommandServer::CommandServer(const std::string& ip, CommandHandler& handler, EventSink events, uint16_t port)
    : m_handler(handler), m_events(events), m_slot(ip, port, "command", events) {}

CommandServer::~CommandServer() { Stop(); }

bool CommandServer::Start() {
    if (m_thread.joinable()) return true;
    if (!m_slot.OpenListener()) return false;
    m_stop = false;
    m_thread = std::thread(&CommandServer::Run, this);
    return true;
}

void CommandServer::Stop() {
    m_stop = true;
    if (m_thread.joinable()) m_thread.join();
    m_slot.Drop("camera stopped");
}

void CommandServer::Run() {
    while (!m_stop) {
        const bool readable = m_slot.Service(kServiceWait);
        if (m_slot.Connection() != m_pendingFd) {
            m_pending.clear();  // a new host starts a new byte stream
            m_pendingFd = m_slot.Connection();
        }
        if (readable) ReadCommands();
    }
}

void CommandServer::ReadCommands() {
    uint8_t chunk[kReadChunk];
    const ssize_t n = recv(m_slot.Connection(), chunk, sizeof chunk, MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
    if (n <= 0) {
        m_slot.Drop("host closed it");
        return;
    }
    m_pending.insert(m_pending.end(), chunk, chunk + n);
    for (;;) {
        Command command;
        size_t consumed = 0;
        const ParseStatus status = ParseCommandFrame(m_pending.data(), m_pending.size(), command, consumed);
        if (status == ParseStatus::NeedMore) return;
        if (status == ParseStatus::Malformed) {
            m_pending.clear();
            m_slot.Drop("malformed command frame");
            return;
        }
        m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<long>(consumed));
        Answer(command);
        if (m_slot.Connection() < 0) return;
    }
}

void CommandServer::OversizeNextReply(uint8_t id, uint32_t length) {
    std::lock_guard<std::mutex> lock(m_oversizeMutex);
    m_oversize[id & 0x7F] = length;
}

uint32_t CommandServer::TakeOversize(uint8_t id) {
    std::lock_guard<std::mutex> lock(m_oversizeMutex);
    const auto it = m_oversize.find(id & 0x7F);
    if (it == m_oversize.end()) return 0;
    const uint32_t length = it->second;
    m_oversize.erase(it);
    return length;
}

void CommandServer::Answer(const Command& command) {
    if (m_events) m_events(Describe(command));
    const auto reply = m_handler.Handle(command);
    if (!reply) return;
    SleepUnlessStopped(std::chrono::milliseconds(m_replyDelayMs.load()), m_stop);
    std::vector<uint8_t> frame = BuildReplyFrame(reply->id, reply->payload);
    const uint32_t oversize = TakeOversize(command.id);
    if (oversize > frame.size() - kFrameHeadSize) {
        frame.resize(kFrameHeadSize + oversize, 0);
        PutLe32(frame.data() + 4, oversize);
        if (m_events) m_events("reply of " + std::to_string(oversize) + " body bytes");
    }
    if (!SendAll(m_slot.Connection(), frame.data(), frame.size(), m_stop)) m_slot.Drop("reply not sent");
}

}  // namespace camsim
