#include "RecordEnvelope.h"

#include <stdexcept>

namespace camsim {

void AppendRecordHead(std::vector<uint8_t>& out, uint8_t type, uint32_t length, uint8_t sensorByte)
{
    if (length > kMaxRecordLength) {
        throw std::length_error("record payload does not fit a 24-bit length");
    }
    const uint8_t head[kRecordHeadSize] = {type, static_cast<uint8_t>(length), static_cast<uint8_t>(length >> 8),
                                           static_cast<uint8_t>(length >> 16), sensorByte};
    out.insert(out.end(), head, head + kRecordHeadSize);
}

void PutLe16(uint8_t* at, uint16_t value)
{
    at[0] = static_cast<uint8_t>(value);
    at[1] = static_cast<uint8_t>(value >> 8);
}

void PutLe32(uint8_t* at, uint32_t value)
{
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

void AppendLe32(std::vector<uint8_t>& out, uint32_t value)
{
    uint8_t bytes[4];
    PutLe32(bytes, value);
    out.insert(out.end(), bytes, bytes + 4);
}

void AppendLe64(std::vector<uint8_t>& out, uint64_t value)
{
    AppendLe32(out, static_cast<uint32_t>(value));
    AppendLe32(out, static_cast<uint32_t>(value >> 32));
}

}  // namespace camsim
