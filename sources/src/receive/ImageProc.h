#pragma once

// What a device needs of its frame pipeline beyond frame hand-out: dropping the frames
// cached by the plug-ins and the grouping after a confirmed work-mode change.
class ImageProc {
public:
    virtual ~ImageProc() = default;
    virtual void RecycleCache() = 0;
};
