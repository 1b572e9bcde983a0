#pragma once
#include <functional>

#include "CameraTag.h"
#include "FileTransferParams.h"

// Whether a calibration file may be offered to the camera: it opens for reading and
// writing, and its length is the one its type needs (a range-offset table of range r holds
// depthMax(r) + 1 values of 16 bits). Fills `fileLength` and, when the check passes,
// `checkSum` with the sum of all bytes modulo 256.
bool CheckTransferFile(FileTransferParams& params, const std::function<int(int range)>& maxDepthOf,
                       const CameraTag& tag);
