#include "CalibrationFile.h"

#include <cstring>

#include "log.h"

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "calibration tables are read as host uint16");

bool ReadUint16Table(const std::string& path, std::vector<uint16_t>& table) {
    std::vector<unsigned char> bytes(table.size() * sizeof(uint16_t));
    unsigned int length = static_cast<unsigned int>(bytes.size());
    if (!ReadData(path.c_str(), bytes.data(), length)) {
        return false;
    }
    // A trailing odd byte is half a value: it is not taken.
    std::memcpy(table.data(), bytes.data(), length / sizeof(uint16_t) * sizeof(uint16_t));
    return true;
}
