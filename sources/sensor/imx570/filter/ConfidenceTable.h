#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

// The confidence filter's amplitude scale per depth, for 100 to 7495 mm, looked up with
// depth - kConfidenceTabFirstDepth. It falls steadily with depth, close to 3.3e8 / depth^2.
constexpr int kConfidenceTabFirstDepth = 100;
constexpr int kConfidenceTabLastDepth = 7495;
constexpr size_t kConfidenceTabSize = kConfidenceTabLastDepth - kConfidenceTabFirstDepth + 1;

// Built on first use, then only read (safe from any thread).
const std::array<uint16_t, kConfidenceTabSize>& pConfidenceTab();
