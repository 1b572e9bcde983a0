#pragma once
#include <chrono>
#include <thread>

namespace testsupport {

// Polls `condition` until it holds; false once `bound` has passed without it.
template <typename Condition>
bool Eventually(Condition condition, std::chrono::milliseconds bound = std::chrono::seconds(10),
                std::chrono::milliseconds poll = std::chrono::milliseconds(10)) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(poll);
    }
    return true;
}

}  // namespace testsupport
