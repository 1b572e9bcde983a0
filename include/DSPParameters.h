#pragma once
#include <cstdint>

// One DSP item of a camera's command 0x19, used by both plug-ins.
struct DSPParameters {
    int32_t DSPConfig;  // selects the item
    uint8_t option;     // payload byte 0
    uint8_t enable;
    uint16_t threshold;
};
static_assert(sizeof(DSPParameters) == 8, "DSPParameters is 8 bytes");
