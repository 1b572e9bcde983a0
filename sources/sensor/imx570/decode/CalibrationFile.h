#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Reads a calibration table of little-endian uint16 values. A file shorter than the table
// fills its leading entries and leaves the others as they were; a file that cannot be read
// or is larger than the table gives false and leaves the table untouched.
bool ReadUint16Table(const std::string& path, std::vector<uint16_t>& table);
