#include "tofDevice.h"

#include "ImageProc_ToF.h"
#include "JsonCtl.h"
#include "StatusCodes.h"
#include "log.h"

namespace {

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
