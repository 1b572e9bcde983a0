#pragma once
#include "TransferController.h"

struct DeviceInfo;

// The kit's firmware-upgrade agent: checks an image against the camera, then drives the
// camera's fetch of it through the borrowed command set, reporting each step.
class Upgrade : public TransferController {
public:
    static constexpr int kWaitLimit = 600;  // about 60 s of polls without progress: flashing takes its time

    explicit Upgrade(Timing timing = Timing{kPoll, kWaitLimit});
    ~Upgrade() override;

    static Upgrade* GetInstance();
    // Null while none exists; never makes one.
    static Upgrade* Existing();
    // Stops and joins the worker (rebooting a camera still upgrading) and frees the controller.
    static void Release();

    // 0, -16 or -17; on 0 the length and checksum to send are kept.
    int CheckFirmwareVersion(const char* oldFW, const char* pImgPath, DeviceInfo* info);
    void SetImgPath(const char* pImgPath, DeviceCommonProtocol* protocol);
    void SetUpgradeStatusCallback(UpgradeStatusCallback const& callback, const void* userData);
    UpgradeStatusCallback GetUpgradeStatusCallback() const { return GetCallback(); }

    // Copies the checked image to "Android/data/Firmware.img" on each storage device of
    // the list; 0 when every copy matches the checked length and checksum, else -1.
    int Copy2U();

protected:
    Pass Step(int status, DeviceCommonProtocol& protocol) override;
    int OpenDevice_P() override;
    int ProcessStatus(int status, int params) override;
    int QueryCamera(DeviceCommonProtocol& protocol, CameraState& out) override;
    int SendCamera(DeviceCommonProtocol& protocol, int state, int param1, int param2) override;

private:
    Pass Reconnecting();
    Pass SendChecksum(DeviceCommonProtocol& protocol);
};
