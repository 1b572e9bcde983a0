#pragma once
#include <cstdint>
#include <string>

#include "StatusCodes.h"

// Checks a firmware image file against the camera's current firmware before anything is
// sent: header fields, the file's real length and the payload's byte sum.
class FirmwareImage {
public:
    struct Result {
        int status = status::kImageUnusable;  // 0, kOlderFirmware (with the right length) or kImageUnusable
        uint32_t fileLen = 0;                 // on 0: the file's length
        uint32_t checksum = 0;                // on 0: the unsigned byte sum of the whole file
    };

    // Longest camera firmware text the command set reads.
    static constexpr size_t kFirmwareTextMax = 64;

    // `oldFW` is read up to its zero byte or kFirmwareTextMax characters; `tag` names the
    // camera in log lines.
    static Result Check(const char* oldFW, const char* imgPath, int deviceType, const char* tag);
    // The product group an image must name for a camera of this device type.
    static int ProductGroup(int deviceType);
};
