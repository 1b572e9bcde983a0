#include "BaseDevice.h"

#include <cstring>
#include <vector>

#include "DeviceTiming.h"
#include "JsonCtl.h"
#include "PropertyKeys.h"
#include "StatusCodes.h"
#include "TransferSteps.h"
#include "Upgrade.h"
#include "log.h"

namespace {

using propertykeys::Id;

// Calibration records in a property buffer: a 32-bit sensor type, then the doubles, which
// need not be aligned there.
constexpr int kSensorHead = static_cast<int>(sizeof(int32_t));
constexpr int kIntrinsicCount = 9;
constexpr int kDistortionCount = 8;
constexpr int kRotationCount = 9;
constexpr int kTranslationCount = 3;

constexpr int DoublesSize(int count) { return count * static_cast<int>(sizeof(double)); }

static_assert(propertykeys::Of(Id::Intrinsic).size == kSensorHead + DoublesSize(kIntrinsicCount), "intrinsic record");
static_assert(propertykeys::Of(Id::Distortion).size == kSensorHead + DoublesSize(kDistortionCount),
              "distortion record");
static_assert(propertykeys::Of(Id::Rotation).size == DoublesSize(kRotationCount), "rotation record");
static_assert(propertykeys::Of(Id::Translation).size == DoublesSize(kTranslationCount), "translation record");
static_assert(propertykeys::Of(Id::FactoryMode).size == sizeof(FactoryMode), "FactoryMode record");
static_assert(propertykeys::Of(Id::MCUparameters).size == sizeof(MCUParameters), "MCUParameters record");

SensorType SensorAt(const void* data) {
    int32_t type = 0;
    std::memcpy(&type, data, sizeof(type));
    return static_cast<SensorType>(type);
}

}  // namespace

BaseDevice::BaseDevice(const DeviceInfo& info, std::unique_ptr<IO> io, linktiming::SleepFunction sleep)
    : m_deviceInfo(info), m_commonProtocol(std::move(io), sleep), m_sleep(std::move(sleep)) {}

BaseDevice::~BaseDevice() { DetachTransfers(); }

void BaseDevice::DetachTransfers() {
    if (!m_lent.exchange(false)) return;
    // A controller that was never made, or was released at shut-down, holds nothing.
    if (Upgrade* upgrade = Upgrade::Existing()) upgrade->Detach(&m_commonProtocol);
    if (JsonCtl* json = JsonCtl::Existing()) json->Detach(&m_commonProtocol);
}

int BaseDevice::Open() { return m_commonProtocol.SetOpenState(true); }
int BaseDevice::Close() { return m_commonProtocol.SetOpenState(false); }
int BaseDevice::HeartbeatCheck() {
    // Commands may still pass, but no frame comes back without a reopen: the camera is lost
    // to us as much as after a silent heartbeat.
    if (m_commonProtocol.DataLinkLost()) {
        LOG_DEVICE(Tag(), "the data connection is lost");
        return status::kNoAnswer;
    }
    return m_commonProtocol.HeartbeatCheck();
}
int BaseDevice::OnMessage(MessageType) { return status::kNotSupported; }
int BaseDevice::StartStream() { return m_commonProtocol.SetStreamState(true); }
int BaseDevice::StopStream() { return m_commonProtocol.SetStreamState(false); }
int BaseDevice::GetFrameReady(uint16_t, FrameReady*) { return status::kNotSupported; }
int BaseDevice::GetFrame(FrameType, Frame*) { return status::kNotSupported; }

int BaseDevice::SetWorkMode(int mode) {
    const int ret = m_commonProtocol.SetWorkMode(mode);
    if (ret != 0) return ret;
    m_workMode = mode;
    if (m_imageProc) {
        m_imageProc->RecycleCache();
        m_sleep(devicetiming::kWorkModeSettle);
    }
    return 0;
}

int BaseDevice::GetWorkMode(int* mode) { return m_commonProtocol.GetWorkMode(mode); }
int BaseDevice::SetSoftwareSlaveTrigger() { return m_commonProtocol.SetSoftwareSlaveTrigger(); }
int BaseDevice::StartUpgradeFirmWare(const char* imgPath) { return m_commonProtocol.StartUpgradeFirmWare(imgPath); }

int BaseDevice::SetUpgradeStatusCallback(UpgradeStatusCallback callback, const void* userData) {
    Upgrade::GetInstance()->SetUpgradeStatusCallback(callback, userData);
    return 0;
}

int BaseDevice::SetUpgradeState(UpgradeState state) { return m_commonProtocol.SetUpgradeState(state); }
int BaseDevice::GetUpgradeState(UpgradeState& state) { return m_commonProtocol.GetUpgradeState(state); }

int BaseDevice::SetUpgradeJsonStatusCallback(UpgradeJsonStatusCallback callback, const void* userData) {
    const int ret = SetToJsonMode_P();
    // The stream stops even when the camera refused JSON mode.
    StopStream();
    if (ret != 0) {
        LOG_DEVICE(Tag(), "SetToJsonMode_P ret:%d is failed.", ret);
        return status::kJsonModeFailed;
    }
    JsonCtl* json = JsonCtl::GetInstance();
    MarkLent();
    json->SetUpgradeJsonStatusCallback(callback, userData, &m_commonProtocol);
    json->SetStatus(transferstep::kSetUp);
    return 0;
}

int BaseDevice::SetToJsonMode_P() { return m_commonProtocol.SetToJsonMode_P(); }
int BaseDevice::SetJsonPath_P(const char* path) { return m_commonProtocol.SetJsonPath_P(path); }
int BaseDevice::SetJsonState(JsonState state) { return m_commonProtocol.SetJsonState(state); }
int BaseDevice::GetJsonState(JsonState& state) { return m_commonProtocol.GetJsonState(state); }
int BaseDevice::GetFirmwareVersion(char* buf, int len) { return m_commonProtocol.GetFirmwareVersion(buf, len); }
int BaseDevice::GetCameraIntrinsic(SensorType, double*) { return status::kNotSupported; }
int BaseDevice::GetCameraDistortion(SensorType type, double* d8) {
    return m_commonProtocol.GetCameraDistortion(type, d8);
}
int BaseDevice::Reboot() { return m_commonProtocol.Reboot(); }
int BaseDevice::SetSubnetMask(const char* mask, int len) { return m_commonProtocol.SetSubnetMask(mask, len); }
int BaseDevice::GetSubnetMask(char* mask, int len) { return m_commonProtocol.GetSubnetMask(mask, len); }
int BaseDevice::SetMACAddress(const char* mac, int len) { return m_commonProtocol.SetMACAddress(mac, len); }
int BaseDevice::GetMACAddress(char* mac, int len) { return m_commonProtocol.GetMACAddress(mac, len); }
int BaseDevice::SetFrameRate(int fps) { return m_commonProtocol.SetFrameRate(fps); }
int BaseDevice::GetFrameRate(int* fps) { return m_commonProtocol.GetFrameRate(fps); }
int BaseDevice::SetIRGMMGain(int) { return status::kNotSupported; }
int BaseDevice::GetIRGMMGain(int*) { return status::kNotSupported; }

int BaseDevice::SetProperty(const char* key, const void* data, int dataSize) {
    if (!key) return status::kNullArgument;
    if (!data) return status::kNullData;
    const propertykeys::Key* entry = propertykeys::Find(key, propertykeys::Owner::BaseDevice);
    return entry != nullptr && entry->Sets() ? SetBaseProperty(*entry, data, dataSize) : status::kNotMine;
}

int BaseDevice::GetProperty(const char* key, void* data, int dataSize) {
    if (!key) return status::kNullArgument;
    if (!data) return status::kNullData;
    const propertykeys::Key* entry = propertykeys::Find(key, propertykeys::Owner::BaseDevice);
    return entry != nullptr && entry->Gets() ? GetBaseProperty(*entry, data, dataSize) : status::kNotMine;
}

int BaseDevice::GetBaseProperty(const propertykeys::Key& key, void* data, int dataSize) {
    auto* bytes = static_cast<uint8_t*>(data);
    const bool fits = key.Fits(dataSize);
    switch (key.id) {
        case Id::Intrinsic: {
            if (!fits) return status::kNotMine;
            double k[kIntrinsicCount] = {};
            const int ret = m_commonProtocol.GetCameraIntrinsic(SensorAt(data), k);
            if (ret == 0) std::memcpy(bytes + kSensorHead, k, sizeof(k));
            return ret;
        }
        case Id::Distortion: {
            if (!fits) return status::kNotMine;
            double d[kDistortionCount] = {};
            const int ret = m_commonProtocol.GetCameraDistortion(SensorAt(data), d);
            if (ret == 0) std::memcpy(bytes + kSensorHead, d, sizeof(d));
            return ret;
        }
        case Id::Rotation: {
            if (!fits) return status::kNotMine;
            double r[kRotationCount] = {};
            const int ret = m_commonProtocol.GetCameraRotation(r);
            if (ret == 0) std::memcpy(data, r, sizeof(r));
            return ret;
        }
        case Id::Translation: {
            if (!fits) return status::kNotMine;
            double t[kTranslationCount] = {};
            const int ret = m_commonProtocol.GetCameraTranslation(t);
            if (ret == 0) std::memcpy(data, t, sizeof(t));
            return ret;
        }
        case Id::Serialnumber:
            if (!fits) return status::kSerialBufferTooShort;
            return m_commonProtocol.GetSensorSN(static_cast<char*>(data), dataSize);
        case Id::MACAddress: return GetMACAddress(static_cast<char*>(data), dataSize);
        case Id::DHCPEnable: {
            if (!fits) return status::kInvalidParameter;
            unsigned char on = 0;
            const int ret = m_commonProtocol.GetDHCPState(on);
            bytes[0] = on == 1 ? 1 : 0;
            return ret;
        }
        case Id::SubnetMask: return m_commonProtocol.GetSubnetMask(static_cast<char*>(data), dataSize);
        case Id::IP: return m_commonProtocol.GetDeviceIPAddr(static_cast<char*>(data), dataSize);
        case Id::FactoryMode: {
            if (!fits) return status::kInvalidParameter;
            FactoryMode fm{};
            const int ret = m_commonProtocol.GetFactoryMode(&fm);
            if (ret == 0) std::memcpy(data, &fm, sizeof(fm));
            return ret;
        }
        case Id::MCUparameters: {
            if (!fits) return status::kInvalidParameter;
            // The caller's first byte names the signal asked for.
            MCUParameters p{};
            std::memcpy(&p, data, sizeof(p));
            const int ret = m_commonProtocol.GetMCUParameters(&p);
            if (ret == 0) std::memcpy(data, &p, sizeof(p));
            return ret;
        }
        default: break;  // not a base key
    }
    return status::kNotMine;
}

int BaseDevice::SetBaseProperty(const propertykeys::Key& key, const void* data, int dataSize) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    const bool fits = key.Fits(dataSize);
    switch (key.id) {
        case Id::Intrinsic: {
            if (!fits) return status::kNotMine;
            double k[kIntrinsicCount];
            std::memcpy(k, bytes + kSensorHead, sizeof(k));
            return m_commonProtocol.SetCameraIntrinsic(SensorAt(data), k);
        }
        case Id::Distortion: {
            if (!fits) return status::kNotMine;
            double d[kDistortionCount];
            std::memcpy(d, bytes + kSensorHead, sizeof(d));
            return m_commonProtocol.SetCameraDistortion(SensorAt(data), d);
        }
        case Id::Rotation: {
            if (!fits) return status::kNotMine;
            double r[kRotationCount];
            std::memcpy(r, data, sizeof(r));
            return m_commonProtocol.SetCameraRotation(r);
        }
        case Id::Translation: {
            if (!fits) return status::kNotMine;
            double t[kTranslationCount];
            std::memcpy(t, data, sizeof(t));
            return m_commonProtocol.SetCameraTransfer(t);
        }
        case Id::Serialnumber: {
            if (!fits) return status::kNotMine;
            // The command set takes a writable text; the caller's stays untouched.
            std::vector<char> sn(bytes, bytes + dataSize);
            return m_commonProtocol.SetSN(sn.data(), dataSize);
        }
        case Id::MACAddress: return m_commonProtocol.SetMACAddress(static_cast<const char*>(data), dataSize);
        case Id::DHCPEnable:
            if (!fits) return status::kNotMine;
            return m_commonProtocol.SetDHCPState(bytes[0]);
        case Id::SubnetMask: return m_commonProtocol.SetSubnetMask(static_cast<const char*>(data), dataSize);
        case Id::IP: return m_commonProtocol.SetDeviceIPAddr(static_cast<const char*>(data), dataSize);
        case Id::FactoryMode: {
            if (!fits) return status::kNotMine;
            FactoryMode fm;
            std::memcpy(&fm, data, sizeof(fm));
            return m_commonProtocol.SetFactoryMode(fm);
        }
        case Id::MCUparameters: {
            if (!fits) return status::kNotMine;
            MCUParameters p;
            std::memcpy(&p, data, sizeof(p));
            return m_commonProtocol.SetMCUParameters(p);
        }
        default: break;  // not a base key
    }
    return status::kNotMine;
}

int BaseDevice::ConvertDepthFrameToPointCloudVector(const QlFrame*, QlVector3f*) { return status::kNotSupported; }
int BaseDevice::SetTimeFilterParams(TimeFilterParams) { return status::kNotSupported; }
int BaseDevice::GetTimeFilterParams(TimeFilterParams*) { return status::kNotSupported; }
int BaseDevice::SetConfidenceFilterParams(ConfidenceFilterParams) { return status::kNotSupported; }
int BaseDevice::GetConfidenceFilterParams(ConfidenceFilterParams*) { return status::kNotSupported; }
int BaseDevice::SetFlyingPixelFilterParams(FlyingPixelFilterParams) { return status::kNotSupported; }
int BaseDevice::GetFlyingPixelFilterParams(FlyingPixelFilterParams*) { return status::kNotSupported; }
int BaseDevice::SetFillHoleFilterParams(FillHoleFilterParams) { return status::kNotSupported; }
int BaseDevice::GetFillHoleFilterParams(FillHoleFilterParams*) { return status::kNotSupported; }
int BaseDevice::SetSpatialFilterParams(SpatialFilterParams) { return status::kNotSupported; }
int BaseDevice::GetSpatialFilterParams(SpatialFilterParams*) { return status::kNotSupported; }
int BaseDevice::SetColorPixelFormat(PixelFormat) { return status::kNotSupported; }
int BaseDevice::GetColorPixelFormat(PixelFormat*) { return status::kNotSupported; }
int BaseDevice::SetColorResolution(int, int) { return status::kNotSupported; }
int BaseDevice::GetColorResolution(int*, int*) { return status::kNotSupported; }
int BaseDevice::GetSupportedResolutionList(SensorType, ResolutionList*) { return status::kNotSupported; }
int BaseDevice::SetExposureControlMode(SensorType, int) { return status::kNotSupported; }
int BaseDevice::GetExposureControlMode(SensorType, int*) { return status::kNotSupported; }
int BaseDevice::SetExposureTime(SensorType, ExposureTimeParams) { return status::kNotSupported; }
int BaseDevice::GetExposureTime(SensorType, ExposureTimeParams*) { return status::kNotSupported; }
int BaseDevice::GetSensorExtrinsicParameters(SensorExtrinsicParameters*) { return status::kNotSupported; }
int BaseDevice::SetTransformColorImgToDepthCameraEnabled(bool) { return status::kNotSupported; }
int BaseDevice::GetTransformColorImgToDepthCameraEnabled(bool*) { return status::kNotSupported; }
int BaseDevice::SetTransformDepthImgToColorCameraEnabled(bool) { return status::kNotSupported; }
int BaseDevice::GetTransformDepthImgToColorCameraEnabled(bool*) { return status::kNotSupported; }
int BaseDevice::TransformedDepthPointToColorPoint(QlDepthVector3, QlVector2u16, QlVector2u16*) {
    return status::kNotSupported;
}
int BaseDevice::SetToFDistortionEnable(bool) { return status::kNotSupported; }
int BaseDevice::GetToFDistortionEnable(bool*) { return status::kNotSupported; }
int BaseDevice::SetColorDistortionEnable(bool) { return status::kNotSupported; }
int BaseDevice::GetColorDistortionEnable(bool*) { return status::kNotSupported; }
int BaseDevice::GetErrMsg(QlDeviceErrorInfo*) { return 0; }
DeviceCommonProtocol* BaseDevice::GetCommonProtocol() { return &m_commonProtocol; }
int BaseDevice::GetWorkModeInternal() { return m_workMode; }
int BaseDevice::SetHDRModeEnabled(bool) { return status::kNotSupported; }
int BaseDevice::GetHDRModeEnabled(bool*) { return status::kNotSupported; }
