#pragma once
#include "Frame.h"

// Frame-ready notice from a sensor plug-in to the kit's frame grouping. The plug-in borrows
// the pointer it receives in Init and calls it on its decode thread, once per frame kind it
// has just queued.
class Consumer {
public:
    virtual ~Consumer() = default;
    virtual int SetSingleFrameReady(HasFrameType bits) = 0;
};
