#pragma once
#include <cstdint>

// The colour plug-in's commands on the camera's command channel, each id with the sub-ids it
// carries in payload byte 0. The ToF plug-in uses 0x15 and 0x19 as well, told apart by byte
// 0 (0x15) and by the DSP target (0x19).
namespace colorcmd {

// Colour resolution: [0] sub-id, then on a set [1] 1, [2..3] width, [4..5] height.
constexpr int kResolution = 0x15;
constexpr uint8_t kSubColourResolution = 0x02;

// [0] option, [1] class (a get adds kDspGetBit), [2] target, then the item or the enable byte.
constexpr int kDsp = 0x19;
constexpr uint8_t kDspGetBit = 0x80;
constexpr uint8_t kDspClassSwitch = 0x01;  // [3] enable
constexpr uint8_t kDspClassItem = 0x02;    // [3] item, [4] enable
constexpr uint8_t kDspTargetColour = 0x03;
constexpr uint8_t kDspItemDistortion = 0x01;
// The DSPParameters::DSPConfig values the colour camera knows.
constexpr int32_t kDspConfigSwitch = 2;      // the switch-class item; nothing in the system sets it
constexpr int32_t kDspConfigDistortion = 8;  // distortion correction

// Colour sensor values: [0] sub-id, the value from byte 1.
constexpr int kColour = 0x22;
constexpr uint8_t kSubFirmware = 0x01;
constexpr uint8_t kSubBrightness = 0x02;
constexpr uint8_t kSubAEMaxExposure = 0x03;
constexpr uint8_t kSubManualState = 0x05;
constexpr uint8_t kSubManualTime = 0x06;
constexpr uint8_t kSubMaxExposure = 0x07;
constexpr uint8_t kSubGain = 0x08;

}  // namespace colorcmd
