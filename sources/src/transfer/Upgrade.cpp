#include "Upgrade.h"

#include "CommandRecords.h"
#include "DeviceCommonProtocol.h"
#include "DeviceInfo.h"
#include "FirmwareImage.h"
#include "ImgHead.h"
#include "UsbStorageList.h"
#include "log.h"

Upgrade::Upgrade(Timing timing) : TransferController("Upgrade", "SetDetectParams_P", timing) {}

Upgrade::~Upgrade() { StopAndJoin(); }

Upgrade* Upgrade::GetInstance() { return TransferInstance<Upgrade>::Get(); }

Upgrade* Upgrade::Existing() { return TransferInstance<Upgrade>::Existing(); }

void Upgrade::Release() { TransferInstance<Upgrade>::Release(); }

int Upgrade::CheckFirmwareVersion(const char* oldFW, const char* pImgPath, DeviceInfo* info) {
    const char* tag = info != nullptr ? info->serialNumber : "";
    if (info == nullptr) {
        LOG_PRINTF("info is NULL.");
        return -17;
    }
    const FirmwareImage::Result result = FirmwareImage::Check(oldFW, pImgPath, info->deviceType, tag);
    if (result.status == 0) {
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
        return -1;
    }
    // Compared in 64 bits: an image of 4 GiB or more never passes for a checked one.
    if (source.length != m_imgFileLen) {
        LOG_DEVICE(tag.c_str(), "%s size is notmatch(%llu,%u).", path.c_str(),
                   static_cast<unsigned long long>(source.length), m_imgFileLen.load());
        return -1;
    }
    const usbstorage::CopyJob job{source.file.get(), "Firmware.img", sizeof(IMG_HEAD), &FileSum::Unsigned, m_imgFileLen,
                                  m_imgChecksum};
    return usbstorage::CopyToEach(UsbStorageDevices(), job, tag);
}

void Upgrade::SetUpgradeStatusCallback(UpgradeStatusCallback const& callback, const void* userData) {
    LOG_PRINTF("pCallback:%p, pUserData:%p", reinterpret_cast<void*>(callback), userData);
    SetCallback(callback, userData);
}

TransferController::Pass Upgrade::Step(int status, DeviceCommonProtocol& protocol) {
    switch (status) {
        case 0:
            return Pass::End;
        case 1:
            return Reconnecting();
        case 2:
            if (!CameraReady(protocol, false)) return Pass::Sleep;
            SetStatus(3);
            Report(3, 1);
            return Pass::Next;
        case 3:
            return SendChecksum(protocol);
        case 4: case 5: case 6: case 7: case 8: case 9:
            return FollowCamera(protocol, 3);
        default:
            LOG_DEVICE(Tag().c_str(), "status:%d", status);
            return Pass::End;
    }
}

TransferController::Pass Upgrade::Reconnecting() {
    Report(1, 1);
    ResetWaitCount();
    if (Reconnect()) {
        ResetWaitCount();
        Report(2, 1);
        return Pass::Next;
    }
    // The camera stays waiting for its upgrade: no reboot.
    if (!StopRequested()) Report(2, -1);
    return Pass::End;
}

TransferController::Pass Upgrade::SendChecksum(DeviceCommonProtocol& protocol) {
    if (SendCamera(protocol, 2, static_cast<int32_t>(m_imgChecksum.load()), static_cast<int32_t>(m_imgFileLen.load())) !=
        0) {
        AbortWithReboot("send Checksum failed.");
        return Pass::End;
    }
    ResetWaitCount();
    SetStatus(4);
    return Pass::Next;
}

int Upgrade::OpenDevice_P() {
    DeviceCommonProtocol* protocol = Protocol();
    const int ret = protocol != nullptr ? protocol->SetOpenState(true) : -1;
    if (ret == 0) {
        SetStatus(2);
        return 0;
    }
    LOG_DEVICE(Tag().c_str(), "Upgrade::OpenDevice failed ret:%d", ret);
    return ret;
}

int Upgrade::ProcessStatus(int status, int params) {
    switch (status) {
        case 4:
            return 0;
        case 5:
            if (params == 1) return GoOn(4);
            LOG_DEVICE(Tag().c_str(), "status:%d params:%d", status, params);
            return FailWithReboot(4, params);
        case 6:
            LOG_DEVICE(Tag().c_str(), "UpgradeDoing percent:%d%%", params);
            Report(5, params);
            return 0;
        case 7: case 8:
            if (params == 1) {
                Report(status - 1, 1);
                return 0;
            }
            LOG_DEVICE(Tag().c_str(), "status:%d params:%d", status, params);
            return FailWithReboot(status - 1, params);
        case 9:
            if (params == 1) {
                LOG_DEVICE(Tag().c_str(), "Upgrade OK.");
                RebootAndrm();
                Report(8, 1);
                return 1;
            }
            LOG_DEVICE(Tag().c_str(), "Upgrade NG.");
            return FailWithReboot(8, params);
        default:
            // A camera state we do not know: no reboot.
            LOG_DEVICE(Tag().c_str(), "invalid status:%d params:%d", status, params);
            Report(status - 1, -1);
            return -1;
    }
}

int Upgrade::QueryCamera(DeviceCommonProtocol& protocol, CameraState& out) {
    UpgradeState state{};
    const int ret = protocol.GetUpgradeState(state);
    if (ret == 0) out = CameraState{state.state, state.param1, state.param2};
    return ret;
}

int Upgrade::SendCamera(DeviceCommonProtocol& protocol, int state, int param1, int param2) {
    return protocol.SetUpgradeState(UpgradeState{state, param1, param2});
}
