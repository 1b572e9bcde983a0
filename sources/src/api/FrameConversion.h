#pragma once
#include "Frame.h"
#include "Torvane_api.h"

// The application's view of a frame record: the depth range's low byte, no capacity and no
// frame-kind bits.
QlFrame ToQlFrame(const Frame& frame);
