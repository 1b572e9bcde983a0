#include "SocketCtl.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "ByteOrder.h"
#include "SocketOption.h"
#include "StatusCodes.h"
#include "log.h"

using linktiming::milliseconds;

namespace transport {
const char* basename(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}
}  // namespace transport

namespace {

constexpr uint32_t kCommandFrameType = 0xAA;  // the head's type word of commands and replies
constexpr uint8_t kCommandMarker = 0xAA;      // body byte 0 of a command
constexpr uint32_t kDataFrameType = 1;        // the head's type word of a data frame
// No camera uses a frame type above this: a head with a larger type word is read out of step.
constexpr uint32_t kMaxFrameTypeWord = 0xFF;
constexpr size_t kHeadSize = 8;              // type word, length word
constexpr size_t kReplyBodyHead = 3;         // marker, id, data length
constexpr uint8_t kMaxPayload = 64;          // the camera takes no longer command
constexpr int kReceiveBufferBytes = 819200;  // a few data frames of headroom while the receive thread is busy
// A reply carries at most 255 data bytes; anything far beyond is not a reply.
constexpr uint32_t kMaxReplyBody = 4096;
// A reply over the limit is still drained whole up to this length; beyond, the link is lost.
constexpr uint32_t kMaxDrainedReply = 1024 * 1024;
// A data frame this long is not well-framed; draining it would only read garbage.
constexpr uint64_t kMaxDrainedFrame = 64ull * 1024 * 1024;

// A descriptor, or -1 as socket() gives it.
int MakeSocket() {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        LOG_PRINTF("socket() error, errno[%d], info: %s", errno, std::strerror(errno));
        return -1;
    }
    int on = 1;
    if (::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on)) != 0) {
        LOG_PRINTF("setsockopt() error, errno[%d], info: %s", errno, std::strerror(errno));
    }
    int size = kReceiveBufferBytes;
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof(size)) != 0) {
        LOG_PRINTF("setsockopt() error, errno[%d], info: %s", errno, std::strerror(errno));
    }
    return fd;
}

// Keep-alive: a silent camera is noticed after about four seconds. No delay: a command that
// wants no reply must not hold back the next one until the camera acknowledges it (its stack
// delays acknowledgements by 40 ms or more).
void CommandOptions(int fd, const char* tag) {
    const SocketOption options[] = {
        {SOL_SOCKET, SO_KEEPALIVE, 1, "SO_KEEPALIVE"},    {IPPROTO_TCP, TCP_KEEPIDLE, 1, "TCP_KEEPIDLE"},
        {IPPROTO_TCP, TCP_KEEPINTVL, 1, "TCP_KEEPINTVL"}, {IPPROTO_TCP, TCP_KEEPCNT, 3, "TCP_KEEPCNT"},
        {IPPROTO_TCP, TCP_NODELAY, 1, "TCP_NODELAY"},
    };
    for (const SocketOption& option : options) SetSocketOption(fd, option, tag);
}

bool Bind(int fd, const char* hostIp, const char* tag) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = 0;
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    int rc = -1;
    if (hostIp[0] != '\0' && ::inet_pton(AF_INET, hostIp, &addr.sin_addr) != 1) {
        errno = EINVAL;
    } else {
        rc = ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
    }
    if (rc != 0) {
        LOG_DEVICE(tag, "bind is failed with error[%d], info:%s", errno, std::strerror(errno));
        return false;
    }
    return true;
}

void CloseFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

SocketCtl::SocketCtl(const char* deviceIp, const char* hostIp, unsigned short dataPort, unsigned short cmdPort,
                     linktiming::SleepFunction sleep, linktiming::DataWaits dataWaits)
    : m_dataPort(dataPort), m_cmdPort(cmdPort), m_sleep(std::move(sleep)), m_dataWaits(dataWaits) {
    if (deviceIp) std::strncpy(m_deviceIP, deviceIp, sizeof(m_deviceIP) - 1);
    if (hostIp) std::strncpy(m_hostIP, hostIp, sizeof(m_hostIP) - 1);
    // The tag until the loader sets the camera's serial number.
    std::strncpy(m_deviceSN, "quelta", sizeof(m_deviceSN) - 1);
}

SocketCtl::SocketCtl(const char* deviceIp, unsigned short dataPort, unsigned short cmdPort)
    : SocketCtl(deviceIp, nullptr, dataPort, cmdPort) {}

SocketCtl::~SocketCtl() { CloseDevice(); }

void SocketCtl::SetDeviceSN(const char* sn) {
    std::memset(m_deviceSN, 0, sizeof(m_deviceSN));
    if (sn) std::strncpy(m_deviceSN, sn, sizeof(m_deviceSN) - 1);
}

int SocketCtl::GetPeerIP(char* out) const {
    if (!out || !std::memchr(m_deviceIP, '.', sizeof(m_deviceIP))) return status::kFailed;
    std::memcpy(out, m_deviceIP, sizeof(m_deviceIP));
    return 0;
}

int SocketCtl::Connect(int fd, unsigned short port, const char* what, uint64_t cuts) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    int err = 0;
    if (::inet_pton(AF_INET, m_deviceIP, &addr.sin_addr) != 1) {
        err = EINVAL;
    } else {
        // Non-blocking, so that an address nobody answers cannot hold the caller for minutes.
        const int flags = ::fcntl(fd, F_GETFL);
        ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
            err = errno;
            if (err == EINPROGRESS) {
                // A shut-down or a close meanwhile shuts the socket down, which ends the wait.
                pollfd p{fd, POLLOUT, 0};
                int rc;
                do {
                    rc = ::poll(&p, 1, static_cast<int>(linktiming::kConnectTimeout.count()));
                } while (rc < 0 && errno == EINTR);
                socklen_t size = sizeof(err);
                if (rc == 0) {
                    err = ETIMEDOUT;
                } else if (rc < 0) {
                    err = errno;
                } else if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &size) != 0) {
                    err = errno;
                }
            }
        }
        ::fcntl(fd, F_SETFL, flags);
    }
    // Cut by the host: no camera to wait for.
    if (Cut(cuts)) return status::kFailed;
    if (err == 0) return 0;
    LOG_PRINTF("connect(%s:%d) error, errno[%d], info: %s", m_deviceIP, port, err, std::strerror(err));
    LOG_DEVICE(m_deviceSN, " wait the Camera(%s) connect %s", what, m_deviceIP);
    m_sleep(linktiming::kConnectRetryPause);
    return status::kFailed;
}

bool SocketCtl::Cut(uint64_t cuts) {
    LockGuard state(m_stateMutex);
    return m_cuts != cuts;
}

void SocketCtl::CloseSockets(int& dataSocket, int& cmdSocket) {
    {
        // No shut-down may meet the descriptors once they are closed (and maybe reused).
        LockGuard state(m_stateMutex);
        m_connectingData = -1;
        m_connectingCmd = -1;
    }
    CloseFd(dataSocket);
    CloseFd(cmdSocket);
}

void SocketCtl::ShutDownSockets() {
    ++m_cuts;
    const OpenSockets open = OpenSocketsForShutDown();
    for (const int fd : {m_connectingData, m_connectingCmd, open.data, open.cmd}) {
        if (fd >= 0) ::shutdown(fd, SHUT_RDWR);
    }
}

int SocketCtl::OpenDevice() {
    // Opens wait for each other; a shut-down or a close does not wait for an open: it cuts
    // the open's connects short and the open fails.
    LockGuard open(m_openMutex);
    if (m_isOpened) {
        LOG_DEVICE(m_deviceSN, "warnning m_isOpened:%d", 1);
        return 0;
    }
    // Built in locals and handed over only when both stand, so a failed open leaves nothing.
    int dataSocket = MakeSocket();
    int cmdSocket = MakeSocket();
    CommandOptions(cmdSocket, m_deviceSN);
    uint64_t cuts = 0;
    {
        LockGuard state(m_stateMutex);
        cuts = m_cuts;
        m_connectingData = dataSocket;
        m_connectingCmd = cmdSocket;
    }
    LOG_DEVICE(m_deviceSN, "m_hostIP:%s, m_deviceIP:%s", m_hostIP, m_deviceIP);
    if (!Bind(cmdSocket, m_hostIP, m_deviceSN)) {
        CloseSockets(dataSocket, cmdSocket);
        return status::kInternal;
    }
    if (Connect(cmdSocket, m_cmdPort, "cmd", cuts) != 0) {
        CloseSockets(dataSocket, cmdSocket);
        return status::kInternal;
    }
    if (!Bind(dataSocket, m_hostIP, m_deviceSN)) {
        CloseSockets(dataSocket, cmdSocket);
        return status::kInternal;
    }
    if (Connect(dataSocket, m_dataPort, "data", cuts) != 0) {
        CloseSockets(dataSocket, cmdSocket);
        return status::kDataConnectionFailed;
    }
    {
        UniqueLock state(m_stateMutex);
        if (m_cuts != cuts) {
            // Closed or shut down while the connections came up.
            state.unlock();
            CloseSockets(dataSocket, cmdSocket);
            return status::kInternal;
        }
        m_connectingData = -1;
        m_connectingCmd = -1;
        LockGuard data(m_dataMutex);
        LockGuard cmd(m_cmdMutex);
        m_dataSocket = dataSocket;
        m_cmdSocket = cmdSocket;
        m_dataLost = false;
        m_shutDown = false;
        m_isOpened = true;
    }
    LOG_DEVICE(m_deviceSN, "m_isOpened:%d", 1);
    return 0;
}

void SocketCtl::Shutdown() {
    LockGuard state(m_stateMutex);
    m_shutDown = true;
    ShutDownSockets();
}

int SocketCtl::CloseDevice() {
    LockGuard state(m_stateMutex);
    m_isOpened = false;
    m_shutDown = true;
    // Wake a reader, a command or an open in flight first, then close under their locks.
    ShutDownSockets();
    {
        LockGuard data(m_dataMutex);
        CloseFd(m_dataSocket);
    }
    LockGuard cmd(m_cmdMutex);
    CloseFd(m_cmdSocket);
    return 0;
}

SocketCtl::Recv SocketCtl::RecvExact(int fd, void* dst, size_t count, milliseconds firstWait, milliseconds wait,
                                     Clock::time_point deadline) {
    auto* p = static_cast<uint8_t*>(dst);
    size_t got = 0;
    while (got < count) {
        milliseconds timeout = got == 0 ? firstWait : wait;
        bool late = false;
        if (deadline != Clock::time_point::max()) {
            // The whole read has its own bound: a camera that trickles must not hold the link.
            const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
            if (left <= milliseconds(0)) return Recv::Stalled;
            late = left < timeout;
            if (late) timeout = left;
        }
        pollfd pfd{fd, POLLIN, 0};
        const int rc = ::poll(&pfd, 1, static_cast<int>(timeout.count()));
        if (rc == 0) {
            LOG_PRINTF("time is over");
            return got == 0 && !late ? Recv::TimedOut : Recv::Stalled;
        }
        if (rc < 0) {
            if (errno == EINTR) continue;
            return Recv::Failed;
        }
        const ssize_t n = ::recv(fd, p + got, count - got, 0);
        if (n == 0) return Recv::Closed;
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            return Recv::Failed;
        }
        got += static_cast<size_t>(n);
    }
    return Recv::Ok;
}

SocketCtl::Recv SocketCtl::Drain(int fd, uint64_t count, milliseconds wait, Clock::time_point deadline) {
    uint8_t scratch[4096];
    while (count > 0) {
        const size_t piece = static_cast<size_t>(std::min<uint64_t>(count, sizeof(scratch)));
        const Recv r = RecvExact(fd, scratch, piece, wait, wait, deadline);
        if (r != Recv::Ok) return r;
        count -= piece;
    }
    return Recv::Ok;
}

SocketCtl::Reply SocketCtl::ReadReply(uint8_t id, char* buf, int bufSize, milliseconds firstWait, bool first) {
    auto failed = [&](Recv r, bool inHead) REQUIRES(m_cmdMutex) {
        if (r == Recv::Failed) {
            LOG_DEVICE(m_deviceSN, "RecvData err: %d, %s cmdid %d", errno, std::strerror(errno), id);
            return Reply::Failed;
        }
        // A reply begun and not finished would be read by the next command as its own.
        const bool cutShort = r == Recv::Stalled || (r == Recv::TimedOut && !inHead);
        // A further reply that never comes only means no reply matched.
        if (r == Recv::TimedOut && !first && !cutShort) return Reply::TimedOut;
        if (inHead) {
            LOG_DEVICE(m_deviceSN, " the server connection has been gracefully closed cmdid %d", id);
        } else {
            LOG_DEVICE(m_deviceSN, "the server connection has been gracefully closed cmdid %d", id);
        }
        if (cutShort) return CommandOutOfStep(id);
        return r == Recv::TimedOut ? Reply::TimedOut : Reply::Closed;
    };

    uint8_t head[kHeadSize];
    Recv r = RecvExact(CmdSocket(), head, sizeof(head), firstWait, linktiming::kCmdReadWait);
    if (r != Recv::Ok) return failed(r, true);
    const uint32_t type = byteorder::GetLe32(head);
    const uint32_t length = byteorder::GetLe32(head + 4);
    const Clock::time_point bodyDeadline = Clock::now() + linktiming::kReplyReadBound;
    if (type != kCommandFrameType || length > kMaxReplyBody) {
        LOG_DEVICE(m_deviceSN, "reply type:0x%x length:%u skipped cmdid %d", type, length, id);
        // Drained whole, so that the next command reads its own reply.
        if (length > kMaxDrainedReply) return CommandOutOfStep(id);
        r = Drain(CmdSocket(), length, linktiming::kCmdReadWait, bodyDeadline);
        if (r != Recv::Ok) return failed(r, false);
        return type != kCommandFrameType ? Reply::Foreign : Reply::Failed;
    }
    if (m_replyBuf.size() < length) m_replyBuf.resize(length);
    r = RecvExact(CmdSocket(), m_replyBuf.data(), length, linktiming::kCmdReadWait, linktiming::kCmdReadWait,
                  bodyDeadline);
    if (r != Recv::Ok) return failed(r, false);

    const auto* body = reinterpret_cast<const uint8_t*>(m_replyBuf.data());
    if (length < 2 || body[1] != id) return Reply::Mismatched;
    if (length >= kReplyBodyHead && buf && bufSize > 0) {
        // Bounded by the caller's buffer and by the data actually received.
        const size_t dataLength = body[2];
        const size_t copy = std::min({dataLength, size_t(length) - kReplyBodyHead, size_t(bufSize)});
        std::memcpy(buf, body + kReplyBodyHead, copy);
    }
    return Reply::Matched;
}

SocketCtl::Reply SocketCtl::CommandOutOfStep(uint8_t id) {
    LOG_DEVICE(m_deviceSN, "the command connection is out of step, cmdid %d: it is shut down", id);
    ::shutdown(CmdSocket(), SHUT_RDWR);
    return Reply::Failed;
}

int SocketCtl::SetCmd(int cmd, char* buf, int bufSize, unsigned char len, CMDTYPE type) {
    LockGuard lock(m_cmdMutex);
    if (!m_isOpened || CmdSocket() < 0) return status::kNoAnswer;

    const uint8_t n = buf ? std::min(len, kMaxPayload) : 0;
    uint8_t id = static_cast<uint8_t>(cmd & 0xFF);  // the id byte is the command's low byte
    if (type != CMDTYPE_SET) id |= kReplyWanted;
    uint8_t frame[kHeadSize + kReplyBodyHead + kMaxPayload];
    byteorder::PutLe32(frame, kCommandFrameType);
    byteorder::PutLe32(frame + 4, n + kReplyBodyHead);
    uint8_t* body = frame + kHeadSize;
    body[0] = kCommandMarker;
    body[1] = id;
    body[2] = n;
    if (n > 0) std::memcpy(body + kReplyBodyHead, buf, n);
    const size_t total = kHeadSize + kReplyBodyHead + n;
    for (size_t sent = 0; sent < total;) {
        const ssize_t rc = ::send(CmdSocket(), frame + sent, total - sent, MSG_NOSIGNAL);
        if (rc < 0 && errno == EINTR) continue;
        if (rc <= 0) {
            LOG_DEVICE(m_deviceSN, "SendData err: %d, %s", errno, std::strerror(errno));
            return status::kNoAnswer;
        }
        sent += static_cast<size_t>(rc);
    }
    if (!(id & kReplyWanted)) return 0;

    // Whole replies are read, so a late reply to an earlier command keeps the stream in step.
    // Only a reply that carries the id sent answers the command; without one it fails.
    for (int attempt = 0; attempt < linktiming::kRepliesExamined; ++attempt) {
        const bool first = attempt == 0;
        const Reply reply =
            ReadReply(id, buf, bufSize, first ? linktiming::kCmdReadWait : linktiming::kFollowUpReplyWait, first);
        switch (reply) {
            case Reply::Matched: return 0;
            case Reply::Foreign:
            case Reply::TimedOut:
            case Reply::Closed:
            case Reply::Failed: return status::kNoAnswer;
            case Reply::Mismatched: {
                const auto* body = reinterpret_cast<const uint8_t*>(m_replyBuf.data());
                LOG_DEVICE(m_deviceSN, "outIndex:%d cmdid 0x%x: 0x%x 0x%x", linktiming::kRepliesExamined - 1 - attempt,
                           id, m_replyBuf.empty() ? 0 : body[0], m_replyBuf.size() < 2 ? 0 : body[1]);
                break;
            }
        }
    }
    return status::kNoAnswer;
}

int SocketCtl::DataLinkFailed(Recv r) {
    m_dataLost = true;
    // The host's own shut-down ends a read in flight the same way; that is no news.
    if (m_shutDown) return status::kFailed;
    if (r == Recv::Closed) {
        LOG_DEVICE(m_deviceSN, "the data connection has been closed by the camera");
    } else if (r == Recv::Failed) {
        LOG_DEVICE(m_deviceSN, "the data connection failed: %d, %s", errno, std::strerror(errno));
    } else if (r == Recv::Unframed) {
        LOG_DEVICE(m_deviceSN, "the data stream is out of step");
    } else {
        LOG_DEVICE(m_deviceSN, "the data stream is out of step: silent for over %lld ms inside a frame",
                   static_cast<long long>(m_dataWaits.insideFrame.count()));
    }
    // After the line, which reads errno.
    if (m_dataLinkLost) m_dataLinkLost();
    return status::kFailed;
}

SocketCtl::Recv SocketCtl::ReadHead(uint32_t& type, uint32_t& length) {
    uint8_t head[kHeadSize];
    // A camera that sends nothing between frames is quiet, not gone; once a frame has begun,
    // only a short silence keeps it in step.
    const Recv r = RecvExact(DataSocket(), head, sizeof(head), m_dataWaits.betweenFrames, m_dataWaits.insideFrame);
    if (r != Recv::Ok) return r;
    type = byteorder::GetLe32(head);
    length = byteorder::GetLe32(head + 4);
    if (type > kMaxFrameTypeWord || length > kMaxDrainedFrame) {
        LOG_DEVICE(m_deviceSN, "data head type:0x%x length:%u is no frame's", type, length);
        return Recv::Unframed;
    }
    return Recv::Ok;
}

int SocketCtl::ReadFrame(unsigned char* buf, int capacity, int* len) {
    uint32_t type = 0;
    uint32_t length = 0;
    const Recv h = ReadHead(type, length);
    if (h == Recv::TimedOut) return 0;
    if (h == Recv::Unframed) *len = 0;
    if (h != Recv::Ok) return DataLinkFailed(h);
    const bool foreign = type != kDataFrameType;
    if (foreign || !buf || capacity < 0 || length > static_cast<uint32_t>(capacity)) {
        if (foreign) {
            LOG_DEVICE(m_deviceSN, "unknow type, type[%d], len[%d]", static_cast<int>(type), static_cast<int>(length));
        } else {
            LOG_DEVICE(m_deviceSN, "data length:%u exceeds the buffer:%d", length, capacity);
        }
        // Skipping the payload keeps the next head in step.
        *len = 0;
        const Recv d = Drain(DataSocket(), length, m_dataWaits.insideFrame);
        return d == Recv::Ok ? status::kFailed : DataLinkFailed(d);
    }
    *len = static_cast<int>(length);
    if (length == 0) return 0;
    const Recv p = RecvExact(DataSocket(), buf, length, m_dataWaits.insideFrame, m_dataWaits.insideFrame);
    if (p == Recv::Ok) return 0;
    *len = 0;
    return DataLinkFailed(p);
}

int SocketCtl::ReadData(unsigned char* buf, int capacity, int* len) {
    // A lost data connection stays lost until the next open: reading it again would spin.
    if (m_isOpened && len && !m_dataLost) {
        LockGuard lock(m_dataMutex);
        if (DataSocket() >= 0) return ReadFrame(buf, capacity, len);
    }
    m_sleep(linktiming::kClosedReadPause);
    return status::kFailed;
}
