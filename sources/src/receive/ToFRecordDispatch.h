#pragma once
#include "RecordDispatch.h"

class ToF_API;

// Sensor records of a ToF-only camera all go to the ToF plug-in.
class ToFRecordDispatch : public RecordDispatch {
public:
    explicit ToFRecordDispatch(ToF_API& tof) : m_tofApi(tof) {}

    void Begin() override { m_claim = {}; }
    int Offer(uint8_t* record, int remaining, int length) override;
    bool Claimed() const override { return m_claim.record != nullptr; }
    void Deliver(const FrameSyncInfo& info) override;

private:
    ToF_API& m_tofApi;
    ClaimedRecord m_claim;
};
