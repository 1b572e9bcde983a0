#pragma once
#include <cstdint>

#include "ByteOrder.h"
#include "DSPParameters.h"

// The camera's DSP command, sent by both plug-ins: [0] option, [1] class (a get adds
// kDspGetBit), [2] target; in the switch class [3] the enable byte, in the item class [3] item,
// [4] enable and the threshold from [5]. Each plug-in knows its own items.
namespace dspcmd {

constexpr int kDsp = 0x19;
constexpr uint8_t kDspGetBit = 0x80;
constexpr uint8_t kDspClassSwitch = 0x01;
constexpr uint8_t kDspClassItem = 0x02;

// Where one item sits: class (0 none), target and item, and the width of its threshold in a set
// and in a get (0 none, 1 a byte, 2 little-endian 16 bits).
struct DspItem {
    uint8_t cls;
    uint8_t target;
    uint8_t item;
    int setThreshold;
    int getThreshold;
};

// The payload of a get or a set of `at`; bytes the item does not use stay as they are.
inline void FillDsp(uint8_t* buf, const DspItem& at, const DSPParameters& p, bool get) {
    buf[0] = p.option;
    if (at.cls == 0) return;
    buf[1] = static_cast<uint8_t>(at.cls | (get ? kDspGetBit : 0));
    buf[2] = at.target;
    if (at.cls == kDspClassSwitch) {
        if (!get) buf[3] = p.enable;
        return;
    }
    buf[3] = at.item;
    if (get) return;
    buf[4] = p.enable;
    if (at.setThreshold == 1) buf[5] = static_cast<uint8_t>(p.threshold);
    if (at.setThreshold == 2) byteorder::PutLe16(buf + 5, p.threshold);
}

// What a get's reply says of `at`.
inline void ReadDsp(const uint8_t* buf, const DspItem& at, DSPParameters& p) {
    if (at.cls == kDspClassSwitch) p.enable = buf[3];
    if (at.cls != kDspClassItem) return;
    p.enable = buf[4];
    if (at.getThreshold == 1) p.threshold = buf[5];
    if (at.getThreshold == 2) p.threshold = static_cast<uint16_t>(byteorder::GetLe16(buf + 5));
}

}  // namespace dspcmd
