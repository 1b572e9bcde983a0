#include "RawDump.h"

#include <cstdio>

void RawDump::Arm() {
    m_saveRawCount = 0;
    m_saveRawEnable = true;
}

void RawDump::Write(uint32_t frameIndex, const uint8_t* payload, size_t length) const {
    char name[64];
    snprintf(name, sizeof name, "raw_TOF_%ud.bin", frameIndex);
    FILE* file = fopen(name, "ab+e");
    if (file == nullptr) {
        return;
    }
    fwrite(payload, 1, length, file);
    fclose(file);
}

void RawDump::Count() {
    if (!m_saveRawEnable) {
        return;
    }
    if (++m_saveRawCount >= kRecordsPerArming) {
        m_saveRawCount = 0;
        m_saveRawEnable = false;
    }
}
