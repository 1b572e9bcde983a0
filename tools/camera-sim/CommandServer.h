// The camera's command port: reads framed commands, answers through the command handler.
#pragma once

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "CommandHandler.h"
#include "PeerSlot.h"

namespace camsim {

constexpr uint16_t kCommandPort = 9008;

class CommandServer {
public:
    CommandServer(const std::string& ip, CommandHandler& handler, EventSink events,
                  uint16_t port = kCommandPort);
    ~CommandServer();
    CommandServer(const CommandServer&) = delete;
    CommandServer& operator=(const CommandServer&) = delete;

    bool Start();  // false when the port cannot be bound
    void Stop();

    void CloseConnection() { slot_.RequestClose(); }
    void RefuseConnections(bool on) { slot_.SetRefuse(on); }
    // Each reply waits this long before it is sent (a slow camera).
    void SetReplyDelay(std::chrono::milliseconds delay) { replyDelayMs_ = static_cast<int>(delay.count()); }

private:
    void Run();
    void ReadCommands();
    void Answer(const Command& command);

    CommandHandler& handler_;
    EventSink events_;
    PeerSlot slot_;
    std::vector<uint8_t> pending_;
    int pendingFd_ = -1;
    std::atomic<bool> stop_{false};
    std::atomic<int> replyDelayMs_{0};
    std::thread thread_;
};

}  // namespace camsim
