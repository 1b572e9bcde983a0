#pragma once
#include <cstdint>

#include "Mutex.h"
#include "QlTypes.h"

// The camera's last device error list (record type 49): u32 count, then count entries of
// {u32 text length; text}. Written by the receive thread, read by the application.
class DeviceErrorList {
public:
    // As many texts, of this size, as the public QlDeviceErrorInfo holds.
    static constexpr uint32_t kMaxMessages = 10;
    static constexpr uint32_t kTextSize = 64;

    explicit DeviceErrorList(const char* tag) : m_tag(tag) {}

    // Takes one error-list payload of `length` bytes. The texts parsed before an entry that
    // does not fit are kept; false then, and the walk of the data frame stops.
    bool Parse(const uint8_t* payload, uint32_t length);
    // Zero-fills `out`, copies the stored texts into it and returns their number.
    int GetErrMsg(QlDeviceErrorInfo* out) const EXCLUDES(m_mutex);

private:
    using Texts = char[kMaxMessages][kTextSize];
    void Store(uint32_t count, const Texts& texts) EXCLUDES(m_mutex);

    const char* m_tag;
    mutable Mutex m_mutex;  // the application reads while the receive thread writes
    uint32_t m_iDeviceErrorInfoCount GUARDED_BY(m_mutex) = 0;
    Texts m_errMsg GUARDED_BY(m_mutex) = {};
};
