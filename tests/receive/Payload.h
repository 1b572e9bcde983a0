#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "HostRecords.h"
#include "RecordEnvelope.h"
#include "ToFRecords.h"

namespace receivetest {

// One data frame's payload, built with the simulator's encoders; remembers where each
// sensor record lies so that a test can compare what a plug-in was given.
class Payload {
public:
    Payload& Timestamp(uint64_t timestamp) {
        camsim::AppendTimestampRecord(bytes, timestamp);
        return *this;
    }
    Payload& Errors(const std::vector<std::string>& texts) {
        camsim::AppendErrorListRecord(bytes, texts);
        return *this;
    }
    // The camera's own depth, IR and confidence record of a wall (0xB7).
    Payload& Computed(uint16_t wallMm) {
        const size_t start = bytes.size();
        camsim::ToFRecords().AppendComputed(bytes, camsim::Scene::Wall(wallMm), true, 2);
        m_records.emplace_back(start, bytes.size() - start);
        return *this;
    }
    // A record of any type with `length` patterned payload bytes.
    Payload& Record(uint8_t type, uint32_t length) {
        const size_t start = bytes.size();
        camsim::AppendRecordHead(bytes, type, length, 0);
        for (uint32_t i = 0; i < length; ++i) bytes.push_back(static_cast<uint8_t>(type + i));
        m_records.emplace_back(start, bytes.size() - start);
        return *this;
    }
    // Type 44 carries a 3-byte head: u8 type, u16 length.
    Payload& ShortRecord(uint16_t length) {
        bytes.push_back(0x2C);
        bytes.push_back(static_cast<uint8_t>(length));
        bytes.push_back(static_cast<uint8_t>(length >> 8));
        bytes.insert(bytes.end(), length, 0x2C);
        return *this;
    }
    Payload& Raw(const std::vector<uint8_t>& raw) {
        bytes.insert(bytes.end(), raw.begin(), raw.end());
        return *this;
    }
    // The i-th record added with Computed or Record, head included.
    std::vector<uint8_t> RecordBytes(size_t i) const {
        const auto& [start, length] = m_records.at(i);
        return std::vector<uint8_t>(bytes.begin() + start, bytes.begin() + start + length);
    }

    std::vector<uint8_t> bytes;

private:
    std::vector<std::pair<size_t, size_t>> m_records;
};

}  // namespace receivetest
