#include "ProcessStats.h"

#include <dirent.h>
#include <unistd.h>

#include <fstream>
#include <string>

namespace soak {
namespace {

int CountOpenDescriptors() {
    DIR* dir = opendir("/proc/self/fd");
    if (!dir) return -1;
    int count = 0;
    while (const dirent* entry = readdir(dir))
        if (entry->d_name[0] != '.') ++count;
    closedir(dir);
    return count - 1;  // the listing's own descriptor
}

}  // namespace

ProcessStats ReadProcessStats() {
    ProcessStats stats;
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") status >> stats.rssKb;
        if (key == "Threads:") status >> stats.threads;
        std::getline(status, key);
    }
    stats.fds = CountOpenDescriptors();
    return stats;
}

std::string OpenDescriptorTargets() {
    std::string text;
    DIR* dir = opendir("/proc/self/fd");
    if (!dir) return text;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.' || std::stoi(entry->d_name) == dirfd(dir)) continue;
        char target[512];
        const ssize_t n = readlink((std::string("/proc/self/fd/") + entry->d_name).c_str(), target, sizeof target - 1);
        text += " " + std::string(entry->d_name) + "=" + (n > 0 ? std::string(target, static_cast<size_t>(n)) : "?");
    }
    closedir(dir);
    return text;
}

}  // namespace soak
