#pragma once
#include <cstdint>

#include "DspCommand.h"

// The colour plug-in's commands on the camera's command channel, each id with the sub-ids it
// carries in payload byte 0. The ToF plug-in uses 0x15 and 0x19 as well, told apart by byte
// 0 (0x15) and by the DSP target (0x19).
namespace colorcmd {

// Colour resolution: [0] sub-id, then on a set [1] 1, [2..3] width, [4..5] height.
constexpr int kResolution = 0x15;
constexpr uint8_t kSubColourResolution = 0x02;

// The DSP command (dspcmd::kDsp): the DSPParameters::DSPConfig values the colour camera knows.
constexpr int32_t kDspConfigSwitch = 2;      // the switch-class item; nothing in the system sets it
constexpr int32_t kDspConfigDistortion = 8;  // distortion correction
// Both at target 0x03, the colour camera; the distortion correction is its item 0x01.
constexpr dspcmd::DspItem kDspSwitch{dspcmd::kDspClassSwitch, 0x03, 0x00, 0, 0};
constexpr dspcmd::DspItem kDspDistortion{dspcmd::kDspClassItem, 0x03, 0x01, 0, 0};

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
