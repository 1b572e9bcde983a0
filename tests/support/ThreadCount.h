#pragma once
#include <dirent.h>

#include <chrono>
#include <thread>

namespace testsupport {

// Threads of this process, from the kernel's task list.
inline int ThreadCount() {
    DIR* dir = opendir("/proc/self/task");
    if (!dir) return -1;
    int count = 0;
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] != '.') ++count;
    }
    closedir(dir);
    return count;
}

// The thread count once it has come down to `expected` or less, or after three seconds:
// threads that were told to end (the simulator's connection threads once the kit closes its
// side, a worker that frees itself) end a moment later.
inline int ThreadCountSettledAt(int expected) {
    int count = ThreadCount();
    for (int i = 0; i < 300 && count > expected; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        count = ThreadCount();
    }
    return count;
}

}  // namespace testsupport
