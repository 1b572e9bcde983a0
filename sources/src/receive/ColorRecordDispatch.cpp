#include "ColorRecordDispatch.h"

#include "Color_API.h"
#include "StatusCodes.h"

void ColorRecordDispatch::Begin() {
    m_tof.Begin();
    m_colorClaim = {};
}

int ColorRecordDispatch::Offer(uint8_t* record, int remaining, int length) {
    const int tofAnswer = m_tof.Offer(record, remaining, length);
    if (tofAnswer != status::kNotMine) return tofAnswer;
    const int answer = m_colorApi.CheckImgData(record, remaining);
    if (answer == status::kNotMine) return 0;
    if (answer > 0) m_colorClaim = ClaimedRecord{record, length};
    return answer;
}

bool ColorRecordDispatch::Claimed() const { return m_tof.Claimed() || m_colorClaim.record != nullptr; }

void ColorRecordDispatch::Deliver(const FrameSyncInfo& info) {
    m_tof.Deliver(info);
    // The plug-in copies the record before it returns; its answer carries nothing.
    if (m_colorClaim.record != nullptr) m_colorApi.ProcessData(m_colorClaim.record, m_colorClaim.length, info);
}
