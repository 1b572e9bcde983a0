#pragma once
#include <chrono>

// Pauses of the device manager, in one place.
namespace managertiming {

// Between two passes of the main loop.
constexpr std::chrono::milliseconds kBetweenPasses{1000};
// After a failed heartbeat the camera is removed on the next pass, this much later.
constexpr std::chrono::milliseconds kAfterFailedHeartbeat{100};
// How often the manager's release cuts the opens in flight again until they have ended.
constexpr std::chrono::milliseconds kOpenCutRepeat{50};
// How long the manager's release waits for hot-plug reports before it says so in the log.
constexpr std::chrono::milliseconds kReportsLate{300};

}  // namespace managertiming
