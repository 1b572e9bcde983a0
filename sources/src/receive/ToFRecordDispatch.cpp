#include "ToFRecordDispatch.h"

#include "ToF_API.h"

int ToFRecordDispatch::Offer(uint8_t* record, int remaining, int length) {
    const int answer = m_tofApi.CheckImgData(record, remaining);
    // A later claim replaces an earlier one: the plug-in takes one record per data frame.
    if (answer > 0) m_claim = ClaimedRecord{record, length};
    return answer;
}

void ToFRecordDispatch::Deliver(const FrameSyncInfo& info) {
    // The plug-in copies the record before it returns; its answer carries nothing.
    if (Claimed()) m_tofApi.ProcessData(m_claim.record, m_claim.length, info);
}
