#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "RangeRecords.h"

// The camera's measuring ranges and the per-range depth offset tables, as one immutable
// value: the decoder publishes a new one when they change, so a record decoded meanwhile
// keeps reading the ranges and tables it started with.
class RangeTable {
public:
    using OffsetTable = std::vector<uint16_t>;

    // Six zeroed records, no offset tables.
    RangeTable();

    // The given records with offset tables loaded for them from "rangeOffset_<r>.bin" in the
    // folder: a range whose maximum depth is above 9 gets a table of depthMax + 1 entries (the
    // identity where the file holds no value); a range at 9 or less keeps the previous table.
    static std::shared_ptr<const RangeTable> Load(std::vector<MeasuringRange> ranges, const RangeTable& previous,
                                                  const std::string& calibrationFolder);

    const std::vector<MeasuringRange>& Ranges() const { return m_ranges; }
    // depthMax of the record at that position; 0 when there is none.
    uint16_t DepthMaxAt(int position) const;
    // effectDepthMax (with the raw depth cut) or depthMax of the record at that position; 0
    // when there is none.
    uint16_t RangeValueAt(int position, bool rawDepthCut) const;
    // depthMax of the last record whose range byte is the given range; 0 when none.
    uint16_t LastDepthMaxFor(int range) const;
    // Null when the range has no table.
    const OffsetTable* OffsetTableFor(int range) const;

private:
    static constexpr int kRangeCount = 6;

    const MeasuringRange* RecordAt(int position) const;

    std::vector<MeasuringRange> m_ranges;
    // Shared between successive values: a kept table is not copied.
    std::array<std::shared_ptr<const OffsetTable>, kRangeCount> m_rangeOffset;
};
