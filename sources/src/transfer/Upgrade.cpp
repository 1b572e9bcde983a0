#include "Upgrade.h"

#include "CommandRecords.h"
#include "DeviceCommonProtocol.h"
#include "DeviceInfo.h"
#include "FirmwareImage.h"
#include "ImgHead.h"
#include "StatusCodes.h"
#include "TransferSteps.h"
#include "UsbStorageList.h"
#include "log.h"

using namespace transferstep;

Upgrade::Upgrade(Timing timing)
    : TransferController("Upgrade", "SetDetectParams_P", timing,
                         Following{upgrade::kFollowing, camera::kFirmwareDone, "Upgrade"}) {}

Upgrade::~Upgrade() { StopAndJoin(); }

Upgrade* Upgrade::GetInstance() { return TransferInstance<Upgrade>::Get(); }

Upgrade* Upgrade::Existing() { return TransferInstance<Upgrade>::Existing(); }

void Upgrade::Release() { TransferInstance<Upgrade>::Release(); }

int Upgrade::CheckFirmwareVersion(const char* oldFW, const char* pImgPath, DeviceInfo* info) {
    const char* tag = info != nullptr ? info->serialNumber : "";
    if (info == nullptr) {
        LOG_PRINTF("info is NULL.");
        return status::kImageUnusable;
    }
    const FirmwareImage::Result result = FirmwareImage::Check(oldFW, pImgPath, info->deviceType, tag);
    if (result.status == status::kOk) {
        m_imgFileLen = result.fileLen;
        m_imgChecksum = result.checksum;
    }
    return result.status;
}

void Upgrade::SetImgPath(const char* pImgPath, DeviceCommonProtocol* protocol) {
    StopForHandOver();
    StoreImgPath(pImgPath != nullptr ? pImgPath : "");
    SetProtocol(protocol);
}

int Upgrade::Copy2U() {
    const std::string tag = Tag();
    const std::string path = ImgPath();
    const usbstorage::Source source = usbstorage::OpenSource(path);
    if (!source.file) {
        LOG_DEVICE(tag.c_str(), "open %s failed.", path.c_str());
        return status::kFailed;
    }
    // Compared in 64 bits: an image of 4 GiB or more never passes for a checked one.
    if (source.length != m_imgFileLen) {
        LOG_DEVICE(tag.c_str(), "%s size is notmatch(%llu,%u).", path.c_str(),
                   static_cast<unsigned long long>(source.length), m_imgFileLen.load());
        return status::kFailed;
    }
    const usbstorage::CopyJob job{source.file.get(),  "Firmware.img", sizeof(IMG_HEAD),
                                  &FileSum::Unsigned, m_imgFileLen,   m_imgChecksum};
    return usbstorage::CopyToEach(UsbStorageDevices(), job, tag);
}

void Upgrade::SetUpgradeStatusCallback(UpgradeStatusCallback const& callback, const void* userData) {
    LOG_PRINTF("pCallback:%p, pUserData:%p", reinterpret_cast<void*>(callback), userData);
    SetCallback(callback, userData);
}

TransferController::Pass Upgrade::Step(int status, DeviceCommonProtocol& protocol) {
    if (FollowsCamera(status)) return FollowCamera(protocol);
    switch (status) {
        case kIdle: return Pass::End;
        case kSetUp: return Reconnecting();
        case kReconnected:
            if (!CameraReady(protocol, false)) return Pass::Sleep;
            SetStatus(upgrade::kCameraReady);
            Report(report::kCameraReady, kPassed);
            return Pass::Next;
        case upgrade::kCameraReady: return SendChecksum(protocol);
        default: LOG_DEVICE(Tag().c_str(), "status:%d", status); return Pass::End;
    }
}

TransferController::Pass Upgrade::Reconnecting() {
    Report(report::kReconnecting, kPassed);
    if (!Reconnect()) return Pass::End;
    Report(report::kReconnected, kPassed);
    return Pass::Next;
}

TransferController::Pass Upgrade::SendChecksum(DeviceCommonProtocol& protocol) {
    if (!SendFileSums(protocol)) return Pass::End;
    ResetWaitCount();
    SetStatus(upgrade::kChecksumSent);
    return Pass::Next;
}

int Upgrade::OpenDevice_P() {
    DeviceCommonProtocol* protocol = Protocol();
    const int ret = protocol != nullptr ? protocol->SetOpenState(true) : status::kFailed;
    if (ret == 0) {
        SetStatus(kReconnected);
        return 0;
    }
    LOG_DEVICE(Tag().c_str(), "Upgrade::OpenDevice failed ret:%d", ret);
    return ret;
}

int Upgrade::ProcessStatus(int status, int params) {
    const int state = status - upgrade::kFollowing;
    switch (state) {
        case camera::kChecking: return result::kGoOn;
        case camera::kFirmwareStep1:
        case camera::kFirmwareStep2:
            if (params != kPassed) return FailedStep(status, params, report::OfCameraState(state));
            Report(report::OfCameraState(state), kPassed);
            return result::kGoOn;
        default: return CommonStep(status, state, params);
    }
}

int Upgrade::QueryCamera(DeviceCommonProtocol& protocol, CameraState& out) {
    return QueryWith(protocol, &DeviceCommonProtocol::GetUpgradeState, out);
}

int Upgrade::SendCamera(DeviceCommonProtocol& protocol, int state, int param1, int param2) {
    return SendWith(protocol, &DeviceCommonProtocol::SetUpgradeState, state, param1, param2);
}
