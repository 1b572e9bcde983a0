#pragma once
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "CommandRecords.h"
#include "CommonControl.h"
#include "ConfirmedSets.h"
#include "IO.h"
#include "LinkTiming.h"

// The host's command set of one camera, and the command interface its plug-ins borrow.
// It owns the camera's transport. It takes no lock of its own: the transport lets one
// command and its reply through at a time.
class DeviceCommonProtocol : public CommonControl {
public:
    explicit DeviceCommonProtocol(std::unique_ptr<IO> io, linktiming::SleepFunction sleep = linktiming::SleepFor);
    ~DeviceCommonProtocol() override;
    DeviceCommonProtocol(const DeviceCommonProtocol&) = delete;
    DeviceCommonProtocol& operator=(const DeviceCommonProtocol&) = delete;

    // CommonControl.
    int SetCmd(int cmd, char* buf, int bufSize, unsigned char len, int cmdType) override;
    const char* GetHostIP() override;
    const char* GetDeviceSN() override;
    int SetStreamState(bool on) override;
    virtual int GetStreamState(bool& state);

    // Transport.
    int SetOpenState(bool open);
    int ReadData(unsigned char* buf, int capacity, int* len);
    // Wakes a reader blocked on the data connection; the sockets stay until the close.
    void Shutdown();
    // The camera closed or reset the data connection since the last open.
    bool DataLinkLost() const;
    // Called on the receive thread as such a loss is found; set before the device opens.
    void SetDataLinkLostHook(std::function<void()> hook);
    // Some command that reads a reply got the camera's answer since the last open.
    bool AnsweredSinceOpen() const { return m_answered; }

    int HeartbeatCheck();
    int GetWorkMode(int* mode);
    int SetWorkMode(int mode);
    int SetSoftwareSlaveTrigger();
    int GetFrameRate(int* fps);
    int SetFrameRate(int fps);

    int GetCameraIntrinsic(SensorType type, double* K);
    int SetCameraIntrinsic(SensorType type, const double* K);
    int GetCameraDistortion(SensorType type, double* D);
    int SetCameraDistortion(SensorType type, const double* D);
    int GetCameraRotation(double* R);
    int SetCameraRotation(const double* R);
    int GetCameraTranslation(double* T);
    int SetCameraTransfer(const double* T);

    // Identity and network texts: `len` is the caller's buffer size; a text read back is
    // always NUL-terminated within it.
    int GetFirmwareVersion(char* ver, int len);
    int GetHWVer(char* ver, int len);
    int GetSensorSN(char* sn, int len);
    int SetSN(char* sn, int len);
    int GetDeviceSN(char* sn, int len);
    int SetDeviceSN(char* sn, int len);
    int GetMACAddress(char* mac, int len);
    int SetMACAddress(const char* mac, int length);
    int GetDeviceIPAddr(char* ip, int len);
    int SetDeviceIPAddr(const char* ip, int len);
    int GetSubnetMask(char* mask, int len);
    int SetSubnetMask(const char* mask, int len);
    int GetDHCPState(unsigned char& on);
    int SetDHCPState(unsigned char on);

    int Reboot();
    int GetFactoryMode(FactoryMode* fm);
    int SetFactoryMode(const FactoryMode& fm);
    int GetMCUParameters(MCUParameters* p);
    int SetMCUParameters(const MCUParameters& p);

    // File transfers: the camera fetches from, or posts to, the library's HTTP server.
    int StartUpgradeFirmWare(const char* imgPath);
    int SetUpgradeState(const UpgradeState& s);
    int GetUpgradeState(UpgradeState& s);
    int SetToJsonMode_P();
    int SetJsonPath_P(const char* path);
    int SetJsonState(const JsonState& s);
    int GetJsonState(JsonState& s);

    // Every occurrence of `from` in `str` replaced by `to`, scanning on after each
    // inserted text; an empty `from` leaves the text as it is.
    static std::string customreplace_(std::string str, const std::string& from, const std::string& to);

private:
    // Sends a command and logs "ret:%d is failed." when the exchange fails.
    int Command(int cmd, void* buf, int bufSize, int len, CMDTYPE type);
    // The exchange alone, for read-backs that log their own failure line. Every command,
    // the plug-ins' included, goes through it.
    int Exchange(int cmd, void* buf, int bufSize, int len, CMDTYPE type);
    // The work mode takes longer to settle; a failed read also gets the mismatch line.
    static constexpr ConfirmRule kWorkModeConfirm{linktiming::kWorkModeReads, linktiming::kWorkModePause, true};

    int QueryStreamState(bool& state);
    int QueryInt8(int cmd, int* value);
    // A calibration value set goes in one or two parts, each behind its own sub-id.
    struct DoubleParts {
        int first;
        int second;
        constexpr int Total() const { return first + second; }
    };
    static constexpr DoubleParts kMatrixParts{4, 5};       // 3x3 doubles in payloads of 33 and 41 bytes
    static constexpr DoubleParts kDistortionParts{4, 4};   // 8 coefficients
    static constexpr DoubleParts kTranslationParts{3, 0};  // 3 doubles, one part
    static constexpr int kMostDoubles = 5;                 // in one part: 41 bytes with the sub-id
    static constexpr int kMostValues = 2 * kMostDoubles;   // in a whole value set
    int QueryDoubles(uint8_t firstSub, double* out, DoubleParts parts);
    int SendDoubles(uint8_t firstSub, const double* values, DoubleParts parts);
    // Sends a value set and reads it back into `got` until it matches.
    Confirmation SetDoubles(uint8_t firstSub, const double* values, DoubleParts parts, double* got);
    // A value set each sensor has, behind a sub-id of its own, and the word its lines name it by.
    struct SensorDoubles {
        uint8_t tofSub;
        uint8_t colorSub;
        DoubleParts parts;
        const char* name;
    };
    static const SensorDoubles kIntrinsic;
    static const SensorDoubles kDistortion;
    // The lines are written under `operation`. A set that went out and was not confirmed gives -1.
    int GetSensorDoubles(const SensorDoubles& item, SensorType type, double* out, const char* operation);
    int SetSensorDoubles(const SensorDoubles& item, SensorType type, const double* values, const char* operation);
    bool ValidSensor(SensorType type);
    int FetchText(int cmd, uint8_t sub, int count, std::vector<char>& reply);
    int QueryText(int cmd, uint8_t sub, char* out, int capacity, int count);
    int GetText(int cmd, uint8_t sub, char* out, int len);
    int SendText(int cmd, uint8_t sub, const char* text, int len);
    // A text set: the `len` bytes of `text` behind `sub`, read back behind `getSub` (`count`
    // bytes asked for) into `got` until it reads `want`.
    struct TextSet {
        int cmd;
        uint8_t sub;
        uint8_t getSub;
        int count;
    };
    Confirmation SetText(const TextSet& set, const char* text, int len, const std::string& want, char* got,
                         int capacity);
    int QueryFactoryMode(FactoryMode& fm);
    int QueryMCUParameters(MCUParameters& p);
    int SendTransferFile(uint8_t kind, uint8_t step, const std::string& name);
    // A transfer's state record (UpgradeState or JsonState): sent as the state byte and two
    // int32 parameters; reported as three bytes from reply byte `at`.
    template <typename Record>
    int SendTransferState(uint8_t kind, const Record& s);
    template <typename Record>
    int QueryTransferState(uint8_t kind, uint8_t step, size_t at, Record& s);
    // Restarts the HTTP server on the host address that faces the camera; -22 when it fails.
    int RestartServer();

    std::unique_ptr<IO> m_pIO;
    linktiming::SleepFunction m_sleep;
    // Every failed confirmation, a failed read included, gets the caller's mismatch line.
    const ConfirmedSets<DeviceCommonProtocol> m_sets{*this, &DeviceCommonProtocol::Command, kReadBackRule, m_sleep};
    std::atomic<bool> m_answered{false};
};
