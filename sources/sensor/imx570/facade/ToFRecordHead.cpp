#include "ToFRecordHead.h"

#include "ByteOrder.h"

bool ToFRecordHead::Read(const uint8_t* record, int size, ToFRecordHead& out) {
    if (record == nullptr || size < kSize) {
        return false;
    }
    out.type = record[0];
    out.length = static_cast<int32_t>(byteorder::GetLe24(record + 1));
    return true;
}
