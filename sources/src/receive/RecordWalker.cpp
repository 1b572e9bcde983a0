#include "RecordWalker.h"

#include "ByteOrder.h"
#include "DeviceErrorList.h"
#include "RecordDispatch.h"
#include "log.h"

namespace {

constexpr int kRecordHead = 5;       // u8 type, u24 length, one byte for the record's owner
constexpr int kShortRecordHead = 3;  // type 44 alone: u8 type, u16 length
constexpr uint8_t kTimestampType = 0x1F;
constexpr uint8_t kShortSkippedType = 0x2C;
constexpr uint8_t kSkippedType = 0x2E;
constexpr uint8_t kErrorListType = 0x31;
constexpr uint32_t kTimestampLength = 8;

}  // namespace

WalkResult RecordWalker::Walk(uint8_t* payload, int size) {
    WalkResult result;
    m_dispatch.Begin();
    if (payload == nullptr || size <= 0) return result;
    if (size < kRecordHead) {
        LogStray(size, size);
        return result;
    }
    int offset = 0;
    while (size - offset >= kRecordHead) {
        uint8_t* record = payload + offset;
        const int remaining = size - offset;
        const int head = record[0] == kShortSkippedType ? kShortRecordHead : kRecordHead;
        const uint32_t length =
            head == kShortRecordHead ? byteorder::GetLe16(record + 1) : byteorder::GetLe24(record + 1);
        const int afterHead = remaining - head;
        if (length > static_cast<uint32_t>(afterHead)) {
            LOG_DEVICE(m_tag, "bufferSize:%d typeId:%d dataLenth.lenth:%u   unUsed:%d   >", size, record[0], length,
                       afterHead);
            break;
        }
        if (TakeRecord(record, remaining, size, result) == Step::Stop) break;
        offset += head + static_cast<int>(length);
        const int left = size - offset;
        if (left > 0 && left < kRecordHead) LogStray(size, left);
    }
    return result;
}

RecordWalker::Step RecordWalker::TakeRecord(uint8_t* record, int remaining, int size, WalkResult& result) {
    const uint8_t type = record[0];
    if (type == kShortSkippedType || type == kSkippedType) return Step::Next;
    // Lengths were checked against the data frame by the caller.
    const uint32_t length = byteorder::GetLe24(record + 1);
    const uint8_t* payload = record + kRecordHead;
    if (type == kTimestampType) {
        if (length != kTimestampLength) {
            LOG_DEVICE(m_tag, "bufferSize:%d typeId:0x%x lenth:%u unUsed:%d", size, kTimestampType, length,
                       remaining - kRecordHead);
            return Step::Stop;
        }
        result.timestamp = byteorder::GetLe64(payload);
        return Step::Next;
    }
    if (type == kErrorListType) return m_errors.Parse(payload, length) ? Step::Next : Step::Stop;

    const int answer = m_dispatch.Offer(record, remaining, kRecordHead + static_cast<int>(length));
    if (answer < 0) {
        LOG_DEVICE(m_tag, "hasType:%d is error", answer);
        return Step::Stop;
    }
    // 0: the plug-in has switched the record's frame kinds off; the rest of the data frame
    // still counts.
    if (answer > 0) result.frameTypeBits |= static_cast<uint8_t>(answer & 0xFF);
    return Step::Next;
}

void RecordWalker::LogStray(int size, int unused) const {
    LOG_DEVICE(m_tag, "bufferSize:%d  unUsed:%d   RAWDATAHEADER:%d   <", size, unused, kRecordHead);
}
