#pragma once
#include <atomic>

#include "CommonControl.h"
#include "log.h"

// The plug-in's borrowed command interface as far as its log lines need it: every line
// about the camera carries its serial number, and none is written before Init gave one.
class CameraTag {
public:
    void Set(CommonControl* control) { m_control = control; }
    CommonControl* Control() const { return m_control.load(); }

private:
    std::atomic<CommonControl*> m_control{nullptr};
};

#define CAMERA_LOG(tag, format, ...)                                       \
    do {                                                                   \
        if (CommonControl* tagControl_ = (tag).Control()) {                \
            LOG_DEVICE(tagControl_->GetDeviceSN(), format, ##__VA_ARGS__); \
        }                                                                  \
    } while (0)
