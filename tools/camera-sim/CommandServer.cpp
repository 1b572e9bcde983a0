#include "CommandServer.h"

#include <sys/socket.h>

#include <cerrno>
#include <cstdio>

#include "SocketIo.h"

namespace camsim {
namespace {

constexpr std::chrono::milliseconds kServiceWait(20);  // how soon a stop or a new host is noticed
constexpr size_t kReadChunk = 4096;                     // many command frames of at most 75 bytes

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
    : handler_(handler), events_(events), slot_(ip, port, "command", events) {}

CommandServer::~CommandServer() { Stop(); }

bool CommandServer::Start() {
    if (thread_.joinable()) return true;
    if (!slot_.OpenListener()) return false;
    stop_ = false;
    thread_ = std::thread(&CommandServer::Run, this);
    return true;
}

void CommandServer::Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    slot_.Drop("camera stopped");
}

void CommandServer::Run() {
    while (!stop_) {
        const bool readable = slot_.Service(kServiceWait);
        if (slot_.Connection() != pendingFd_) {
            pending_.clear();  // a new host starts a new byte stream
            pendingFd_ = slot_.Connection();
        }
        if (readable) ReadCommands();
    }
}

void CommandServer::ReadCommands() {
    uint8_t chunk[kReadChunk];
    const ssize_t n = recv(slot_.Connection(), chunk, sizeof chunk, MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return;
    if (n <= 0) {
        slot_.Drop("host closed it");
        return;
    }
    pending_.insert(pending_.end(), chunk, chunk + n);
    for (;;) {
        Command command;
        size_t consumed = 0;
        const ParseStatus status = ParseCommandFrame(pending_.data(), pending_.size(), command, consumed);
        if (status == ParseStatus::NeedMore) return;
        if (status == ParseStatus::Malformed) {
            pending_.clear();
            slot_.Drop("malformed command frame");
            return;
        }
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(consumed));
        Answer(command);
        if (slot_.Connection() < 0) return;
    }
}

void CommandServer::Answer(const Command& command) {
    if (events_) events_(Describe(command));
    const auto reply = handler_.Handle(command);
    if (!reply) return;
    SleepUnlessStopped(std::chrono::milliseconds(replyDelayMs_.load()), stop_);
    const std::vector<uint8_t> frame = BuildReplyFrame(reply->id, reply->payload);
    if (!SendAll(slot_.Connection(), frame.data(), frame.size(), stop_)) slot_.Drop("reply not sent");
}

}  // namespace camsim
