#include "TofAndColorDevice.h"

#include <cstring>
#include <map>
#include <string>

#include "ImageProc_ToFAndColor.h"
#include "JsonCtl.h"
#include "StatusCodes.h"
#include "TransferSteps.h"
#include "log.h"

namespace {

enum OwnKey {
    kDepthFrameEnable = 1,
    kIRFrameEnable,
    kConfidenceFrameEnable,
    kRGBFrameEnable,
    kToFDistortionCorrectionEnabled,
    kRGBDistortionCorrectionEnabled,
    kDataMode,
    kJsonPath,
};

const std::map<std::string, int> PropertyMap = {
    {"Py_DepthFrameEnable", kDepthFrameEnable},
    {"Py_IRFrameEnable", kIRFrameEnable},
    {"Py_ConfidenceFrameEnable", kConfidenceFrameEnable},
    {"Py_RGBFrameEnable", kRGBFrameEnable},
    {"Py_ToFDistortionCorrectionEnabled", kToFDistortionCorrectionEnabled},
    {"Py_RGBDistortionCorrectionEnabled", kRGBDistortionCorrectionEnabled},
    {"Py_DataMode", kDataMode},
    {"Py_JsonPath", kJsonPath},
};

FrameType FrameOf(int key) {
    switch (key) {
        case kIRFrameEnable: return FRAME_IR;
        case kConfidenceFrameEnable: return FRAME_CONFIDENCE;
        case kRGBFrameEnable: return FRAME_COLOR;
        default: return FRAME_DEPTH;
    }
}

// The layout the preprocessing object takes, in doubles: each part follows the one before
// (3 x 3 intrinsics, 8 distortion coefficients, 3 x 3 rotation, 3 translations), the rest zero.
constexpr int kCalibrationBlock = 64;
constexpr int kToFDistortionAt = 9;
constexpr int kColorIntrinsicAt = 17;
constexpr int kColorDistortionAt = 26;
constexpr int kRotationAt = 34;
constexpr int kTranslationAt = 43;

constexpr uint16_t kNoDepth = 0xFFFF;        // the depth filters' mark for an invalid pixel
constexpr uint64_t kDepthBytesPerPixel = 2;  // one 16-bit depth per pixel

}  // namespace

TofAndColorDevice::TofAndColorDevice(const DeviceInfo& info, std::unique_ptr<ToF_API> tof,
                                     std::unique_ptr<Color_API> color, std::unique_ptr<IO> io,
                                     std::unique_ptr<APIImgPreProcess> preProcess, linktiming::SleepFunction sleep)
    : ColorPluginOwner(std::move(color)),
      SensorDevice(
          info, std::move(tof), std::move(io),
          [this, &preProcess, &info](DeviceCommonProtocol& control, ToF_API& api) {
              return std::make_unique<ImageProc_ToFAndColor>(control, api, *colorApi, info.deviceType,
                                                             std::move(preProcess));
          },
          std::move(sleep)) {
    const char* path = info.config.GetConfigFilePath().c_str();
    ToF().SetConfigFilePath(path);
    // The colour plug-in reads its resolution list from the profile.
    Color().SetConfigFilePath(path);
}

TofAndColorDevice::~TofAndColorDevice() {
    DetachTransfers();
    Close();
}

int TofAndColorDevice::SetJsonPath_P(const char* path) {
    if (path == nullptr || path[0] == '\0') {
        LOG_DEVICE(Tag(), "pImgPath is empty.");
        return status::kInvalidParameter;
    }
    JsonCtl* json = JsonCtl::GetInstance();
    const int state = json->Status();
    if (state != transferstep::json::kWaitingForFile) {
        LOG_DEVICE(Tag(), "Status:%d.", state);
        return status::kJsonPathRefused;
    }
    MarkLent();
    // The controller sends the path; a refusal is the result.
    const int ret = json->SetImgPath(path, &CommandSet());
    if (ret != 0) LOG_DEVICE(Tag(), "SetJsonPath_P is failed.");
    return ret;
}

ImageProc_ToFAndColor& TofAndColorDevice::ColorPipeline() {
    // Built by this class's pipeline factory.
    return static_cast<ImageProc_ToFAndColor&>(Pipeline());
}

int TofAndColorDevice::Open() {
    const int ret = SensorDevice::Open();
    if (ret != 0) return ret;
    const int colorRet = Color().SetOpenState(true);
    if (colorRet != 0) LOG_DEVICE(Tag(), "color SetOpenState(1) ret:%d is failed.", colorRet);
    return 0;
}

int TofAndColorDevice::Close() {
    const int ret = SensorDevice::Close();
    if (ret != 0) return ret;
    // Stops the "Color" thread; nothing when it does not run.
    Color().SetOpenState(false);
    return 0;
}

int TofAndColorDevice::GetCameraIntrinsic(SensorType type, double* k9) {
    return type == SENSOR_TYPE_COLOR ? Color().GetIntrinsic(k9) : SensorDevice::GetCameraIntrinsic(type, k9);
}

int TofAndColorDevice::GetCameraDistortion(SensorType type, double* d8) {
    return type == SENSOR_TYPE_COLOR ? Color().GetDistortion(d8) : SensorDevice::GetCameraDistortion(type, d8);
}

int TofAndColorDevice::GetSupportedResolutionList(SensorType type, ResolutionList* list) {
    return type == SENSOR_TYPE_COLOR ? Color().GetResolutionList(list)
                                     : SensorDevice::GetSupportedResolutionList(type, list);
}

int TofAndColorDevice::SetExposureControlMode(SensorType type, int mode) {
    return type == SENSOR_TYPE_COLOR ? Color().SetExposureControlMode(mode)
                                     : SensorDevice::SetExposureControlMode(type, mode);
}

int TofAndColorDevice::GetExposureControlMode(SensorType type, int* mode) {
    return type == SENSOR_TYPE_COLOR ? Color().GetExposureControlMode(mode)
                                     : SensorDevice::GetExposureControlMode(type, mode);
}

int TofAndColorDevice::SetExposureTime(SensorType type, ExposureTimeParams params) {
    return type == SENSOR_TYPE_COLOR ? Color().SetExposureTime(params) : SensorDevice::SetExposureTime(type, params);
}

int TofAndColorDevice::GetExposureTime(SensorType type, ExposureTimeParams* params) {
    return type == SENSOR_TYPE_COLOR ? Color().GetExposureTime(params) : SensorDevice::GetExposureTime(type, params);
}

int TofAndColorDevice::SetColorPixelFormat(PixelFormat format) { return Color().SetPixelFormat(format); }
int TofAndColorDevice::GetColorPixelFormat(PixelFormat* format) { return Color().GetPixelFormat(format); }
int TofAndColorDevice::SetColorResolution(int width, int height) { return Color().SetResolution(width, height); }
int TofAndColorDevice::GetColorResolution(int* width, int* height) { return Color().GetResolution(width, height); }

int TofAndColorDevice::GetSensorExtrinsicParameters(SensorExtrinsicParameters* params) {
    if (params == nullptr) return status::kNullArgument;
    const int ret = CommandSet().GetCameraRotation(params->rotation);
    if (ret != 0) {
        LOG_DEVICE(Tag(), "GetCameraRotation ret:%d is failed.", ret);
        return ret;
    }
    return CommandSet().GetCameraTranslation(params->translation);
}

int TofAndColorDevice::SetTransformColorImgToDepthCameraEnabled(bool enable) {
    return ColorPipeline().SetTransformColorImgToDepthCameraEnabled(enable);
}
int TofAndColorDevice::GetTransformColorImgToDepthCameraEnabled(bool* enable) {
    return ColorPipeline().GetTransformColorImgToDepthCameraEnabled(enable);
}
int TofAndColorDevice::SetTransformDepthImgToColorCameraEnabled(bool enable) {
    return ColorPipeline().SetTransformDepthImgToColorCameraEnabled(enable);
}
int TofAndColorDevice::GetTransformDepthImgToColorCameraEnabled(bool* enable) {
    return ColorPipeline().GetTransformDepthImgToColorCameraEnabled(enable);
}

int TofAndColorDevice::TransformedDepthPointToColorPoint(QlDepthVector3 depthPoint, QlVector2u16 colorSize,
                                                         QlVector2u16* colorPoint) {
    return ColorPipeline().GetMappedPointDepthToRGB(depthPoint, colorSize, colorPoint);
}

void TofAndColorDevice::ReadCalibration() {
    // A failed read leaves zeros, which the plug-ins and the library treat as uncalibrated.
    double block[kCalibrationBlock] = {};
    CommandSet().GetCameraIntrinsic(SENSOR_TYPE_TOF, block);
    CommandSet().GetCameraDistortion(SENSOR_TYPE_TOF, block + kToFDistortionAt);
    CommandSet().GetCameraIntrinsic(SENSOR_TYPE_COLOR, block + kColorIntrinsicAt);
    CommandSet().GetCameraDistortion(SENSOR_TYPE_COLOR, block + kColorDistortionAt);
    CommandSet().GetCameraRotation(block + kRotationAt);
    CommandSet().GetCameraTranslation(block + kTranslationAt);
    if (APIImgPreProcess* preProcess = Pipeline().GetPreProcess()) preProcess->SetCalibrationParams(block, 0);
    ToF().SetIntrinsicParams(block, block + kToFDistortionAt);
    Color().SetIntrinsicParams(block + kColorIntrinsicAt, block + kColorDistortionAt);
}

int TofAndColorDevice::SetOwnProperty(const char* key, const void* data, int dataSize) {
    const auto found = PropertyMap.find(key);
    if (found == PropertyMap.end()) {
        int ret = ToF().SetProperty(key, data, dataSize);
        if (ret == status::kNotMine) ret = Color().SetProperty(key, data, dataSize);
        if (ret != status::kNotMine) return ret;
        LOG_DEVICE(Tag(), "pKey:%s is not supported.", key);
        return status::kSetNotSupported;
    }
    const int own = found->second;
    if (own == kJsonPath) return SetJsonPathProperty(data, dataSize);
    if (own == kDataMode) {
        int32_t mode = 0;
        if (dataSize != static_cast<int>(sizeof(mode))) return status::kInvalidParameter;
        std::memcpy(&mode, data, sizeof(mode));
        return SetDataMode(mode);
    }
    if (dataSize != 1) return status::kInvalidParameter;
    const bool on = *static_cast<const uint8_t*>(data) != 0;
    switch (own) {
        case kToFDistortionCorrectionEnabled: return ToF().SetDistortionCorrectionEnabled(on);
        case kRGBDistortionCorrectionEnabled: return Color().SetDistortionCorrectionEnabled(on);
        case kRGBFrameEnable: return Color().SetFrameEnable(FRAME_COLOR, on);
        default: return ToF().SetFrameEnable(FrameOf(own), on);
    }
}

int TofAndColorDevice::GetOwnProperty(const char* key, void* data, int dataSize) {
    const auto found = PropertyMap.find(key);
    // The data mode is read from the plug-ins.
    if (found == PropertyMap.end() || found->second == kDataMode || found->second == kJsonPath) {
        int ret = ToF().GetProperty(key, data, dataSize);
        if (ret == status::kNotMine) ret = Color().GetProperty(key, data, dataSize);
        if (ret != status::kNotMine) return ret;
        LOG_DEVICE(Tag(), "pKey:%s is not supported.", key);
        return status::kGetNotSupported;
    }
    if (dataSize != 1) return status::kInvalidParameter;
    const int own = found->second;
    bool on = false;
    int ret = 0;
    switch (own) {
        case kToFDistortionCorrectionEnabled: ret = ToF().GetDistortionCorrectionEnabled(&on); break;
        case kRGBDistortionCorrectionEnabled: on = Color().GetDistortionCorrectionEnabled(); break;
        case kRGBFrameEnable: ret = Color().GetFrameEnable(FRAME_COLOR, &on); break;
        default: ret = ToF().GetFrameEnable(FrameOf(own), &on); break;
    }
    *static_cast<uint8_t*>(data) = on ? 1 : 0;
    return ret;
}

int TofAndColorDevice::ConvertDepthFrameToPointCloudVector(const QlFrame* frame, QlVector3f* points) {
    if (frame != nullptr && frame->pFrameData != nullptr && points != nullptr &&
        frame->frameType == FRAME_DEPTH_IN_COLOR)
        return DepthInColorPointCloud(*frame, points);
    return SensorDevice::ConvertDepthFrameToPointCloudVector(frame, points);
}

int TofAndColorDevice::DepthInColorPointCloud(const QlFrame& frame, QlVector3f* points) {
    const uint32_t width = frame.width;
    const uint32_t height = frame.height;
    if (frame.dataLen < uint64_t(width) * height * kDepthBytesPerPixel) {
        LOG_DEVICE(Tag(), "dataLen:%u is less than %u x %u depth pixels.", frame.dataLen, width, height);
        return status::kInvalidParameter;
    }
    double K[9] = {};
    const int ret = Color().GetIntrinsic(K);
    if (ret != 0) {
        LOG_DEVICE(Tag(), "color GetIntrinsic ret:%d is failed.", ret);
        return ret;
    }
    const double fx = K[0], cx = K[2], fy = K[4], cy = K[5];
    // An uncalibrated colour camera would divide by zero.
    if (fx == 0.0 || fy == 0.0) {
        LOG_DEVICE(Tag(), "color fx:%f fy:%f is invalid.", fx, fy);
        return status::kInternal;
    }
    const uint8_t* data = frame.pFrameData;
    uint32_t i = 0;
    for (uint32_t v = 0; v < height; ++v) {
        for (uint32_t u = 0; u < width; ++u, ++i) {
            uint16_t d = 0;
            std::memcpy(&d, data + i * kDepthBytesPerPixel, sizeof(d));
            if (d == 0 || d == kNoDepth) {
                points[i] = QlVector3f{0.0f, 0.0f, 0.0f};
                continue;
            }
            points[i] = QlVector3f{static_cast<float>((u - cx) / fx * d), static_cast<float>((v - cy) / fy * d),
                                   static_cast<float>(d)};
        }
    }
    return 0;
}
