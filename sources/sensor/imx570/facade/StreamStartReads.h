#pragma once
#include "Protocol.h"
#include "SupportedModes.h"
#include "TofDecode.h"

// What the first stream start after an open reads from the camera: the depth ranges and
// their measuring ranges, the data modes, the current depth range and data mode, and in the
// multi-frequency modes the dual-frequency parameters. The results are not reported: each
// failed read leaves a default or the decoder's current value.
class StreamStartReads {
public:
    StreamStartReads(Protocol& protocol, TofDecode& decode, SupportedModes& modes);

    void Run();

private:
    void ReadRanges();
    void ReadCurrentModes();

    Protocol& m_protocol;
    TofDecode& m_decode;
    SupportedModes& m_modes;
};
