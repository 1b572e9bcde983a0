#pragma once
#include <cstdint>

#include "Frame.h"

// A sensor record that a plug-in claimed during one data frame's walk: it points into
// the receive buffer and is valid until the next data frame is read.
struct ClaimedRecord {
    uint8_t* record = nullptr;
    int length = 0;  // head included
};

// The sensor step of the record walk: which plug-in takes a sensor record, and the
// hand-over of the claimed records once the data frame has been walked.
class RecordDispatch {
public:
    virtual ~RecordDispatch() = default;
    // A new data frame: forget the claims of the last one.
    virtual void Begin() = 0;
    // Offers the sensor record at `record` (`remaining` bytes to the end of the data frame,
    // the record itself `length` bytes) to the plug-ins. Returns the claimed HasFrameType
    // bits when a plug-in took it, 0 when it is skipped, or a negative answer that ends the
    // walk.
    virtual int Offer(uint8_t* record, int remaining, int length) = 0;
    virtual bool Claimed() const = 0;
    // Gives each plug-in its last claimed record.
    virtual void Deliver(const FrameSyncInfo& info) = 0;
};
