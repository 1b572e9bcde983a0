#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <optional>
#include <string>

#include "Announcer.h"

namespace camsim {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

struct Received {
    DiscoveryDatagram bytes{};
    ssize_t size = 0;
    std::string source;
    std::string specDst;  // local address the datagram reached
};

// The host side: what the kit's discovery listens with.
class Listener {
public:
    Listener() {
        m_fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        const int on = 1;
        setsockopt(m_fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof(on));
        timeval timeout{2, 0};
        setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(9007);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_bound = bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    }
    ~Listener() { close(m_fd); }
    bool Bound() const { return m_bound; }

    std::optional<Received> Receive(int flags = 0) {
        Received r;
        uint8_t buffer[1024];
        char control[256];
        sockaddr_in from{};
        iovec iov{buffer, sizeof(buffer)};
        msghdr msg{};
        msg.msg_name = &from;
        msg.msg_namelen = sizeof(from);
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof(control);
        r.size = recvmsg(m_fd, &msg, flags);
        if (r.size < 0) {
            return std::nullopt;
        }
        std::memcpy(r.bytes.data(), buffer, std::min<size_t>(static_cast<size_t>(r.size), r.bytes.size()));
        char text[INET_ADDRSTRLEN] = {};
        r.source = inet_ntop(AF_INET, &from.sin_addr, text, sizeof(text));
        for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c != nullptr; c = CMSG_NXTHDR(&msg, c)) {
            if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO) {
                in_pktinfo info;
                std::memcpy(&info, CMSG_DATA(c), sizeof(info));
                r.specDst = inet_ntop(AF_INET, &info.ipi_spec_dst, text, sizeof(text));
            }
        }
        return r;
    }

    void Drain() {
        while (Receive(MSG_DONTWAIT)) {
        }
    }

private:
    int m_fd = -1;
    bool m_bound = false;
};

DiscoveryInfo Camera() {
    DiscoveryInfo info;
    info.ip = "127.0.0.5";
    info.serialNumber = "SIM0005";
    info.alias = "loop";
    return info;
}

TEST(Announcer, DatagramReachesTheHostPortFromTheCameraAddress) {
    Listener host;
    ASSERT_TRUE(host.Bound());
    Announcer announcer(Camera(), "127.0.0.5");
    ASSERT_TRUE(announcer.Start());
    const std::optional<Received> r = host.Receive();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->size, 89);
    EXPECT_EQ(r->source, "127.0.0.5");
    EXPECT_EQ(r->specDst, "127.0.0.1");
    EXPECT_EQ(r->bytes, BuildDiscoveryDatagram(Camera()));
}

TEST(Announcer, RepeatsAtItsInterval) {
    Listener host;
    ASSERT_TRUE(host.Bound());
    Announcer announcer(Camera(), "127.0.0.5");
    ASSERT_TRUE(announcer.Start());
    ASSERT_TRUE(host.Receive());
    const auto first = Clock::now();
    ASSERT_TRUE(host.Receive());
    ASSERT_TRUE(host.Receive());
    // Two intervals of 300 ms; only the lower bound, a loaded machine may be late.
    EXPECT_GE(Clock::now() - first, milliseconds(550));
}

TEST(Announcer, StateChangeIsInTheNextDatagram) {
    Listener host;
    ASSERT_TRUE(host.Bound());
    Announcer announcer(Camera(), "127.0.0.5");
    ASSERT_TRUE(announcer.Start());
    ASSERT_TRUE(host.Receive());
    for (AnnouncedState state : {AnnouncedState::Leaving, AnnouncedState::UpgradeWaiting, AnnouncedState::Normal}) {
        announcer.SetState(state);
        host.Drain();  // datagrams sent before the change are already queued
        const std::optional<Received> r = host.Receive();
        ASSERT_TRUE(r);
        EXPECT_EQ(static_cast<int8_t>(r->bytes[52]), static_cast<int8_t>(state));
        EXPECT_EQ(announcer.GetState(), state);
    }
}

TEST(Announcer, StopsPromptlyAndSendsNothingAfter) {
    Listener host;
    ASSERT_TRUE(host.Bound());
    Announcer announcer(Camera(), "127.0.0.5", "127.0.0.1", 9007, std::chrono::seconds(30));
    ASSERT_TRUE(announcer.Start());
    ASSERT_TRUE(host.Receive());
    const auto before = Clock::now();
    announcer.Stop();
    EXPECT_LT(Clock::now() - before, milliseconds(1000)) << "Stop must not wait out the 30 s interval";
    EXPECT_FALSE(announcer.IsRunning());
    host.Drain();
    EXPECT_FALSE(host.Receive(MSG_DONTWAIT));
}

TEST(Announcer, RestartsAfterStop) {
    Listener host;
    ASSERT_TRUE(host.Bound());
    Announcer announcer(Camera(), "127.0.0.5");
    ASSERT_TRUE(announcer.Start());
    EXPECT_FALSE(announcer.Start()) << "already running";
    announcer.Stop();
    host.Drain();
    ASSERT_TRUE(announcer.Start());
    EXPECT_TRUE(host.Receive());
}

TEST(Announcer, RefusesTargetsOffLoopbackAndUnknownSources) {
    struct Case {
        const char* source;
        const char* target;
    };
    for (const Case& c : {Case{"", "10.0.0.1"}, Case{"", "255.255.255.255"}, Case{"", "not-an-address"},
                          Case{"192.0.2.77", "127.0.0.1"}, Case{"bad", "127.0.0.1"}}) {
        Announcer announcer(Camera(), c.source, c.target);
        EXPECT_FALSE(announcer.Start()) << c.source << " -> " << c.target;
        EXPECT_FALSE(announcer.IsRunning());
    }
}

}  // namespace
}  // namespace camsim
