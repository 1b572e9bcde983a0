#pragma once
#include <cstdint>

// A device event, as the manager tells a device and the application's hot-plug callback.
enum MessageType : int32_t {
    MessageAdded = 0,
    MessageRemoved = 1,
};
