#pragma once

// What the library's operations answer. The library stands outside the kit, so it keeps its
// own names for them.
namespace kpimg {

constexpr int kDone = 0;
constexpr int kRefused = -1;  // an unusable image or argument, an unknown code, or a failure inside

}  // namespace kpimg
