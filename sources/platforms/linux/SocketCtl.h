#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

#include "IO.h"
#include "LinkTiming.h"
#include "Mutex.h"

// The text after the last '/' of a path, for log lines. Kept out of the global namespace
// so that it never stands in for libc's basename.
namespace transport {
const char* basename(const char* path);
}

// TCP transport to one camera: commands and replies on the command port, data frames on
// the data port, both bound to the host address that faces the camera.
class SocketCtl : public IO {
public:
    SocketCtl(const char* deviceIp, const char* hostIp, unsigned short dataPort, unsigned short cmdPort,
              linktiming::SleepFunction sleep = linktiming::SleepFor, linktiming::DataWaits dataWaits = {});
    SocketCtl(const char* deviceIp, unsigned short dataPort, unsigned short cmdPort);
    ~SocketCtl() override;
    SocketCtl(const SocketCtl&) = delete;
    SocketCtl& operator=(const SocketCtl&) = delete;

    int OpenDevice() override EXCLUDES(m_openMutex, m_stateMutex, m_dataMutex, m_cmdMutex);
    int CloseDevice() override EXCLUDES(m_stateMutex, m_dataMutex, m_cmdMutex);
    int SetCmd(int cmd, char* buf, int bufSize, unsigned char len, CMDTYPE type) override EXCLUDES(m_cmdMutex);
    int ReadData(unsigned char* buf, int capacity, int* len) override EXCLUDES(m_dataMutex);
    bool DataLinkLost() const override { return m_dataLost; }
    const char* GetHostIp() const override { return m_hostIP; }
    const char* GetDeviceSN() const override { return m_deviceSN; }
    void Shutdown() override EXCLUDES(m_stateMutex);

    void SetDataLinkLostHook(std::function<void()> hook) override { m_dataLinkLost = std::move(hook); }

    // The log tag; set once, before the transport is shared with other threads.
    void SetDeviceSN(const char* sn);
    // Copies the 16 bytes of the camera address; -1 when it holds no dotted text.
    int GetPeerIP(char* out) const;

private:
    using Clock = std::chrono::steady_clock;
    // TimedOut: nothing came within the first wait; Stalled: part came, then a silence, or
    // the read's deadline passed;
    // Unframed: a head that no frame has.
    enum class Recv { Ok, TimedOut, Stalled, Closed, Failed, Unframed };
    enum class Reply { Matched, Mismatched, Foreign, TimedOut, Closed, Failed };

    // `deadline` bounds the whole read; past it the read is Stalled.
    static Recv RecvExact(int fd, void* dst, size_t count, linktiming::milliseconds firstWait,
                          linktiming::milliseconds wait, Clock::time_point deadline = Clock::time_point::max());
    static Recv Drain(int fd, uint64_t count, linktiming::milliseconds wait,
                      Clock::time_point deadline = Clock::time_point::max());
    Reply ReadReply(uint8_t id, char* buf, int bufSize, linktiming::milliseconds firstWait, bool first)
        REQUIRES(m_cmdMutex);
    // A reply that cannot be read whole: shuts the command connection, so that no later
    // command reads its rest as a reply, and each fails as a silent camera's would; Failed.
    Reply CommandOutOfStep(uint8_t id) REQUIRES(m_cmdMutex);
    // One data frame on the open data connection.
    int ReadFrame(unsigned char* buf, int capacity, int* len) REQUIRES(m_dataMutex);
    Recv ReadHead(uint32_t& type, uint32_t& length) REQUIRES(m_dataMutex);
    // Records that the data stream cannot come back without a reconnect: the camera closed or
    // reset the connection, or the stream fell out of step; -1. The hook runs under the lock.
    int DataLinkFailed(Recv r) REQUIRES(m_dataMutex);
    // 0, or -1 (after the pause when the camera did not take it; at once when cut).
    int Connect(int fd, unsigned short port, const char* what, uint64_t cuts) REQUIRES(m_openMutex)
        EXCLUDES(m_stateMutex);
    // Whether a shut-down or a close came since the open that read `cuts` began.
    bool Cut(uint64_t cuts) EXCLUDES(m_stateMutex);
    // The open's own sockets, which it failed to hand over.
    void CloseSockets(int& dataSocket, int& cmdSocket) REQUIRES(m_openMutex) EXCLUDES(m_stateMutex);
    // Shuts down every socket, the open's too, and counts the cut.
    void ShutDownSockets() REQUIRES(m_stateMutex);

    // The open sockets are written under m_stateMutex and their own lock (both their guards),
    // so either lock alone lets them be read: the analysis cannot say "either", so reads go
    // through these.
    int DataSocket() const REQUIRES(m_dataMutex) NO_THREAD_SAFETY_ANALYSIS { return m_dataSocket; }
    int CmdSocket() const REQUIRES(m_cmdMutex) NO_THREAD_SAFETY_ANALYSIS { return m_cmdSocket; }
    // For a shut-down, which must not wait for a read or a command in flight.
    struct OpenSockets {
        int data;
        int cmd;
    };
    OpenSockets OpenSocketsForShutDown() const REQUIRES(m_stateMutex) NO_THREAD_SAFETY_ANALYSIS {
        return {m_dataSocket, m_cmdSocket};
    }

    std::atomic<bool> m_isOpened{false};
    std::atomic<bool> m_dataLost{false};  // set by the receive thread, cleared by an open
    std::atomic<bool> m_shutDown{false};  // the host ended the connections itself
    char m_deviceIP[16] = {};
    char m_hostIP[16] = {};
    uint16_t m_dataPort;
    uint16_t m_cmdPort;
    Mutex m_cmdMutex;    // one command and its reply at a time
    Mutex m_dataMutex;   // keeps the data socket from a close during a read
    Mutex m_openMutex;   // one open at a time, held across its connects
    Mutex m_stateMutex;  // orders the hand-over of an open, close and shut-down
    // -1 while closed.
    int m_dataSocket GUARDED_BY(m_stateMutex) GUARDED_BY(m_dataMutex) = -1;
    int m_cmdSocket GUARDED_BY(m_stateMutex) GUARDED_BY(m_cmdMutex) = -1;
    std::vector<char> m_replyBuf GUARDED_BY(m_cmdMutex);  // reused between commands, grown for a longer reply
    // The sockets an open is connecting, and the shut-downs and closes so far, which end an
    // open that began before them.
    int m_connectingData GUARDED_BY(m_stateMutex) = -1;
    int m_connectingCmd GUARDED_BY(m_stateMutex) = -1;
    uint64_t m_cuts GUARDED_BY(m_stateMutex) = 0;
    std::function<void()> m_dataLinkLost;  // set once, before the transport is shared
    char m_deviceSN[64] = {};
    linktiming::SleepFunction m_sleep;
    const linktiming::DataWaits m_dataWaits;
};
