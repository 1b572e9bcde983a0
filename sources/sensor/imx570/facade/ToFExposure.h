#pragma once
#include <cstdint>

#include "CameraTag.h"
#include "Protocol.h"
#include "QlTypes.h"
#include "TofDecode.h"

// The exposure settings: times in milliseconds at this boundary (the camera counts in
// microseconds), the exposure control mode and HDR as DSP items.
class ToFExposure {
public:
    ToFExposure(Protocol& protocol, const TofDecode& decode, const CameraTag& tag);

    // Only mode 1 (manual) sets a time; in the multi-frequency modes the second exposure
    // follows the first.
    int SetExposureTime(ExposureTimeParams params);
    // Mode 0 reports 0, 1 the main exposure, 255 the maximum.
    int GetExposureTime(ExposureTimeParams* params);
    // Mode 0 is automatic control, any other mode manual.
    int SetExposureControlMode(int mode);
    int GetExposureControlMode(int* mode);
    int SetHDRModeEnabled(bool enable);
    int GetHDRModeEnabled(bool* enable);

    int SetHdrExposureTime(int32_t milliseconds);
    // Changes `milliseconds` only when the read succeeded.
    int GetHdrExposureTime(int32_t& milliseconds);
    // 1000 when the camera reports no maximum or the read fails.
    int GetMaximumExposureTime(int32_t& milliseconds);

private:
    static constexpr uint8_t kMainExposure = 0;
    static constexpr uint8_t kSecondExposure = 1;
    static constexpr uint8_t kHdrExposure = 254;
    static constexpr uint8_t kMaximumExposure = 255;
    static constexpr int32_t kExposureControlItem = 14;
    static constexpr int32_t kHdrItem = 15;

    // The time in the camera's unit; false for a time the wire cannot carry.
    bool ToCameraUnits(int32_t milliseconds, uint32_t& microseconds) const;

    Protocol& m_protocol;
    const TofDecode& m_decode;
    const CameraTag& m_tag;
};
