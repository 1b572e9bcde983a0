#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "LittleEndian.h"  // the byte order of every record field, for all who build records

namespace camsim {

// Every record but type 44 starts with: u8 type, u24 LE payload length,
// u8 sensor-specific byte.
constexpr size_t kRecordHeadSize = 5;
constexpr uint32_t kMaxRecordLength = 0xFFFFFF;

// Appends a record head; throws std::length_error when length needs more than 24 bits.
void AppendRecordHead(std::vector<uint8_t>& out, uint8_t type, uint32_t length, uint8_t sensorByte);

}  // namespace camsim
