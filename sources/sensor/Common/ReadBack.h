#pragma once
#include <chrono>

#include "StatusCodes.h"

// Confirms a camera setting: reads it back up to `reads` times, pausing after each read
// that differs. `read(matched)` returns the get's result and tells whether the value
// matched. 0 confirmed, -105 never confirmed, else the failed read's result.
template <typename Sleep, typename Read>
int ReadBack(int reads, std::chrono::milliseconds pause, Sleep&& sleep, Read&& read) {
    for (int i = 0; i < reads; ++i) {
        bool matched = false;
        const int ret = read(matched);
        if (ret != 0) return ret;
        if (matched) return 0;
        sleep(pause);
    }
    return status::kNotConfirmed;
}
