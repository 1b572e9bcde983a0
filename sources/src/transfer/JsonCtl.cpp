#include "JsonCtl.h"

#include <cerrno>
#include <cstdio>
#include <limits>

#include "CommandRecords.h"
#include "DeviceCommonProtocol.h"
#include "FileSum.h"
#include "UniqueFile.h"
#include "UsbStorageList.h"
#include "log.h"
#include "pathtools.h"

JsonCtl::JsonCtl(Timing timing) : TransferController("JsonCtl", "JsonCtl::SetDetectParams_P", timing) {}

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
        return -15;
    }
    // The file goes to the camera whose transfer waits for it, not to another one.
    if (!Serves(protocol)) {
        LOG_DEVICE(Tag().c_str(), "pImgPath:%s is not for the camera of the transfer, status:%d", pImgPath, Status());
        return -2;
    }
    StoreImgPath(pImgPath);
    SetProtocol(protocol);
    const int ret = protocol->SetJsonPath_P(pImgPath);
    if (ret == 0) SetStatus(4);
    return ret;
}

int JsonCtl::Copy2U() {
    const std::string tag = Tag();
    const std::string path = ImgPath();
    const usbstorage::Source source = usbstorage::OpenSource(path);
    if (!source.file) {
        LOG_DEVICE(tag.c_str(), "open %s failed. ECode:%d", path.c_str(), source.error);
        return -1;
    }
    // The length kept for the camera is 32 bits wide; a larger file must not wrap.
    if (source.length > std::numeric_limits<uint32_t>::max()) {
        LOG_DEVICE(tag.c_str(), "read IMG_HEAD failed:%llu", static_cast<unsigned long long>(source.length));
        return -1;
    }
    const FileSum::Result sum = FileSum::Signed(source.file.get());
    if (!sum.ok) {
        LOG_DEVICE(tag.c_str(), "read IMG_HEAD failed:%llu", static_cast<unsigned long long>(sum.bytes));
        return -1;
    }
    m_imgFileLen = static_cast<uint32_t>(source.length);
    m_imgChecksum = sum.sum;
    const usbstorage::CopyJob job{source.file.get(), "config.json", 0, &FileSum::Signed, m_imgFileLen, m_imgChecksum};
    return usbstorage::CopyToEach(UsbStorageDevices(), job, tag);
}

int JsonCtl::CopyJson2Local() {
    const std::string tag = Tag();
    const std::vector<std::string> devices = UsbStorageDevices();
    if (devices.empty()) return -1;
    const std::string path = devices.front() + "/Android/data/configOrig.json";
    const usbstorage::Source source = usbstorage::OpenSource(path);
    if (!source.file) {
        LOG_DEVICE(tag.c_str(), "create %s ECode:%d failed.", path.c_str(), source.error);
        return -1;
    }
    const std::string folder = GetConfigPath();
    // Without an application-data folder the copy would land in the working directory.
    if (folder.empty() || (!IsDirectoryExist(folder.c_str()) && !CreateDirectory_(folder.c_str()))) {
        LOG_DEVICE(tag.c_str(), "open %s failed. ECode:%d", folder.c_str(), errno);
        return -1;
    }
    const std::string destPath = Path_Join(folder, "config.json");
    return usbstorage::CopyFileTo(source.file.get(), destPath, 0, usbstorage::CopyLog::ToLocal, tag) ? 0 : -1;
}

TransferController::Pass JsonCtl::Step(int status, DeviceCommonProtocol& protocol) {
    switch (status) {
        case 0:
            return Pass::End;
        case 1:
            return Reconnecting();
        case 2:
            if (!CameraReady(protocol, false)) return Pass::Sleep;
            SetStatus(3);
            Report(1, 0);
            return Pass::Next;
        case 3:
            return KeepAlive(protocol);
        case 4:
            if (!CameraReady(protocol, true)) return Pass::Sleep;
            SetStatus(5);
            return Pass::Next;
        case 5:
            return SendChecksum(protocol);
        case 6: case 7: case 8: case 9:
            return FollowCamera(protocol, 5);
        default:
            LOG_DEVICE(Tag().c_str(), "status:%d", status);
            return Pass::End;
    }
}

TransferController::Pass JsonCtl::Reconnecting() {
    ResetWaitCount();
    if (Reconnect()) {
        ResetWaitCount();
        return Pass::Next;
    }
    if (!StopRequested()) Report(2, -1);
    return Pass::End;
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
    if (SendCamera(protocol, 2, static_cast<int32_t>(sum.sum), static_cast<int32_t>(m_imgFileLen.load())) != 0) {
        AbortWithReboot("send Checksum failed.");
        return Pass::End;
    }
    SetStatus(6);
    return Pass::Next;
}

int JsonCtl::OpenDevice_P() {
    DeviceCommonProtocol* protocol = Protocol();
    if (protocol == nullptr) return -1;
    protocol->SetOpenState(false);
    const int ret = protocol->SetOpenState(true);
    if (ret == 0) {
        SetStatus(2);
        return 0;
    }
    LOG_DEVICE(Tag().c_str(), "failed ret:%d", ret);
    return ret;
}

int JsonCtl::ProcessStatus(int status, int params) {
    LOG_DEVICE(Tag().c_str(), "%d,%d", status, params);
    switch (status) {
        case 6:
            LOG_DEVICE(Tag().c_str(), "JsonChecking");
            return 0;
        case 7:
            if (params == 1) return GoOn(4);
            LOG_DEVICE(Tag().c_str(), "status:%d params:%d", status, params);
            return FailWithReboot(4, params);
        case 8:
            LOG_DEVICE(Tag().c_str(), "JsonDoing percent:%d%%", params);
            Report(5, params);
            return 0;
        case 9:
            if (params == 1) {
                LOG_DEVICE(Tag().c_str(), "Json OK.");
                RebootAndrm();
                Report(6, 1);
                return 1;
            }
            LOG_DEVICE(Tag().c_str(), "Json NG.");
            return FailWithReboot(6, params);
        default:
            LOG_DEVICE(Tag().c_str(), "invalid status:%d params:%d", status, params);
            Report(status - 3, -1);
            return -1;
    }
}

int JsonCtl::QueryCamera(DeviceCommonProtocol& protocol, CameraState& out) {
    JsonState state{};
    const int ret = protocol.GetJsonState(state);
    if (ret == 0) out = CameraState{state.state, state.param1, state.param2};
    return ret;
}

int JsonCtl::SendCamera(DeviceCommonProtocol& protocol, int state, int param1, int param2) {
    return protocol.SetJsonState(JsonState{state, param1, param2});
}
