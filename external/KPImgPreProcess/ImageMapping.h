#pragma once
#include "APIImgPreProcess.h"
#include "PreProcParams.h"
#include "PreProcStatus.h"

namespace kpimg {

// The depth and colour images seen from the other camera. Depth pixels of 0 or 65535 carry
// no depth. Each returns kDone when made, kRefused for an unusable image or an uncalibrated
// rig; the output is written only when made, with exactly the target image's size.

// Depth in colour-camera millimetres at the colour image's size, 0 where no depth pixel
// lands. Each depth pixel covers its whole footprint in the colour image, so a larger colour
// image has no holes; where footprints meet, the nearer depth wins.
int MapDepthToColor(const PreProcParams& params, const PreProcImage& color, const PreProcImage& depth,
                    PreProcImage& output);

// The colour pixel each depth pixel lands on, at the depth image's size; black where the
// depth pixel has no depth or lands outside the colour image.
int MapColorToDepth(const PreProcParams& params, const PreProcImage& depth, const PreProcImage& color,
                    PreProcImage& output);

// One depth pixel, in the depth camera at the size its intrinsics were given for, to its
// colour pixel at `colorSize`. kRefused (and {0, 0}) when it has no depth, lies outside the
// depth image or lands outside the colour image.
int MapDepthPointToColor(const PreProcParams& params, const QlDepthVector3& point, const QlVector2u16& colorSize,
                         QlVector2u16& colorPoint);

}  // namespace kpimg
