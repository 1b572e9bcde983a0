#pragma once
#include <cstdint>
#include <functional>

namespace receive {

// Milliseconds of a monotonic clock, for the ages of handed-out frames; tests inject
// their own.
using Clock = std::function<uint64_t()>;
uint64_t SteadyMs();

}  // namespace receive
