#pragma once
#include "Frame.h"

// The raw-frame source the ToF decoder pulls from.
class Producer {
public:
    virtual ~Producer() = default;
    // 0 with the oldest raw frame, or -1 with null after the queue's wait time.
    virtual int GetRawData(Frame** out) = 0;
    // Gives a raw frame back to its pool; 0.
    virtual int RecycleRawFrame(Frame* frame) = 0;
};
