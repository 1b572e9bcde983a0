#pragma once

// The device manager's record of the transfer under way. While it is set, opened cameras get
// no heartbeats; while a firmware upgrade is recorded, no camera is reported.
namespace transferrecord {
constexpr int kNone = 0;
constexpr int kFirmware = 1;
constexpr int kJson = 2;
}  // namespace transferrecord
