#pragma once
#include <exception>
#include <utility>

#include "ApiState.h"
#include "StatusCodes.h"
#include "StatusMapping.h"
#include "Torvane_api.h"
#include "log.h"

class BaseDevice;

// The pattern of the exported functions: nothing but a status crosses the C boundary.
namespace api {

// Runs an exported function's body; an exception becomes -255 with a log line.
template <typename Body>
int Boundary(const char* function, Body&& body) {
    try {
        return body();
    } catch (const std::exception& e) {
        LOG_PRINTF_AS(function, "exception: %s", e.what());
    } catch (...) {
        LOG_PRINTF_AS(function, "unknown exception");
    }
    return status::kInternal;
}

// -12 for a required pointer that is null.
inline int NullArgument(const char* function) {
    LOG_PRINTF_AS(function, "required pointer is null");
    return status::kNullArgument;
}

// The functions that take a handle: the initialised check, the handle check and the device
// held for the call; what `op` returns reaches the application as it is. `op` gets the
// device and may refuse an argument value before calling it.
template <typename Op>
int OnDeviceUnmapped(const char* function, QlDeviceHandle handle, Op&& op) {
    return Boundary(function, [&]() -> int {
        if (!Initialised()) return status::kNotInitialised;
        HandleRegistry::Use use;
        const int ret = Handles().Acquire(handle, use);
        if (ret != 0) return ret;
        return op(use.Device());
    });
}

// As OnDeviceUnmapped, with the status mapping of what `op` returns.
template <typename Op>
int OnDevice(const char* function, QlDeviceHandle handle, Op&& op) {
    return OnDeviceUnmapped(function, handle, [&](BaseDevice& device) { return InterRet2ExternRet(op(device)); });
}

}  // namespace api
