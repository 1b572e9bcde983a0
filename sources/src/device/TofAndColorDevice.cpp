#include "TofAndColorDevice.h"

#include <cstring>

#include "ImageProc_ToFAndColor.h"
#include "JsonCtl.h"
#include "PropertyKeys.h"
#include "StatusCodes.h"
#include "TransferSteps.h"
#include "log.h"

namespace {

using propertykeys::Id;

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

template <typename Call>
int TofAndColorDevice::PluginProperty(const char* function, const char* key, int refusal, const Call& call) {
    int ret = call(ToF());
    if (ret == status::kNotMine) ret = call(Color());
    if (ret != status::kNotMine) return ret;
    LOG_DEVICE_AS(function, Tag(), "pKey:%s is not supported.", key);
    return refusal;
}

int TofAndColorDevice::SetOwnProperty(const char* key, const void* data, int dataSize) {
    const propertykeys::Key* entry = propertykeys::Find(key, propertykeys::Owner::ColorDevice);
    if (entry == nullptr || !entry->Sets()) {
        return PluginProperty(__func__, key, status::kSetNotSupported,
                              [&](auto& plugin) { return plugin.SetProperty(key, data, dataSize); });
    }
    if (!entry->Fits(dataSize)) return status::kInvalidParameter;
    const bool on = *static_cast<const uint8_t*>(data) != 0;
    return entry->id == Id::RGBDistortionCorrectionEnabled ? Color().SetDistortionCorrectionEnabled(on)
                                                           : Color().SetFrameEnable(FRAME_COLOR, on);
}

int TofAndColorDevice::GetOwnProperty(const char* key, void* data, int dataSize) {
    const propertykeys::Key* entry = propertykeys::Find(key, propertykeys::Owner::ColorDevice);
    if (entry == nullptr || !entry->Gets()) {
        return PluginProperty(__func__, key, status::kGetNotSupported,
                              [&](auto& plugin) { return plugin.GetProperty(key, data, dataSize); });
    }
    if (!entry->Fits(dataSize)) return status::kInvalidParameter;
    bool on = false;
    int ret = 0;
    if (entry->id == Id::RGBDistortionCorrectionEnabled) {
        on = Color().GetDistortionCorrectionEnabled();
    } else {
        ret = Color().GetFrameEnable(FRAME_COLOR, &on);
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
