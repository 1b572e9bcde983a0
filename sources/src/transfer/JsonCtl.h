#pragma once
#include "TransferController.h"

// The JSON parameter-file exchange: the camera posts its file to the host, waits in JSON
// mode until the application hands over a file, then fetches that file and reports its check.
class JsonCtl : public TransferController {
public:
    static constexpr int kWaitLimit = 200;  // about 20 s of polls without progress

    explicit JsonCtl(Timing timing = Timing{kPoll, kWaitLimit});
    ~JsonCtl() override;

    static JsonCtl* GetInstance();
    // Null while none exists; never makes one.
    static JsonCtl* Existing();
    static void Release();

    void SetUpgradeJsonStatusCallback(::UpgradeJsonStatusCallback const& callback, const void* userData,
                                      DeviceCommonProtocol* protocol);
    ::UpgradeJsonStatusCallback GetUpgradeJsonStatusCallback() const { return GetCallback(); }
    // A report; -1 (and a log line) without a callback.
    int UpgradeJsonStatusCallback(int status, int params) { return Report(status, params); }
    // Tells the camera to fetch the file; on success (0) the worker goes on in status 4,
    // otherwise the command's error.
    int SetImgPath(const char* pImgPath, DeviceCommonProtocol* protocol);

    // Copies the file given to SetImgPath to "Android/data/config.json" on each storage
    // device of the list, keeping its length and signed byte sum as the values to send;
    // 0 when every copy reads back the same, else -1.
    int Copy2U();
    // Copies "Android/data/configOrig.json" of the first storage device to "config.json"
    // in the configuration folder, making the folder when missing; 0 or -1.
    int CopyJson2Local();

protected:
    Pass Step(int status, DeviceCommonProtocol& protocol) override;
    int OpenDevice_P() override;
    int ProcessStatus(int status, int params) override;
    int QueryCamera(DeviceCommonProtocol& protocol, CameraState& out) override;
    int SendCamera(DeviceCommonProtocol& protocol, int state, int param1, int param2) override;
    void NoCallback() override;

private:
    Pass KeepAlive(DeviceCommonProtocol& protocol);
    Pass SendChecksum(DeviceCommonProtocol& protocol);
};
