// What the soak watches of its own process for growth.
#pragma once

#include <string>

namespace soak {

struct ProcessStats {
    long rssKb = 0;
    int fds = 0;
    int threads = 0;
};

ProcessStats ReadProcessStats();
// What each open descriptor names, for telling a leak from the standard streams.
std::string OpenDescriptorTargets();

}  // namespace soak
