#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace camsim {

constexpr uint8_t kTimestampRecordType = 0x1F;
constexpr uint8_t kErrorListRecordType = 0x31;

// Bounds of what one error-list record may carry; more than the host keeps,
// so a camera can still announce a list the host must cut.
constexpr size_t kMaxErrorEntries = 64;
constexpr size_t kMaxErrorTextLength = 1024;

// The device timestamp: N = 8, u64 LE.
void AppendTimestampRecord(std::vector<uint8_t>& out, uint64_t timestamp);

// u32 count, then {u32 length; text} per entry. Throws std::invalid_argument
// beyond the bounds above.
void AppendErrorListRecord(std::vector<uint8_t>& out, const std::vector<std::string>& errors);

}  // namespace camsim
