#pragma once
#include <atomic>
#include <cstring>

#include "APIImgPreProcess.h"

namespace testsupport {

// A preprocessing object that changes no pixel: the filters and mappings it stands behind
// run, their images stay as they came. Counts the calls that tests look for.
class IdentityPreProcess : public APIImgPreProcess {
public:
    void SetCalibrationParams(const double*, int) override { ++calibrationCalls; }
    void SetSensorIntrinsic(int, const double*, int, int) override {}
    void SetDepthRangeValue(int, int, int) override {}
    int ProcessImage(PreProcImage*) override {
        ++processImageCalls;
        return 0;
    }
    int ProcessColorImage(PreProcImage*) override { return 0; }
    void SetDistortionCorrection(bool) override {}
    int MapDepthPointToColor(QlDepthVector3 point, QlVector2u16, QlVector2u16* out) override {
        out->x = static_cast<uint16_t>(point.depthX);
        out->y = static_cast<uint16_t>(point.depthY);
        return 0;
    }
    int MapDepthToColor(const PreProcImage* color, const PreProcImage* depth, PreProcImage* output) override {
        return CopyInto(depth, color, output);
    }
    int MapColorToDepth(const PreProcImage* depth, const PreProcImage* color, PreProcImage* output) override {
        return CopyInto(color, depth, output);
    }
    int Flip(PreProcImage*, int) override { return 0; }
    int Rotate(PreProcImage*, int) override { return 0; }
    int ProcessDepthImage(PreProcImage*) override {
        ++processDepthCalls;
        return 0;
    }
    int AdjustIntrinsic(double*, const double*, int) override { return 0; }
    void SetDeviceTag(const char*) override {}

    std::atomic<int> calibrationCalls{0};
    std::atomic<int> processImageCalls{0};
    std::atomic<int> processDepthCalls{0};

private:
    // The source's pixels at the target's size, when the sizes agree; else -1.
    static int CopyInto(const PreProcImage* source, const PreProcImage* target, PreProcImage* output) {
        if (source->width != target->width || source->height != target->height) return -1;
        int bytes = source->elemType == ALG_ELEM_8U ? 1 : source->elemType == ALG_ELEM_8UC3 ? 3 : 2;
        std::memcpy(output->data, source->data, static_cast<size_t>(source->width) * source->height * bytes);
        output->elemType = source->elemType;
        output->width = source->width;
        output->height = source->height;
        return 0;
    }
};

}  // namespace testsupport
