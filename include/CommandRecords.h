#pragma once
#include <cstdint>

// Records of the host's camera commands. Their layouts travel through property buffers
// and across library boundaries, so they are fixed.

#include "QlEnums.h"

// One trigger signal, exchanged with the camera byte for byte.
#pragma pack(push, 1)
struct MCUParameters {
    uint8_t signalType;  // 1 the hardware trigger's input signal, 2 its output signal
    uint8_t polarity;
    uint16_t width;
    uint16_t intervalOrDelay;  // the input's interval or the output's delay
};
#pragma pack(pop)
static_assert(sizeof(MCUParameters) == 6, "MCUParameters is 6 bytes on the wire");

struct FactoryMode {
    int32_t mode;
    int32_t bImuSwitch;
    int32_t bAudioSwitch;
    int32_t bDepthSwitch;
    int32_t bRGBSwitch;
};
static_assert(sizeof(FactoryMode) == 20, "FactoryMode is read whole, 20 bytes");

// A transfer's state and its two parameters; the camera reports each as one byte.
struct UpgradeState {
    int32_t state;
    int32_t param1;
    int32_t param2;
};
static_assert(sizeof(UpgradeState) == 12, "UpgradeState is three int32");

struct JsonState {
    int32_t state;
    int32_t param1;
    int32_t param2;
};
static_assert(sizeof(JsonState) == 12, "JsonState is three int32");
