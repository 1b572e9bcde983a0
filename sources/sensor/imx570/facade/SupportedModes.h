#pragma once
#include <mutex>

#include "ProtocolRecords.h"

// The depth ranges and data modes the camera supports, as read at the first stream start
// after an open; until then the plug-in's defaults.
class SupportedModes {
public:
    SupportedModes();

    // An empty list accepts every range.
    bool IsRangeValid(int range) const;
    // An empty list accepts no mode.
    bool IsDataModeValid(int mode) const;

    DepthRangeList GetDepthRanges() const;
    void SetDepthRanges(const DepthRangeList& list);
    DataModeList GetDataModes() const;
    void SetDataModes(const DataModeList& list);

private:
    mutable std::mutex m_mutex;
    DepthRangeList m_depthRangeList;
    DataModeList m_dataModeList;
};
