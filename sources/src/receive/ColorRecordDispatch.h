#pragma once
#include "ToFRecordDispatch.h"

class Color_API;

// Sensor records of a ToF-and-colour camera: the ToF plug-in is asked first, and a record
// it does not know is offered to the colour plug-in. Each plug-in gets its own last claimed
// record of the data frame, with the same FrameSyncInfo.
class ColorRecordDispatch : public RecordDispatch {
public:
    ColorRecordDispatch(ToF_API& tof, Color_API& color) : m_tof(tof), m_colorApi(color) {}

    void Begin() override;
    // A record both plug-ins answer -255 for is skipped (0) without a line.
    int Offer(uint8_t* record, int remaining, int length) override;
    bool Claimed() const override;
    void Deliver(const FrameSyncInfo& info) override;

private:
    ToFRecordDispatch m_tof;  // the ToF plug-in's side, as on a ToF-only camera
    Color_API& m_colorApi;
    ClaimedRecord m_colorClaim;
};
