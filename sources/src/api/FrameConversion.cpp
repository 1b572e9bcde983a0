#include "FrameConversion.h"

QlFrame ToQlFrame(const Frame& frame) {
    QlFrame out;
    out.frameIndex = frame.frameIndex;
    out.frameType = frame.frameType;
    out.pixelFormat = frame.pixelFormat;
    out.pFrameData = frame.data;
    out.dataLen = frame.length;
    out.exposureTime = frame.exposureTime;
    out.depthRange = static_cast<uint8_t>(frame.depthRange & 0xFF);
    out.width = frame.width;
    out.height = frame.height;
    out.deviceTimestamp = frame.timestamp;
    return out;
}
