#include "RecordEnvelope.h"

#include <stdexcept>

namespace camsim {

void AppendRecordHead(std::vector<uint8_t>& out, uint8_t type, uint32_t length, uint8_t sensorByte) {
    if (length > kMaxRecordLength) {
        throw std::length_error("record payload does not fit a 24-bit length");
    }
    uint8_t head[kRecordHeadSize] = {type};
    PutLe24(head + 1, length);
    head[4] = sensorByte;
    out.insert(out.end(), head, head + kRecordHeadSize);
}

}  // namespace camsim
