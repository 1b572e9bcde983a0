// One listening port that holds at most one host connection: a new connection replaces
// the old one. Used from a single server thread; the knobs may be set from any thread.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

#include "TcpListener.h"

namespace camsim {

using EventSink = std::function<void(const std::string&)>;

class PeerSlot {
public:
    PeerSlot(const std::string& ip, uint16_t port, std::string name, EventSink events);
    ~PeerSlot();
    PeerSlot(const PeerSlot&) = delete;
    PeerSlot& operator=(const PeerSlot&) = delete;

    bool OpenListener();
    // Applies the knobs, accepts a waiting host and waits up to `wait` for the
    // connection to become readable. True when it is.
    bool Service(std::chrono::milliseconds wait);
    int Connection() const { return conn_; }
    void Drop(const std::string& why);

    void RequestClose() { closeRequested_ = true; }
    // Closes the connection with a reset (RST) in place of an orderly close.
    void RequestReset() { resetRequested_ = true; }
    void SetRefuse(bool on) { refuse_ = on; }

private:
    void AcceptWaiting();
    void Reset(const std::string& why);

    TcpListener listener_;
    const std::string name_;
    EventSink events_;
    int conn_ = -1;
    std::atomic<bool> closeRequested_{false};
    std::atomic<bool> resetRequested_{false};
    std::atomic<bool> refuse_{false};
};

}  // namespace camsim
