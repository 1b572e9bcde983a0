#include "PointCloudTable.h"

#include <cmath>
#include <cstring>

#include "StatusCodes.h"
#include "log.h"

int PointCloudTable::Build(const double* intrinsic, int width, int height) {
    std::lock_guard<std::mutex> guard(m_tableMutex);
    m_tableWidth = 0;
    m_tableHeight = 0;
    if (intrinsic == nullptr || width <= 0 || height <= 0) {
        LOG_PRINTF("intrinsic:%p width:%d height:%d is invalid.", static_cast<const void*>(intrinsic), width, height);
        return status::kInvalidParameter;
    }
    const double fx = intrinsic[0], cx = intrinsic[2], fy = intrinsic[4], cy = intrinsic[5];
    if (fx == 0.0 || fy == 0.0 || !std::isfinite(fx) || !std::isfinite(fy) || !std::isfinite(cx) ||
        !std::isfinite(cy)) {
        LOG_PRINTF("fx:%f fy:%f cx:%f cy:%f give no point cloud table.", fx, fy, cx, cy);
        return status::kInvalidParameter;
    }
    m_columnFactor.resize(static_cast<size_t>(width));
    m_rowFactor.resize(static_cast<size_t>(height));
    for (int x = 0; x < width; ++x) {
        m_columnFactor[static_cast<size_t>(x)] = (x - cx) / fx;
    }
    for (int y = 0; y < height; ++y) {
        m_rowFactor[static_cast<size_t>(y)] = (y - cy) / fy;
    }
    m_tableWidth = width;
    m_tableHeight = height;
    return 0;
}

int PointCloudTable::Convert(const Frame* frame, int width, int height, Vector3f* out) const {
    if (frame == nullptr || frame->data == nullptr) {
        return status::kNoFrameData;
    }
    if (out == nullptr) {
        return status::kNullArgument;
    }
    const size_t bytes = 2 * static_cast<size_t>(width) * height;
    if (frame->frameType != FRAME_DEPTH || frame->width != width || frame->height != height || frame->length < bytes) {
        LOG_PRINTF("frameType:%d width:%d height:%d length:%u is invalid.", static_cast<int>(frame->frameType),
                   frame->width, frame->height, frame->length);
        return status::kInvalidParameter;
    }
    std::lock_guard<std::mutex> guard(m_tableMutex);
    if (m_tableWidth != width || m_tableHeight != height) {
        LOG_PRINTF("no point cloud table for %dx%d.", width, height);
        return status::kInternal;
    }
    const uint8_t* row = frame->data;
    for (int y = 0; y < height; ++y, row += 2 * static_cast<size_t>(width)) {
        const double rowFactor = m_rowFactor[static_cast<size_t>(y)];
        const double* __restrict columnFactor = m_columnFactor.data();
        Vector3f* __restrict points = out + static_cast<size_t>(y) * width;
        for (int x = 0; x < width; ++x) {
            uint16_t d;
            std::memcpy(&d, row + 2 * static_cast<size_t>(x), sizeof(d));
            const double depth = d != 0 && d != 0xFFFF ? d : 0.0;
            // Adding +0 turns the -0 of a negative factor times an invalid pixel into +0 and
            // leaves every other value as it is.
            points[x].x = static_cast<float>(columnFactor[x] * depth) + 0.0f;
            points[x].y = static_cast<float>(rowFactor * depth) + 0.0f;
            points[x].z = static_cast<float>(depth);
        }
    }
    return 0;
}
