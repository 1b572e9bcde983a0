#include "tofDevice.h"

#include <cstring>
#include <map>
#include <string>

#include "ImageProc_ToF.h"
#include "JsonCtl.h"
#include "StatusCodes.h"
#include "log.h"

namespace {

enum OwnKey {
    kDepthFrameEnable = 1,
    kIRFrameEnable,
    kConfidenceFrameEnable,
    kToFDistortionCorrectionEnabled,
    kDataMode,
    kJsonPath,
};

const std::map<std::string, int> PropertyMap = {
    {"Py_DepthFrameEnable", kDepthFrameEnable},
    {"Py_IRFrameEnable", kIRFrameEnable},
    {"Py_ConfidenceFrameEnable", kConfidenceFrameEnable},
    {"Py_ToFDistortionCorrectionEnabled", kToFDistortionCorrectionEnabled},
    {"Py_DataMode", kDataMode},
    {"Py_JsonPath", kJsonPath},
};

FrameType FrameOf(int key) {
    switch (key) {
        case kIRFrameEnable: return FRAME_IR;
        case kConfidenceFrameEnable: return FRAME_CONFIDENCE;
        default: return FRAME_DEPTH;
    }
}

// The layout the preprocessing object takes: ToF intrinsics at 0, ToF distortion at 9.
constexpr int kCalibrationBlock = 64;  // doubles; the colour and extrinsic parts stay zero on a ToF-only camera
constexpr int kToFDistortionAt = 9;    // after the 3 x 3 intrinsics

}  // namespace

tofDevice::tofDevice(const DeviceInfo& info, std::unique_ptr<ToF_API> tof, std::unique_ptr<IO> io,
                     std::unique_ptr<APIImgPreProcess> preProcess, linktiming::SleepFunction sleep)
    : SensorDevice(
          info, std::move(tof), std::move(io),
          [&preProcess](DeviceCommonProtocol& control, ToF_API& api) {
              return std::make_unique<ImageProc_ToF>(control, api, std::move(preProcess));
          },
          std::move(sleep)) {
    ToF().SetConfigFilePath(info.config.GetConfigFilePath().c_str());
}

tofDevice::~tofDevice() {
    DetachTransfers();
    Close();
}

int tofDevice::SetJsonPath_P(const char* path) {
    const int ret = BaseDevice::SetJsonPath_P(path);
    if (ret != 0) {
        LOG_DEVICE(Tag(), "SetJsonPath_P is failed.");
        return ret;
    }
    JsonCtl* json = JsonCtl::GetInstance();
    if (json->GetUpgradeJsonStatusCallback() == nullptr) {
        LOG_DEVICE(Tag(), "UpgradeJsonStatusCallback is null.");
        return status::kNoStatusCallback;
    }
    MarkLent();
    // The controller sends the path once more; its refusal leaves no transfer to report on.
    const int handed = json->SetImgPath(path, &CommandSet());
    if (handed != 0) {
        LOG_DEVICE(Tag(), "SetJsonPath_P is failed.");
        return handed;
    }
    LOG_DEVICE(Tag(), "Upgrade Ready");
    return 0;
}

void tofDevice::ReadCalibration() {
    // A failed read leaves zeros, which the plug-in treats as uncalibrated.
    double block[kCalibrationBlock] = {};
    CommandSet().GetCameraIntrinsic(SENSOR_TYPE_TOF, block);
    CommandSet().GetCameraDistortion(SENSOR_TYPE_TOF, block + kToFDistortionAt);
    if (APIImgPreProcess* preProcess = Pipeline().GetPreProcess()) preProcess->SetCalibrationParams(block, 0);
    ToF().SetIntrinsicParams(block, block + kToFDistortionAt);
}

int tofDevice::SetOwnProperty(const char* key, const void* data, int dataSize) {
    const auto found = PropertyMap.find(key);
    if (found == PropertyMap.end()) return status::kNotMine;
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
    if (own == kToFDistortionCorrectionEnabled) return ToF().SetDistortionCorrectionEnabled(on);
    return ToF().SetFrameEnable(FrameOf(own), on);
}

int tofDevice::GetOwnProperty(const char* key, void* data, int dataSize) {
    const auto found = PropertyMap.find(key);
    // The data mode is read from the plug-in.
    if (found == PropertyMap.end() || found->second == kDataMode || found->second == kJsonPath) return status::kNotMine;
    if (dataSize != 1) return status::kInvalidParameter;
    const int own = found->second;
    bool on = false;
    const int ret = own == kToFDistortionCorrectionEnabled ? ToF().GetDistortionCorrectionEnabled(&on)
                                                           : ToF().GetFrameEnable(FrameOf(own), &on);
    *static_cast<uint8_t*>(data) = on ? 1 : 0;
    return ret;
}
