#include "SensorDevice.h"

#include <cstring>

#include "PropertyKeys.h"
#include "StatusCodes.h"
#include "TransferSteps.h"
#include "Upgrade.h"
#include "log.h"

namespace {

constexpr int kIntrinsicCount = 9;           // the 3 x 3 camera matrix
constexpr uint32_t kDepthBytesPerPixel = 2;  // one 16-bit depth per pixel
constexpr int kFirmwareVersionBuffer = 64;   // the version text the upgrade controller's image check reads

using propertykeys::Id;

// The longest JSON path, its terminating zero included.
constexpr int kJsonPathBuffer = propertykeys::Of(Id::JsonPath).size;
static_assert(propertykeys::Of(Id::DataMode).size == sizeof(int32_t), "the data mode is an int32");

FrameType FrameOf(Id key) {
    switch (key) {
        case Id::IRFrameEnable: return FRAME_IR;
        case Id::ConfidenceFrameEnable: return FRAME_CONFIDENCE;
        default: return FRAME_DEPTH;
    }
}

}  // namespace

SensorDevice::SensorDevice(const DeviceInfo& info, std::unique_ptr<ToF_API> tof, std::unique_ptr<IO> io,
                           const PipelineFactory& makePipeline, linktiming::SleepFunction sleep)
    : BaseDevice(info, std::move(io), std::move(sleep)), m_tofApi(std::move(tof)) {
    m_receivePath = makePipeline(CommandSet(), *m_tofApi);
    SetImageProc(m_receivePath.get());
}

SensorDevice::~SensorDevice() {
    DetachTransfers();
    Close();
}

int SensorDevice::StartUpgradeFirmWare(const char* imgPath) {
    // A failed read leaves an empty text, which the image check refuses.
    char version[kFirmwareVersionBuffer] = {};
    GetFirmwareVersion(version, sizeof(version));
    Upgrade* upgrade = Upgrade::GetInstance();
    DeviceInfo info = GetDeviceInfo();
    const int check = upgrade->CheckFirmwareVersion(version, imgPath, &info);
    if (check != 0) return check;
    // Until the controller has the transfer recorded, the manager must not take this
    // device's own close for a lost camera.
    const HandOver handingOver(*this);
    const int ret = BaseDevice::StartUpgradeFirmWare(imgPath);
    if (ret != 0) {
        LOG_DEVICE(Tag(), "StartUpgradeFirmWare is failed.");
        return ret;
    }
    StopStream();
    Close();
    if (upgrade->GetUpgradeStatusCallback() == nullptr) {
        LOG_DEVICE(Tag(), "UpgradeStatusCallback is null.");
        return status::kNoStatusCallback;
    }
    MarkLent();
    upgrade->SetImgPath(imgPath, &CommandSet());
    LOG_DEVICE(Tag(), "Upgrade Ready");
    upgrade->SetStatus(transferstep::kSetUp);
    return 0;
}

int SensorDevice::SetJsonPathProperty(const void* data, int dataSize) {
    const size_t length = strnlen(static_cast<const char*>(data), static_cast<size_t>(dataSize));
    // The path and its terminating zero must fit the buffer.
    if (length >= static_cast<size_t>(kJsonPathBuffer)) return status::kInvalidParameter;
    char path[kJsonPathBuffer] = {};
    std::memcpy(path, data, length);
    return SetJsonPath_P(path);
}

void SensorDevice::SetPluginsOpen(bool open) {
    const int ret = m_tofApi->SetOpenState(open);
    if (ret != 0) LOG_DEVICE(Tag(), "SetOpenState(%d) ret:%d is failed.", open ? 1 : 0, ret);
}

int SensorDevice::Open() {
    std::lock_guard<std::mutex> lifecycle(m_openMutex);
    if (m_opened) {
        LOG_DEVICE(Tag(), "has opened");
        return status::kAlreadyOpen;
    }
    const int ret = BaseDevice::Open();
    if (ret != 0) {
        LOG_DEVICE(Tag(), "OpenDevice:%d ", ret);
        // A connection that did come up must not stay behind.
        BaseDevice::Close();
        return ret;
    }
    m_gone = false;
    SetPluginsOpen(true);
    m_receivePath->Start();
    m_opened = true;
    // The open reports the connection only; a failed start shows as -108 on frame requests.
    // A camera that answered none of the open's commands, though, is not there at all.
    if (StartStream() != 0 && !CommandSet().AnsweredSinceOpen()) {
        LOG_DEVICE(Tag(), "the camera answered none of the open's commands");
        CloseOpened();
        return status::kNoAnswer;
    }
    return 0;
}

int SensorDevice::Close() {
    std::lock_guard<std::mutex> lifecycle(m_openMutex);
    return CloseOpened();
}

int SensorDevice::CloseOpened() {
    if (!m_opened) return 0;
    // Ends a waiting frame-ready query and a read in flight at once.
    m_receivePath->SetStream(false);
    CommandSet().Shutdown();
    {
        std::lock_guard<std::mutex> stream(m_streamMutex);
        if (m_streaming) SwitchStreamOff(false);
    }
    m_receivePath->Close();
    const int ret = BaseDevice::Close();
    if (ret != 0) {
        LOG_DEVICE(Tag(), "error ret:%d.", ret);
        return ret;
    }
    SetPluginsOpen(false);
    {
        std::lock_guard<std::mutex> stream(m_streamMutex);
        m_initialized = false;
    }
    m_opened = false;
    return 0;
}

int SensorDevice::OnMessage(MessageType message) {
    if (message == MessageRemoved) {
        m_gone = true;
        m_receivePath->SetConnectStatus(false);
    }
    return 0;
}

int SensorDevice::StartStream() {
    std::lock_guard<std::mutex> lock(m_streamMutex);
    if (m_gone) return status::kFailed;
    if (m_streaming) {
        LOG_DEVICE(Tag(), "The device image stream has been started. Do not start it again.");
        return 0;
    }
    int ret = BaseDevice::StartStream();
    if (ret == 0) ret = m_tofApi->SetStream(true);
    if (ret != 0) {
        LOG_DEVICE(Tag(), "ret:%d is failed.", ret);
        return ret;
    }
    if (!m_initialized) {
        InitDevice();
        m_initialized = true;
    }
    m_receivePath->SetStream(true);
    m_streaming = true;
    return 0;
}

void SensorDevice::InitDevice() {
    ReadCalibration();
    int mode = -1;
    if (GetWorkMode(&mode) == 0) SetWorkModeInternal(mode);
    // Sync runs even without the plug-in's intrinsics: a start that reports 0 delivers frames.
    const int ret = m_receivePath->Init();
    if (ret != 0) LOG_DEVICE(Tag(), "the stream runs without the plug-in's intrinsics, ret:%d", ret);
}

int SensorDevice::StopStream() {
    // A frame-ready query waiting under the stream lock ends now, not after its wait.
    if (m_streaming) m_receivePath->SetStream(false);
    std::lock_guard<std::mutex> lock(m_streamMutex);
    if (!m_streaming) {
        LOG_DEVICE(Tag(), "The device image stream has been stopped. Do not stop it again.");
        return 0;
    }
    return SwitchStreamOff(true);
}

int SensorDevice::SwitchStreamOff(bool tellCamera) {
    m_streaming = false;
    m_receivePath->SetStream(false);
    const int ret = m_tofApi->SetStream(false);
    // The camera may refuse or be gone: the host side is off all the same.
    if (tellCamera) BaseDevice::StopStream();
    return ret;
}

int SensorDevice::GetFrameReady(uint16_t waitMs, FrameReady* ready) {
    std::lock_guard<std::mutex> lock(m_streamMutex);
    // A camera that is gone wins over a stopped stream: the caller learns that it is gone.
    if (m_gone) return status::kFailed;
    if (!m_streaming) return status::kStreamNotStarted;
    return m_receivePath->PrepareNextFrame(waitMs, ready);
}

int SensorDevice::GetFrame(FrameType type, Frame* frame) {
    std::lock_guard<std::mutex> lock(m_streamMutex);
    if (m_gone) return status::kFailed;
    if (!m_streaming) return status::kStreamNotStarted;
    return m_receivePath->GetFrame(type, frame);
}

bool SensorDevice::IsToFSensor(SensorType type) {
    if (type == SENSOR_TYPE_TOF) return true;
    LOG_DEVICE(Tag(), "sensorType:%d is invalid.", static_cast<int>(type));
    return false;
}

int SensorDevice::GetCameraIntrinsic(SensorType type, double* k9) {
    return IsToFSensor(type) ? m_tofApi->GetIntrinsic(k9) : status::kNotSupported;
}

int SensorDevice::GetCameraDistortion(SensorType type, double* d8) {
    return IsToFSensor(type) ? m_tofApi->GetDistortion(d8) : status::kNotSupported;
}

int SensorDevice::GetSupportedResolutionList(SensorType type, ResolutionList* list) {
    return IsToFSensor(type) ? m_tofApi->GetResolutionList(list) : status::kNotSupported;
}

int SensorDevice::SetExposureControlMode(SensorType type, int mode) {
    return IsToFSensor(type) ? m_tofApi->SetExposureControlMode(mode) : status::kNotSupported;
}

int SensorDevice::GetExposureControlMode(SensorType type, int* mode) {
    return IsToFSensor(type) ? m_tofApi->GetExposureControlMode(mode) : status::kNotSupported;
}

int SensorDevice::SetExposureTime(SensorType type, ExposureTimeParams params) {
    return IsToFSensor(type) ? m_tofApi->SetExposureTime(params) : status::kNotSupported;
}

int SensorDevice::GetExposureTime(SensorType type, ExposureTimeParams* params) {
    return IsToFSensor(type) ? m_tofApi->GetExposureTime(params) : status::kNotSupported;
}

int SensorDevice::SetIRGMMGain(int gain) { return m_tofApi->SetIRGMMGain(gain); }
int SensorDevice::GetIRGMMGain(int* gain) { return m_tofApi->GetIRGMMGain(gain); }

int SensorDevice::SetTimeFilterParams(TimeFilterParams params) { return m_tofApi->SetTimeFilterParams(params); }
int SensorDevice::GetTimeFilterParams(TimeFilterParams* params) { return m_tofApi->GetTimeFilterParams(params); }
int SensorDevice::SetConfidenceFilterParams(ConfidenceFilterParams params) {
    return m_tofApi->SetConfidenceFilterParams(params);
}
int SensorDevice::GetConfidenceFilterParams(ConfidenceFilterParams* params) {
    return m_tofApi->GetConfidenceFilterParams(params);
}
int SensorDevice::SetFlyingPixelFilterParams(FlyingPixelFilterParams params) {
    return m_tofApi->SetFlyingPixelFilterParams(params);
}
int SensorDevice::GetFlyingPixelFilterParams(FlyingPixelFilterParams* params) {
    return m_tofApi->GetFlyingPixelFilterParams(params);
}
int SensorDevice::SetFillHoleFilterParams(FillHoleFilterParams params) {
    return m_tofApi->SetFillHoleFilterParams(params);
}
int SensorDevice::GetFillHoleFilterParams(FillHoleFilterParams* params) {
    return m_tofApi->GetFillHoleFilterParams(params);
}
int SensorDevice::SetSpatialFilterParams(SpatialFilterParams params) {
    return m_tofApi->SetSpatialFilterParams(params);
}
int SensorDevice::GetSpatialFilterParams(SpatialFilterParams* params) {
    return m_tofApi->GetSpatialFilterParams(params);
}

int SensorDevice::SetHDRModeEnabled(bool enable) { return m_tofApi->SetHDRModeEnabled(enable); }
int SensorDevice::GetHDRModeEnabled(bool* enable) { return m_tofApi->GetHDRModeEnabled(enable); }

int SensorDevice::GetErrMsg(QlDeviceErrorInfo* info) {
    if (!info) return status::kNullArgument;
    return m_receivePath->GetErrMsg(info);
}

int SensorDevice::SetToFDistortionCorrectionEnable(bool enable) {
    const int ret = m_tofApi->SetDistortionCorrectionEnabled(enable);
    if (ret != 0) return ret;
    double scratch[kIntrinsicCount] = {};
    m_tofApi->GetIntrinsic(scratch);
    m_tofApi->GetDistortion(scratch);
    return 0;
}

int SensorDevice::GetToFDistortionCorrectionEnable(bool* enable) {
    return m_tofApi->GetDistortionCorrectionEnabled(enable);
}

int SensorDevice::SetDataMode(int mode) {
    const int ret = m_tofApi->SetDatamode(mode);
    if (ret != 0) return ret;
    m_receivePath->RecycleCache();
    return 0;
}

int SensorDevice::SetProperty(const char* key, const void* data, int dataSize) {
    if (!key) return status::kNullArgument;
    if (!data) return status::kNullData;
    LOG_DEVICE(Tag(), "pKey:%s, pData:%p, dataSize:%d", key, data, dataSize);
    int ret = BaseDevice::SetProperty(key, data, dataSize);
    if (ret == status::kNotMine) ret = SetSensorProperty(key, data, dataSize);
    if (ret == status::kNotMine) ret = SetOwnProperty(key, data, dataSize);
    return PropertyResult(key, dataSize, ret);
}

int SensorDevice::GetProperty(const char* key, void* data, int dataSize) {
    if (!key) return status::kNullArgument;
    if (!data) return status::kNullData;
    LOG_DEVICE(Tag(), "pKey:%s, pData:%p, dataSize:%d", key, data, dataSize);
    int ret = BaseDevice::GetProperty(key, data, dataSize);
    if (ret == status::kNotMine) ret = GetSensorProperty(key, data, dataSize);
    if (ret == status::kNotMine) ret = GetOwnProperty(key, data, dataSize);
    return PropertyResult(key, dataSize, ret);
}

int SensorDevice::SetSensorProperty(const char* key, const void* data, int dataSize) {
    const propertykeys::Key* entry = propertykeys::Find(key, propertykeys::Owner::SensorDevice);
    if (entry == nullptr || !entry->Sets()) return status::kNotMine;
    if (!entry->Fits(dataSize)) return status::kInvalidParameter;
    switch (entry->id) {
        case Id::JsonPath: return SetJsonPathProperty(data, dataSize);
        case Id::DataMode: {
            int32_t mode = 0;
            std::memcpy(&mode, data, sizeof(mode));
            return SetDataMode(mode);
        }
        case Id::ToFDistortionCorrectionEnabled:
            return m_tofApi->SetDistortionCorrectionEnabled(*static_cast<const uint8_t*>(data) != 0);
        default: return m_tofApi->SetFrameEnable(FrameOf(entry->id), *static_cast<const uint8_t*>(data) != 0);
    }
}

int SensorDevice::GetSensorProperty(const char* key, void* data, int dataSize) {
    const propertykeys::Key* entry = propertykeys::Find(key, propertykeys::Owner::SensorDevice);
    // The data mode and the JSON path are read from the plug-ins.
    if (entry == nullptr || !entry->Gets()) return status::kNotMine;
    if (!entry->Fits(dataSize)) return status::kInvalidParameter;
    bool on = false;
    const int ret = entry->id == Id::ToFDistortionCorrectionEnabled ? m_tofApi->GetDistortionCorrectionEnabled(&on)
                                                                    : m_tofApi->GetFrameEnable(FrameOf(entry->id), &on);
    *static_cast<uint8_t*>(data) = on ? 1 : 0;
    return ret;
}

int SensorDevice::SetOwnProperty(const char* key, const void* data, int dataSize) {
    return m_tofApi->SetProperty(key, data, dataSize);
}

int SensorDevice::GetOwnProperty(const char* key, void* data, int dataSize) {
    return m_tofApi->GetProperty(key, data, dataSize);
}

int SensorDevice::PropertyResult(const char* key, int dataSize, int ret) {
    if (ret == status::kNotMine) {
        LOG_DEVICE(Tag(), "pKey:%s is not supported.", key);
        return status::kNotSupported;
    }
    if (ret == status::kInvalidParameter) LOG_DEVICE(Tag(), "dataSize:%d is invalid.", dataSize);
    return ret;
}

int SensorDevice::ConvertDepthFrameToPointCloudVector(const QlFrame* frame, QlVector3f* points) {
    if (!frame || !frame->pFrameData) return status::kNoFrameData;
    if (!points) return status::kNullArgument;
    if (frame->frameType != FRAME_DEPTH) {
        LOG_DEVICE(Tag(), "frameType:%d is invalid.", static_cast<int>(frame->frameType));
        return status::kInvalidParameter;
    }
    // The plug-in reads one 16-bit depth per pixel; a shorter frame would be read past its end.
    const uint64_t needed = uint64_t(frame->width) * frame->height * kDepthBytesPerPixel;
    if (frame->dataLen < needed) {
        LOG_DEVICE(Tag(), "dataLen:%u is less than %u x %u depth pixels.", frame->dataLen,
                   static_cast<unsigned>(frame->width), static_cast<unsigned>(frame->height));
        return status::kInvalidParameter;
    }
    Frame record{};
    record.frameIndex = frame->frameIndex;
    record.frameType = static_cast<FrameType>(frame->frameType);
    record.pixelFormat = static_cast<PixelFormat>(frame->pixelFormat);
    record.data = frame->pFrameData;
    record.length = frame->dataLen;
    record.capacity = 0;
    record.exposureTime = frame->exposureTime;
    record.depthRange = frame->depthRange;
    record.width = frame->width;
    record.height = frame->height;
    record.hasFrameType = 0;
    record.timestamp = frame->deviceTimestamp;
    return m_tofApi->ConvertDepthFrameToPointCloudVector(&record, points);
}
