#include "ImageProc_ToF.h"

#include "DeviceCommonProtocol.h"
#include "Sync.h"
#include "ToFRecordDispatch.h"
#include "ToF_API.h"

ImageProc_ToF::ImageProc_ToF(DeviceCommonProtocol& control, ToF_API& tof, std::unique_ptr<APIImgPreProcess> preProcess,
                             receive::Clock clock)
    : ReceivePath("ImageProc_ToF", control, tof, nullptr, std::make_unique<ToFRecordDispatch>(tof),
                  {{FRAME_DEPTH, PIXEL_FORMAT_DEPTH_MM16, FRAME_READY_DEPTH, kToFFrameBytes},
                   {FRAME_IR, PIXEL_FORMAT_GRAY8, FRAME_READY_IR, kToFFrameBytes},
                   {FRAME_CONFIDENCE, PIXEL_FORMAT_GRAY16, FRAME_READY_CONFIDENCE, kToFFrameBytes}},
                  std::move(preProcess), std::move(clock)) {
    // Its answer changes nothing here: a plug-in that failed still gets records it can refuse.
    tof.Init(&control, SyncConsumer(), GetPreProcess());
}

ImageProc_ToF::~ImageProc_ToF() = default;

void ImageProc_ToF::RecycleCache() {
    TofApi().RecycleCache();
    GetSync().RecycleCache();
}
