#pragma once

namespace api {
// The kit's version, logged at initialisation.
constexpr const char kVersion[] = "1.2.7";
// The kit's log file name and line prefix.
constexpr const char kLogPrefix[] = "QueltaSDK";
}  // namespace api
