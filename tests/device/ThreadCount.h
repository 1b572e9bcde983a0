#pragma once
#include <dirent.h>

namespace devicetest {

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

}  // namespace devicetest
