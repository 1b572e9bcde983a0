#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "TransferController.h"

// The JSON parameter-file exchange: the camera posts its file to the host, waits in JSON
// mode until the application hands over a file, then fetches that file and reports its check.
class JsonCtl : public TransferController {
public:
    static constexpr int kWaitLimit = 200;

    explicit JsonCtl(Timing timing = Timing{std::chrono::milliseconds(100), kWaitLimit});
    ~JsonCtl() override;

    static JsonCtl* GetInstance();
    static void Release();

    void SetUpgradeJsonStatusCallback(::UpgradeJsonStatusCallback const& callback, const void* userData,
                                      DeviceCommonProtocol* protocol);
    ::UpgradeJsonStatusCallback GetUpgradeJsonStatusCallback() const { return GetCallback(); }
    // A report; -1 (and a log line) without a callback.
    int UpgradeJsonStatusCallback(int status, int params) { return Report(status, params); }
    // Tells the camera to fetch the file; on success the worker goes on in status 4.
    void SetImgPath(const char* pImgPath, DeviceCommonProtocol* protocol);

    uint32_t GetimgChecksum() const { return m_imgChecksum; }
    uint32_t GetimgFileLen() const { return m_imgFileLen; }

protected:
    Pass Step(int status, DeviceCommonProtocol& protocol) override;
    int OpenDevice_P() override;
    int ProcessStatus(int status, int params) override;
    int QueryCamera(DeviceCommonProtocol& protocol, CameraState& out) override;
    int SendCamera(DeviceCommonProtocol& protocol, int state, int param1, int param2) override;
    void NoCallback() override;

private:
    Pass Reconnecting();
    Pass KeepAlive(DeviceCommonProtocol& protocol);
    Pass SendChecksum(DeviceCommonProtocol& protocol);
    std::string ImgPath();

    static std::mutex s_instanceLock;
    static JsonCtl* g_JsonCtl;

    std::atomic<uint32_t> m_imgFileLen{0};
    std::atomic<uint32_t> m_imgChecksum{0};
    std::mutex m_pathLock;
    std::string m_imgPath;
};
