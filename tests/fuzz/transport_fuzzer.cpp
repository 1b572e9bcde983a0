// The socket transport's framing: the camera's side of both connections sends the input's
// bytes and closes its sending side; the transport reads command replies and data frames
// from them. The camera listens on loopback, so the target runs in its own network namespace.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

#include "FuzzCheck.h"
#include "SocketCtl.h"

namespace {

using fuzzcheck::Check;

constexpr const char* kCameraIp = "127.0.0.2";
constexpr unsigned short kDataPort = 19009;
constexpr unsigned short kCmdPort = 19008;

int g_dataListener = -1;
int g_cmdListener = -1;

int Listen(unsigned short port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
    const sockaddr_in address = fuzzcheck::Address(kCameraIp, port);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 || listen(fd, 4) != 0) {
        fuzzcheck::Fail("cannot listen on loopback; run in a network namespace", std::to_string(port));
    }
    return fd;
}

// Sends everything (the transport's receive buffer holds far more than an input), then
// closes the sending side only, so that no reset discards what the transport has not read.
void SendAndHalfClose(int fd, const std::vector<uint8_t>& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) break;
        sent += static_cast<size_t>(n);
    }
    shutdown(fd, SHUT_WR);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_dataListener = Listen(kDataPort);
    g_cmdListener = Listen(kCmdPort);
    return 0;
}

// Input: the number of commands (byte) and for each its id and reply buffer size, the length
// of the command connection's bytes (16-bit), those bytes, then the data connection's bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzcheck::Reader in(data, size);
    struct Command {
        uint8_t id;
        int bufSize;
    };
    std::vector<Command> commands(in.Byte() % 8);
    for (auto& c : commands) {
        c.id = in.Byte();
        c.bufSize = 1 + in.Byte();
    }
    const std::vector<uint8_t> cmdBytes = in.Bytes(in.Word());
    const std::vector<uint8_t> dataBytes = in.Rest();

    SocketCtl transport(kCameraIp, "127.0.0.1", kDataPort, kCmdPort, [](linktiming::milliseconds) {});
    Check(transport.OpenDevice() == 0, "transport did not connect");
    const int cmdPeer = accept(g_cmdListener, nullptr, nullptr);
    const int dataPeer = accept(g_dataListener, nullptr, nullptr);
    Check(cmdPeer >= 0 && dataPeer >= 0, "camera side did not accept");
    SendAndHalfClose(cmdPeer, cmdBytes);
    SendAndHalfClose(dataPeer, dataBytes);

    for (const Command& c : commands) {
        // Exactly the caller's size, so that a reply copied past it is caught.
        std::vector<char> buf(static_cast<size_t>(c.bufSize), 0);
        const int ret = transport.SetCmd(c.id, buf.data(), c.bufSize, static_cast<unsigned char>(c.bufSize),
                                         (c.id & 0x80) ? CMDTYPE_GET : CMDTYPE_SET);
        Check(ret == 0 || ret == -104, "command result neither 0 nor -104:", std::to_string(ret));
    }
    for (int frames = 0; frames < 8; ++frames) {
        const int capacity = 4096;
        std::vector<unsigned char> buf(capacity);
        int len = 0;
        const int ret = transport.ReadData(buf.data(), capacity, &len);
        Check(ret == 0 || ret == -1, "data read neither 0 nor -1");
        Check(len >= 0 && len <= capacity, "data frame length beyond the buffer:", std::to_string(len));
        if (ret != 0) break;
    }
    transport.CloseDevice();
    close(cmdPeer);
    close(dataPeer);
    return 0;
}
