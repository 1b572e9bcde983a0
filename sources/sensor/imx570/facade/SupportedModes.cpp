#include "SupportedModes.h"

#include <algorithm>

namespace {

// The first `count` entries, bounded by the record's room whatever the count says.
template <size_t N>
bool Contains(uint8_t count, const uint8_t (&entries)[N], int value) {
    const uint8_t* end = entries + std::min<size_t>(count, N);
    return std::find(entries, end, value) != end;
}

}  // namespace

SupportedModes::SupportedModes()
    : m_depthRangeList{6, {0, 1, 2, 3, 4, 5}}, m_dataModeList{14, {1, 2, 3, 5, 6, 7, 9, 10, 13, 14, 15, 16, 17, 18}} {}

bool SupportedModes::IsRangeValid(int range) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_depthRangeList.count == 0 || Contains(m_depthRangeList.count, m_depthRangeList.ranges, range);
}

bool SupportedModes::IsDataModeValid(int mode) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return Contains(m_dataModeList.count, m_dataModeList.modes, mode);
}

DepthRangeList SupportedModes::GetDepthRanges() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_depthRangeList;
}

void SupportedModes::SetDepthRanges(const DepthRangeList& list) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_depthRangeList = list;
}

DataModeList SupportedModes::GetDataModes() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_dataModeList;
}

void SupportedModes::SetDataModes(const DataModeList& list) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_dataModeList = list;
}
