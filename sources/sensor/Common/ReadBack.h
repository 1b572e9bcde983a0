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

// How a command set confirms its settings.
struct ConfirmRule {
    int reads;                        // reads at the most
    std::chrono::milliseconds pause;  // after each read that differs
    bool lineOnFailedRead;            // a read that fails also asks for the mismatch line, not only -105
};

// What SetAndConfirm ended with. The caller writes its own mismatch line when `writeLine`
// says so, so that the line keeps the operation's name.
struct Confirmation {
    int result;      // 0 confirmed, the set's failure, a read's failure or -105
    bool writeLine;  // the set went out and was not confirmed
};

// Sends a setting with `set()` and reads it back: `query()` reads the value and returns the
// get's result, `same()` tells whether the value read is the one set. A failed set is not
// read back.
template <typename Sleep, typename Set, typename Query, typename Same>
Confirmation SetAndConfirm(const ConfirmRule& rule, Sleep&& sleep, Set&& set, Query&& query, Same&& same) {
    const int sent = set();
    if (sent != 0) return {sent, false};
    const int ret = ReadBack(rule.reads, rule.pause, sleep, [&](bool& matched) {
        const int r = query();
        matched = r == 0 && same();
        return r;
    });
    return {ret, ret == status::kNotConfirmed || (ret != 0 && rule.lineOnFailedRead)};
}
