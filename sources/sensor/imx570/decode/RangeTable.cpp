#include "RangeTable.h"

#include <cstdio>
#include <numeric>

#include "CalibrationFile.h"
#include "log.h"

namespace {

constexpr uint16_t kSmallestTabledDepth = 10;

std::shared_ptr<const RangeTable::OffsetTable> LoadOffsetTable(const std::string& folder, int range,
                                                               uint16_t depthMax) {
    auto table = std::make_shared<RangeTable::OffsetTable>(static_cast<size_t>(depthMax) + 1);
    std::iota(table->begin(), table->end(), uint16_t{0});
    char name[32];
    std::snprintf(name, sizeof(name), "rangeOffset_%d.bin", range);
    if (!ReadUint16Table(folder + name, *table)) {
        LOG_PRINTF("%s not read, range %d uses the identity table", name, range);
    }
    return table;
}

}  // namespace

RangeTable::RangeTable() : m_ranges(kRangeCount, MeasuringRange{0, 0, 0, 0}) {}

std::shared_ptr<const RangeTable> RangeTable::Load(std::vector<MeasuringRange> ranges, const RangeTable& previous,
                                                   const std::string& calibrationFolder) {
    auto next = std::make_shared<RangeTable>();
    next->m_ranges = std::move(ranges);
    next->m_rangeOffset = previous.m_rangeOffset;
    if (!next->m_ranges.empty()) {
        for (int range = 0; range < kRangeCount; ++range) {
            const uint16_t depthMax = next->LastDepthMaxFor(range);
            if (depthMax >= kSmallestTabledDepth) {
                next->m_rangeOffset[range] = LoadOffsetTable(calibrationFolder, range, depthMax);
            }
        }
    }
    return next;
}

const MeasuringRange* RangeTable::RecordAt(int position) const {
    if (position < 0 || static_cast<size_t>(position) >= m_ranges.size()) {
        return nullptr;
    }
    return &m_ranges[static_cast<size_t>(position)];
}

uint16_t RangeTable::DepthMaxAt(int position) const {
    const MeasuringRange* record = RecordAt(position);
    return record != nullptr ? record->depthMax : 0;
}

uint16_t RangeTable::RangeValueAt(int position, bool rawDepthCut) const {
    const MeasuringRange* record = RecordAt(position);
    if (record == nullptr || position >= kRangeCount) {
        return 0;
    }
    return rawDepthCut ? record->effectDepthMax : record->depthMax;
}

uint16_t RangeTable::LastDepthMaxFor(int range) const {
    uint16_t depthMax = 0;
    for (const MeasuringRange& record : m_ranges) {
        if (record.range == range) {
            depthMax = record.depthMax;
        }
    }
    return depthMax;
}

const RangeTable::OffsetTable* RangeTable::OffsetTableFor(int range) const {
    if (range < 0 || range >= kRangeCount) {
        return nullptr;
    }
    return m_rangeOffset[static_cast<size_t>(range)].get();
}
