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
    int Connection() const { return m_conn; }
    void Drop(const std::string& why);

    void RequestClose() { m_closeRequested = true; }
    // Closes the connection with a reset (RST) in place of an orderly close.
    void RequestReset() { m_resetRequested = true; }
    void SetRefuse(bool on) { m_refuse = on; }

private:
    void AcceptWaiting();
    void Reset(const std::string& why);

    TcpListener m_listener;
    const std::string m_name;
    EventSink m_events;
    int m_conn = -1;
    std::atomic<bool> m_closeRequested{false};
    std::atomic<bool> m_resetRequested{false};
    std::atomic<bool> m_refuse{false};
};

}  // namespace camsim
