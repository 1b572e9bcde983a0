#pragma once
#include "APIImgPreProcess.h"

namespace kpimg {

// Mirrors and quarter turns, in place on a usable image. Each returns 0, or -1 for a code
// or mode it does not know (the image then stays as it was).

// flipCode 1 mirrors left to right, 0 top to bottom, -1 both.
int Flip(PreProcImage& image, int flipCode);

// rotationMode 0 turns 90 degrees clockwise, 1 turns 180 degrees, 2 turns 90 degrees
// counter-clockwise; quarter turns swap width and height.
int Rotate(PreProcImage& image, int rotationMode);

}  // namespace kpimg
