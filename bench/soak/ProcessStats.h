// What the soak watches of its own process for growth.
#pragma once

namespace soak {

struct ProcessStats {
    long rssKb = 0;
    int fds = 0;
    int threads = 0;
};

ProcessStats ReadProcessStats();

}  // namespace soak
