#pragma once
#include "APIImgPreProcess.h"
#include "PreProcStatus.h"

namespace kpimg {

// Mirrors and quarter turns, in place on a usable image. Each returns kDone, or kRefused for
// a code or mode it does not know (the image then stays as it was).

// The flip codes of the interface.
constexpr int kMirrorLeftRight = 1;
constexpr int kMirrorTopBottom = 0;
constexpr int kMirrorBoth = -1;
int Flip(PreProcImage& image, int flipCode);

// The rotation modes of the interface; quarter turns swap width and height.
constexpr int kTurnClockwise = 0;
constexpr int kTurnHalf = 1;
constexpr int kTurnCounterClockwise = 2;
int Rotate(PreProcImage& image, int rotationMode);

}  // namespace kpimg
