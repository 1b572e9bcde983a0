// What a test reads of its own process: the descriptors it holds, their close-on-exec flag
// and what they name, its TCP sockets and their options, and the UDP ports bound in its
// network namespace.
#pragma once
#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

namespace testsupport {

// The descriptors open in this process, without the one that lists them.
inline std::set<int> OpenFds() {
    std::set<int> fds;
    DIR* dir = opendir("/proc/self/fd");
    if (!dir) return fds;
    const int own = dirfd(dir);
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        const int fd = std::atoi(entry->d_name);
        if (fd != own) fds.insert(fd);
    }
    closedir(dir);
    return fds;
}

// What a descriptor names: a path, "socket:[inode]", "anon_inode:[eventfd]" and so on.
inline std::string FdTarget(int fd) {
    char target[512];
    const ssize_t length = readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), target, sizeof(target));
    return length < 0 ? std::string() : std::string(target, static_cast<size_t>(length));
}

inline bool IsCloseOnExec(int fd) {
    const int flags = fcntl(fd, F_GETFD);
    return flags >= 0 && (flags & FD_CLOEXEC) != 0;
}

// Whether a UDP socket of this network namespace is bound to `port`, on any address.
inline bool UdpPortBound(uint16_t port) {
    std::ifstream table("/proc/net/udp");
    std::string line;
    std::getline(table, line);  // the heading
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot;
        std::string local;  // hex address:hex port
        fields >> slot >> local;
        const size_t colon = local.find(':');
        if (colon != std::string::npos && std::strtoul(local.c_str() + colon + 1, nullptr, 16) == port) return true;
    }
    return false;
}

// A TCP socket of this process with these local and peer ports (0: any), or -1.
inline int TcpSocketOf(uint16_t localPort, uint16_t peerPort) {
    for (const int fd : OpenFds()) {
        sockaddr_in local{};
        sockaddr_in peer{};
        socklen_t localSize = sizeof(local);
        socklen_t peerSize = sizeof(peer);
        if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localSize) != 0 || local.sin_family != AF_INET ||
            getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerSize) != 0) {
            continue;
        }
        if ((localPort == 0 || ntohs(local.sin_port) == localPort) &&
            (peerPort == 0 || ntohs(peer.sin_port) == peerPort)) {
            return fd;
        }
    }
    return -1;
}

// Whether Nagle's algorithm is off on a TCP socket.
inline bool NoDelay(int fd) {
    int on = 0;
    socklen_t size = sizeof(on);
    return getsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, &size) == 0 && on != 0;
}

}  // namespace testsupport
