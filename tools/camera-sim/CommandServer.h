// The camera's command port: reads framed commands, answers through the command handler.
#pragma once

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "CommandHandler.h"
#include "PeerSlot.h"

namespace camsim {

constexpr uint16_t kCommandPort = 9008;

class CommandServer {
public:
    CommandServer(const std::string& ip, CommandHandler& handler, EventSink events, uint16_t port = kCommandPort);
    ~CommandServer();
    CommandServer(const CommandServer&) = delete;
    CommandServer& operator=(const CommandServer&) = delete;

    bool Start();  // false when the port cannot be bound
    void Stop();

    void CloseConnection() { m_slot.RequestClose(); }
    void RefuseConnections(bool on) { m_slot.SetRefuse(on); }
    // Each reply waits this long before it is sent (a slow camera).
    void SetReplyDelay(std::chrono::milliseconds delay) { m_replyDelayMs = static_cast<int>(delay.count()); }
    // The next reply to command `id` (with or without the reply bit) carries a body of `length`
    // bytes: the reply's own, then zeros (a LENGTH below its own changes nothing). Once.
    void OversizeNextReply(uint8_t id, uint32_t length);

private:
    void Run();
    void ReadCommands();
    void Answer(const Command& command);
    // The body length the reply to `id` is to have, once; 0 for its own.
    uint32_t TakeOversize(uint8_t id);

    CommandHandler& m_handler;
    EventSink m_events;
    PeerSlot m_slot;
    std::vector<uint8_t> m_pending;
    int m_pendingFd = -1;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_replyDelayMs{0};
    std::mutex m_oversizeMutex;  // guards m_oversize
    std::map<uint8_t, uint32_t> m_oversize;
    std::thread m_thread;
};

}  // namespace camsim
