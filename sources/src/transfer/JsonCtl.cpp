#include "JsonCtl.h"

#include <cerrno>
#include <cstdio>
#include <limits>

#include "CommandRecords.h"
#include "DeviceCommonProtocol.h"
#include "FileSum.h"
#include "StatusCodes.h"
#include "TransferSteps.h"
#include "UniqueFile.h"
#include "UsbStorageList.h"
#include "log.h"
#include "pathtools.h"

using namespace transferstep;

JsonCtl::JsonCtl(Timing timing)
    : TransferController("JsonCtl", "JsonCtl::SetDetectParams_P", timing,
                         Following{json::kFollowing, camera::kJsonDone, "Json"}) {}

JsonCtl::~JsonCtl() { StopAndJoin(); }

JsonCtl* JsonCtl::GetInstance() { return TransferInstance<JsonCtl>::Get(); }

JsonCtl* JsonCtl::Existing() { return TransferInstance<JsonCtl>::Existing(); }

void JsonCtl::Release() { TransferInstance<JsonCtl>::Release(); }

void JsonCtl::SetUpgradeJsonStatusCallback(::UpgradeJsonStatusCallback const& callback, const void* userData,
                                           DeviceCommonProtocol* protocol) {
    LOG_PRINTF("pCallback:%p, pUserData:%p", reinterpret_cast<void*>(callback), userData);
    StopForHandOver();
    SetProtocol(protocol);
    SetCallback(callback, userData);
}

void JsonCtl::NoCallback() { LOG_DEVICE(Tag().c_str(), "m_pCallback is NULL!"); }

int JsonCtl::SetImgPath(const char* pImgPath, DeviceCommonProtocol* protocol) {
    if (pImgPath == nullptr || protocol == nullptr) {
        LOG_PRINTF("pImgPath:%p protocol:%p is invalid.", static_cast<const void*>(pImgPath),
                   static_cast<void*>(protocol));
        return status::kInvalidParameter;
    }
    // The file goes to the camera whose transfer waits for it, not to another one.
    if (!Serves(protocol)) {
        LOG_DEVICE(Tag().c_str(), "pImgPath:%s is not for the camera of the transfer, status:%d", pImgPath, Status());
        return status::kJsonPathRefused;
    }
    StoreImgPath(pImgPath);
    SetProtocol(protocol);
    const int ret = protocol->SetJsonPath_P(pImgPath);
    if (ret == 0) SetStatus(json::kFileHandedOver);
    return ret;
}

int JsonCtl::Copy2U() {
    const std::string tag = Tag();
    const std::string path = ImgPath();
    const usbstorage::Source source = usbstorage::OpenSource(path);
    if (!source.file) {
        LOG_DEVICE(tag.c_str(), "open %s failed. ECode:%d", path.c_str(), source.error);
        return status::kFailed;
    }
    // The length kept for the camera is 32 bits wide; a larger file must not wrap.
    if (source.length > std::numeric_limits<uint32_t>::max()) {
        LOG_DEVICE(tag.c_str(), "read IMG_HEAD failed:%llu", static_cast<unsigned long long>(source.length));
        return status::kFailed;
    }
    const FileSum::Result sum = FileSum::Signed(source.file.get());
    if (!sum.ok) {
        LOG_DEVICE(tag.c_str(), "read IMG_HEAD failed:%llu", static_cast<unsigned long long>(sum.bytes));
        return status::kFailed;
    }
    m_imgFileLen = static_cast<uint32_t>(source.length);
    m_imgChecksum = sum.sum;
    const usbstorage::CopyJob job{source.file.get(), "config.json", 0, &FileSum::Signed, m_imgFileLen, m_imgChecksum};
    return usbstorage::CopyToEach(UsbStorageDevices(), job, tag);
}

int JsonCtl::CopyJson2Local() {
    const std::string tag = Tag();
    const std::vector<std::string> devices = UsbStorageDevices();
    if (devices.empty()) return status::kFailed;
    const std::string path = devices.front() + "/Android/data/configOrig.json";
    const usbstorage::Source source = usbstorage::OpenSource(path);
    if (!source.file) {
        LOG_DEVICE(tag.c_str(), "create %s ECode:%d failed.", path.c_str(), source.error);
        return status::kFailed;
    }
    const std::string folder = GetConfigPath();
    // Without an application-data folder the copy would land in the working directory.
    if (folder.empty() || (!IsDirectoryExist(folder.c_str()) && !CreateDirectory_(folder.c_str()))) {
        LOG_DEVICE(tag.c_str(), "open %s failed. ECode:%d", folder.c_str(), errno);
        return status::kFailed;
    }
    const std::string destPath = Path_Join(folder, "config.json");
    const bool copied = usbstorage::CopyFileTo(source.file.get(), destPath, 0, usbstorage::CopyLog::ToLocal, tag);
    return copied ? status::kOk : status::kFailed;
}

TransferController::Pass JsonCtl::Step(int status, DeviceCommonProtocol& protocol) {
    if (FollowsCamera(status)) return FollowCamera(protocol);
    switch (status) {
        case kIdle: return Pass::End;
        case kSetUp: return Reconnect() ? Pass::Next : Pass::End;
        case kReconnected:
            if (!CameraReady(protocol, false)) return Pass::Sleep;
            SetStatus(json::kWaitingForFile);
            Report(report::kJsonModeReady, 0);  // parameter 0: a wait begins, no step has passed
            return Pass::Next;
        case json::kWaitingForFile: return KeepAlive(protocol);
        case json::kFileHandedOver:
            if (!CameraReady(protocol, true)) return Pass::Sleep;
            SetStatus(json::kFileReady);
            return Pass::Next;
        case json::kFileReady: return SendChecksum(protocol);
        default: LOG_DEVICE(Tag().c_str(), "status:%d", status); return Pass::End;
    }
}

// Waits without a time-out for the application's file.
TransferController::Pass JsonCtl::KeepAlive(DeviceCommonProtocol& protocol) {
    if (protocol.HeartbeatCheck() != 0) protocol.SetOpenState(true);
    return Pass::Sleep;
}

TransferController::Pass JsonCtl::SendChecksum(DeviceCommonProtocol& protocol) {
    const std::string path = DeviceCommonProtocol::customreplace_(ImgPath(), "\\", "/");
    const UniqueFile file(std::fopen(path.c_str(), "rbe"));
    if (!file) {
        LOG_DEVICE(Tag().c_str(), "open %s failed. ECode:%d", path.c_str(), errno);
        AbortWithReboot("json file unusable.");
        return Pass::End;
    }
    const FileSum::Result sum = FileSum::Signed(file.get());
    if (!sum.ok || sum.bytes == 0 || sum.bytes > std::numeric_limits<uint32_t>::max()) {
        LOG_DEVICE(Tag().c_str(), "read IMG_HEAD failed:%llu", static_cast<unsigned long long>(sum.bytes));
        AbortWithReboot("json file unusable.");
        return Pass::End;
    }
    m_imgChecksum = sum.sum;
    m_imgFileLen = static_cast<uint32_t>(sum.bytes);
    LOG_DEVICE(Tag().c_str(), "upgradeFileCheckSum: %d . nFileLen:%u", static_cast<int32_t>(sum.sum),
               m_imgFileLen.load());
    if (!SendFileSums(protocol)) return Pass::End;
    SetStatus(json::kChecksumSent);
    return Pass::Next;
}

int JsonCtl::OpenDevice_P() {
    DeviceCommonProtocol* protocol = Protocol();
    if (protocol == nullptr) return status::kFailed;
    protocol->SetOpenState(false);
    const int ret = protocol->SetOpenState(true);
    if (ret == 0) {
        SetStatus(kReconnected);
        return 0;
    }
    LOG_DEVICE(Tag().c_str(), "failed ret:%d", ret);
    return ret;
}

int JsonCtl::ProcessStatus(int status, int params) {
    LOG_DEVICE(Tag().c_str(), "%d,%d", status, params);
    const int state = status - json::kFollowing;
    if (state != camera::kChecking) return CommonStep(status, state, params);
    LOG_DEVICE(Tag().c_str(), "JsonChecking");
    return result::kGoOn;
}

int JsonCtl::QueryCamera(DeviceCommonProtocol& protocol, CameraState& out) {
    return QueryWith(protocol, &DeviceCommonProtocol::GetJsonState, out);
}

int JsonCtl::SendCamera(DeviceCommonProtocol& protocol, int state, int param1, int param2) {
    return SendWith(protocol, &DeviceCommonProtocol::SetJsonState, state, param1, param2);
}
