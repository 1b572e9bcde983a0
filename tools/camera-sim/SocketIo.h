// Bounded reads and writes on non-blocking sockets, so that a stop is always prompt.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>

namespace camsim {

// Sends all bytes in chunks, pausing `chunkPause` between chunks (a slow camera).
// Gives up when the peer stops taking data for `stallLimit`, on an error, or on stop.
bool SendAll(int fd, const uint8_t* data, size_t size, const std::atomic<bool>& stop,
             std::chrono::milliseconds chunkPause = std::chrono::milliseconds(0),
             std::chrono::milliseconds stallLimit = std::chrono::milliseconds(5000));

// Waits up to `timeout` for fd to be readable (or closed). True when it is.
bool WaitReadable(int fd, std::chrono::milliseconds timeout);

// Sleeps up to `duration` in short steps; returns early on stop.
void SleepUnlessStopped(std::chrono::milliseconds duration, const std::atomic<bool>& stop);

}  // namespace camsim
