#include "ToFRecordHead.h"

bool ToFRecordHead::Read(const uint8_t* record, int size, ToFRecordHead& out) {
    if (record == nullptr || size < kSize) {
        return false;
    }
    out.type = record[0];
    out.length = static_cast<int32_t>(record[1] | (record[2] << 8) | (record[3] << 16));
    return true;
}
