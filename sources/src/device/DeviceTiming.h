#pragma once
#include <chrono>

// Pauses of the device classes, in one place.
namespace devicetiming {

// After a confirmed work-mode change the camera needs time before it streams in the new mode.
constexpr std::chrono::milliseconds kWorkModeSettle{1000};

}  // namespace devicetiming
