#include "ImageProc_ToFAndColor.h"

#include "ColorRecordDispatch.h"
#include "Color_API.h"
#include "DeviceCommonProtocol.h"
#include "StatusCodes.h"
#include "Sync.h"
#include "ToF_API.h"
#include "log.h"

namespace {

constexpr uint64_t kColorBytesPerPixel = 3;  // RGB or BGR, 8 bits each
constexpr uint64_t kDepthBytesPerPixel = 2;  // one 16-bit depth per pixel

// The products whose camera corrects the colour lens itself.
bool CameraUndistortsColor(int32_t deviceType) { return deviceType >= 18 && deviceType <= 21; }

uint64_t Pixels(const Frame& frame) { return uint64_t(frame.width) * frame.height; }
uint64_t Pixels(const PreProcImage& image) {
    return image.width > 0 && image.height > 0 ? uint64_t(image.width) * uint64_t(image.height) : 0;
}

PreProcImage Describe(const Frame& frame, ALG_ElemType type) {
    return PreProcImage{frame.data, type, frame.width, frame.height};
}

}  // namespace

ImageProc_ToFAndColor::ImageProc_ToFAndColor(DeviceCommonProtocol& control, ToF_API& tof, Color_API& color,
                                             int32_t deviceType, std::unique_ptr<APIImgPreProcess> preProcess,
                                             receive::Clock clock)
    : ReceivePath(
          "ImageProc_ToFAndColor", control, tof, &color, std::make_unique<ColorRecordDispatch>(tof, color),
          {{FRAME_DEPTH, PIXEL_FORMAT_DEPTH_MM16, FRAME_READY_DEPTH, kToFFrameBytes},
           {FRAME_IR, PIXEL_FORMAT_GRAY8, FRAME_READY_IR, kToFFrameBytes},
           {FRAME_CONFIDENCE, PIXEL_FORMAT_GRAY16, FRAME_READY_CONFIDENCE, kToFFrameBytes},
           {FRAME_COLOR, PIXEL_FORMAT_BGR, FRAME_READY_COLOR, kColorFrameBytes},
           {FRAME_COLOR_IN_DEPTH, PIXEL_FORMAT_BGR, FRAME_READY_COLOR_IN_DEPTH, kColorInDepthFrameBytes},
           {FRAME_DEPTH_IN_COLOR, PIXEL_FORMAT_DEPTH_MM16, FRAME_READY_DEPTH_IN_COLOR, kDepthInColorFrameBytes}},
          std::move(preProcess), std::move(clock)),
      m_colorApi(color),
      m_tag(control.GetDeviceSN()) {
    // Their answers change nothing here: a plug-in that failed still gets records it can refuse.
    tof.Init(&control, SyncConsumer(), GetPreProcess());
    color.Init(&control, SyncConsumer(), GetPreProcess());
    if (CameraUndistortsColor(deviceType)) color.SetDistortionCorrectionCmd(true);
}

ImageProc_ToFAndColor::~ImageProc_ToFAndColor() = default;

void ImageProc_ToFAndColor::SetStream(bool enable) {
    ReceivePath::SetStream(enable);
    m_colorApi.SetStream(enable);
}

void ImageProc_ToFAndColor::RecycleCache() {
    TofApi().RecycleCache();
    m_colorApi.RecycleCache();
    GetSync().RecycleCache();
}

int ImageProc_ToFAndColor::GetFrame(FrameType type, Frame* out) {
    if (type == FRAME_COLOR_IN_DEPTH && !m_transformColorToDepth) return status::kFrameNotReady;
    if (type == FRAME_DEPTH_IN_COLOR && !m_transformDepthToColor) return status::kFrameNotReady;
    return ReceivePath::GetFrame(type, out);
}

int ImageProc_ToFAndColor::SetTransformColorImgToDepthCameraEnabled(bool enable) {
    if (GetPreProcess() == nullptr) return status::kInternal;
    m_transformColorToDepth = enable;
    return 0;
}

int ImageProc_ToFAndColor::GetTransformColorImgToDepthCameraEnabled(bool* enable) const {
    if (GetPreProcess() == nullptr) return status::kInternal;
    if (enable == nullptr) return status::kNullArgument;
    *enable = m_transformColorToDepth;
    return 0;
}

int ImageProc_ToFAndColor::SetTransformDepthImgToColorCameraEnabled(bool enable) {
    if (GetPreProcess() == nullptr) return status::kInternal;
    m_transformDepthToColor = enable;
    return 0;
}

int ImageProc_ToFAndColor::GetTransformDepthImgToColorCameraEnabled(bool* enable) const {
    if (GetPreProcess() == nullptr) return status::kInternal;
    if (enable == nullptr) return status::kNullArgument;
    *enable = m_transformDepthToColor;
    return 0;
}

int ImageProc_ToFAndColor::GetMappedPointDepthToRGB(QlDepthVector3 depthPoint, QlVector2u16 size,
                                                    QlVector2u16* colorPoint) {
    if (colorPoint == nullptr) return status::kNullArgument;
    *colorPoint = QlVector2u16{0, 0};
    APIImgPreProcess* pre = GetPreProcess();
    if (pre == nullptr) return status::kInternal;
    const int ret = pre->MapDepthPointToColor(depthPoint, size, colorPoint);
    if (ret == 0) return 0;
    *colorPoint = QlVector2u16{0, 0};
    return status::kFailed;
}

void ImageProc_ToFAndColor::OnFreshGroup(const SyncFrame& group) {
    const bool colorToDepth = m_transformColorToDepth;
    const bool depthToColor = m_transformDepthToColor;
    if (!colorToDepth && !depthToColor) return;
    APIImgPreProcess* pre = GetPreProcess();
    if (pre == nullptr || !group.hasColor || !group.hasDepth) return;
    const Frame& depth = *group.depthFrame;
    const Frame& color = *group.colorFrame;
    // The library reads whole images; a frame shorter than its size is not mapped.
    if (depth.length < Pixels(depth) * kDepthBytesPerPixel || color.length < Pixels(color) * kColorBytesPerPixel) {
        LOG_DEVICE(m_tag, "depth length:%u or color length:%u is short of its size.", depth.length, color.length);
        return;
    }
    if (colorToDepth) Handout().SetReady(FRAME_COLOR_IN_DEPTH, MapColorToDepth(*pre, depth, color));
    if (depthToColor) Handout().SetReady(FRAME_DEPTH_IN_COLOR, MapDepthToColor(*pre, depth, color));
}

bool ImageProc_ToFAndColor::MapColorToDepth(APIImgPreProcess& pre, const Frame& depth, const Frame& color) {
    Frame& out = *Handout().Destination(FRAME_COLOR_IN_DEPTH);
    // The library writes the depth image's size in colour pixels.
    if (Pixels(depth) * kColorBytesPerPixel > out.capacity) {
        LOG_DEVICE(m_tag, "colour-in-depth %ux%u does not fit %u bytes.", unsigned(depth.width), unsigned(depth.height),
                   out.capacity);
        return false;
    }
    const PreProcImage depthImage = Describe(depth, ALG_ELEM_16U);
    const PreProcImage colorImage = Describe(color, ALG_ELEM_8UC3);
    PreProcImage output{out.data, ALG_ELEM_8UC3, 0, 0};
    const int ret = pre.MapColorToDepth(&depthImage, &colorImage, &output);
    const uint64_t bytes = Pixels(output) * kColorBytesPerPixel;
    if (ret != 0 || bytes == 0 || bytes > out.capacity) {
        LogMappingFailure("MapColorToDepth", ret, m_colorToDepthFailureLogged);
        return false;
    }
    m_colorToDepthFailureLogged = false;
    out.frameType = FRAME_COLOR_IN_DEPTH;
    out.frameIndex = color.frameIndex;
    out.pixelFormat = color.pixelFormat;
    out.length = static_cast<uint32_t>(bytes);
    out.width = static_cast<uint16_t>(output.width);
    out.height = static_cast<uint16_t>(output.height);
    out.exposureTime = depth.exposureTime;
    out.depthRange = depth.depthRange;
    out.hasFrameType = depth.hasFrameType;
    out.timestamp = depth.timestamp;
    return true;
}

bool ImageProc_ToFAndColor::MapDepthToColor(APIImgPreProcess& pre, const Frame& depth, const Frame& color) {
    Frame& out = *Handout().Destination(FRAME_DEPTH_IN_COLOR);
    // The library writes the colour image's size in depth pixels.
    if (Pixels(color) * kDepthBytesPerPixel > out.capacity) {
        LOG_DEVICE(m_tag, "depth-in-colour %ux%u does not fit %u bytes.", unsigned(color.width), unsigned(color.height),
                   out.capacity);
        return false;
    }
    const PreProcImage depthImage = Describe(depth, ALG_ELEM_16U);
    const PreProcImage colorImage = Describe(color, ALG_ELEM_8UC3);
    PreProcImage output{out.data, ALG_ELEM_16U, 0, 0};
    const int ret = pre.MapDepthToColor(&colorImage, &depthImage, &output);
    const uint64_t bytes = Pixels(output) * kDepthBytesPerPixel;
    if (ret != 0 || bytes == 0 || bytes > out.capacity) {
        LogMappingFailure("MapDepthToColor", ret, m_depthToColorFailureLogged);
        return false;
    }
    m_depthToColorFailureLogged = false;
    out.frameType = FRAME_DEPTH_IN_COLOR;
    out.frameIndex = depth.frameIndex;
    out.pixelFormat = depth.pixelFormat;
    out.depthRange = depth.depthRange;
    out.timestamp = depth.timestamp;
    out.length = static_cast<uint32_t>(bytes);
    out.width = static_cast<uint16_t>(output.width);
    out.height = static_cast<uint16_t>(output.height);
    out.exposureTime = color.exposureTime;
    out.hasFrameType = color.hasFrameType;
    return true;
}

void ImageProc_ToFAndColor::LogMappingFailure(const char* what, int ret, bool& logged) {
    if (logged) return;
    logged = true;
    LOG_DEVICE(m_tag, "%s ret:%d is failed.", what, ret);
}
