#include "DeviceErrorList.h"

#include <algorithm>
#include <cstring>

#include "ByteOrder.h"
#include "TerminatedText.h"
#include "log.h"

static_assert(sizeof(QlDeviceErrorInfo::errMsg) ==
                  sizeof(char[DeviceErrorList::kMaxMessages][DeviceErrorList::kTextSize]),
              "the public record carries the stored texts");

bool DeviceErrorList::Parse(const uint8_t* payload, uint32_t length) {
    if (length <= 4) return true;
    uint32_t count = byteorder::GetLe32(payload);
    if (count > kMaxMessages) {
        LOG_DEVICE(m_tag, "m_iDeviceErrorInfoCount:%u is too long than %u.", count, kMaxMessages);
        count = kMaxMessages;
    }
    Texts texts = {};
    uint64_t offset = 4;
    uint32_t parsed = 0;
    bool fits = true;
    for (; parsed < count; ++parsed) {
        if (offset + 4 > length) {
            LOG_DEVICE(m_tag, "parseErrMsgLen:%llu > lenth:%u.", static_cast<unsigned long long>(offset + 4), length);
            fits = false;
            break;
        }
        const uint32_t textLength = byteorder::GetLe32(payload + offset);
        if (offset + 4 + textLength > length) {
            LOG_DEVICE(m_tag, "parseErrMsgLen:%llu + msgLength:%u > lenth:%u.",
                       static_cast<unsigned long long>(offset + 4), textLength, length);
            fits = false;
            break;
        }
        const char* text = reinterpret_cast<const char*>(payload + offset + 4);
        if (textLength > kTextSize) {
            LOG_DEVICE(m_tag, "errMsg:%.*s is too long than %u.", static_cast<int>(textLength), text, kTextSize);
        }
        CopyTerminatedText(texts[parsed], kTextSize, text, textLength);
        offset += 4 + static_cast<uint64_t>(textLength);
    }
    // Only the texts parsed count: a list cut short must not announce slots it never filled.
    Store(parsed, texts);
    return fits;
}

void DeviceErrorList::Store(uint32_t count, const Texts& texts) {
    LockGuard lock(m_mutex);
    m_iDeviceErrorInfoCount = count;
    std::memcpy(m_errMsg, texts, sizeof(m_errMsg));
}

int DeviceErrorList::GetErrMsg(QlDeviceErrorInfo* out) const {
    if (out == nullptr) return 0;
    std::memset(out, 0, sizeof(*out));
    LockGuard lock(m_mutex);
    out->count = static_cast<int32_t>(m_iDeviceErrorInfoCount);
    for (uint32_t i = 0; i < m_iDeviceErrorInfoCount; ++i) {
        CopyTerminatedText(out->errMsg[i], m_errMsg[i]);
    }
    return out->count;
}
