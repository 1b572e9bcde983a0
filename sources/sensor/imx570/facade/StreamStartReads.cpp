#include "StreamStartReads.h"

#include <vector>

#include "ToFRecordLayout.h"

namespace {

// The depths in millimetres the plug-in assumes when the camera gives no range list. The
// maximum is each range's unambiguous distance, its phase factor times 2 pi, where depth wraps.
constexpr uint16_t kBuiltInDepthMax[6] = {1249, 1874, 2498, 3123, 3747, 7495};
// The depths used: each range's whole period, except that range 5 is used only to 4.5 m.
constexpr uint16_t kBuiltInEffectDepthMax[6] = {1249, 1874, 2498, 3123, 3747, 4500};
// Nearer than 450 mm no range is used.
constexpr uint16_t kBuiltInEffectDepthMin[6] = {450, 450, 450, 450, 450, 450};

// The data modes whose two frequencies the camera is asked for.
bool UsesDualFrequency(int mode) {
    switch (mode) {
        case 5:
        case 7:
        case 9:
        case 10:
        case 13:
        case 15:
        case 17:
        case 18: return true;
        default: return false;
    }
}

}  // namespace

StreamStartReads::StreamStartReads(Protocol& protocol, TofDecode& decode, SupportedModes& modes)
    : m_protocol(protocol), m_decode(decode), m_modes(modes) {}

void StreamStartReads::Run() {
    ReadRanges();
    DataModeList modes = m_modes.GetDataModes();
    if (m_protocol.GetOutModeList(modes) == 0) {
        m_modes.SetDataModes(modes);
    }
    ReadCurrentModes();
}

void StreamStartReads::ReadRanges() {
    DepthRangeList ranges = m_modes.GetDepthRanges();
    if (m_protocol.GetDepthRangeList(ranges) != 0) {
        m_decode.InitRangeValue(kBuiltInDepthMax, kBuiltInEffectDepthMax, kBuiltInEffectDepthMin);
        return;
    }
    m_modes.SetDepthRanges(ranges);
    std::vector<MeasuringRange> measuring;
    for (int range = 0; range < tofrecord::kDepthRangeCount; ++range) {
        // A failed read leaves the range with no depths.
        MeasuringRange record{static_cast<uint8_t>(range), 0, 0, 0};
        m_protocol.GetMeasuringRange(record);
        measuring.push_back(record);
    }
    m_decode.InitRangeValue(measuring);
}

void StreamStartReads::ReadCurrentModes() {
    int range = 0;
    m_protocol.GetDepthRange(range);
    m_decode.SetDepthRange(range);

    uint8_t mode = 0;
    m_protocol.GetDataMode(&mode);
    if (UsesDualFrequency(mode)) {
        DualRangeParams params{};
        // A failed read keeps the decoder's parameters rather than zeros.
        if (m_protocol.GetDualFreqMode(&params) == 0) {
            m_decode.SetDualRangeParams(params);
        }
    }
    m_decode.SetDataMode(mode);
}
