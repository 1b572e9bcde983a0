#include "ProcessStats.h"

#include <fstream>
#include <string>

#include "ProcessProbes.h"

namespace soak {

ProcessStats ReadProcessStats() {
    ProcessStats stats;
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") status >> stats.rssKb;
        if (key == "Threads:") status >> stats.threads;
        std::getline(status, key);
    }
    stats.fds = static_cast<int>(testsupport::OpenFds().size());
    return stats;
}

std::string OpenDescriptorTargets() {
    std::string text;
    for (const int fd : testsupport::OpenFds()) {
        const std::string target = testsupport::FdTarget(fd);
        text += " " + std::to_string(fd) + "=" + (target.empty() ? "?" : target);
    }
    return text;
}

}  // namespace soak
