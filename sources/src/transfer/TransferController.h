#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "Mutex.h"
#include "StoppableThread.h"
#include "UsbStorageList.h"

class DeviceCommonProtocol;

// The application's transfer report: a step and its parameter (-1 a failure).
typedef void (*UpgradeStatusCallback)(int status, int params, void* userData);
typedef void (*UpgradeJsonStatusCallback)(int status, int params, void* userData);

// What the firmware-upgrade and JSON-transfer controllers share: the borrowed command set,
// the status and its start rules, the application's callback, the reconnect, the polls of
// the camera's transfer state, the reboot that ends a transfer, and the stop paths.
class TransferController : public StoppableThread {
public:
    // The camera's transfer state is polled about ten times a second.
    static constexpr std::chrono::milliseconds kPoll{100};
    struct Timing {
        std::chrono::milliseconds poll{kPoll};  // between two polls of the camera
        int waitLimit = 0;                      // consecutive polls without progress before the time-out
    };
    // How a controller follows the camera's states.
    struct Following {
        int offset;        // the status while the camera is in state c is c + offset
        int doneState;     // the camera state that ends the transfer
        const char* name;  // of the lines "<name>Doing percent:%d%", "<name> OK." and "<name> NG."
    };
    using Callback = void (*)(int status, int params, void* userData);

    ~TransferController() override;

    // Moves the status; 1 (a new transfer) replaces any worker of the last one and starts a
    // worker at once when the camera has already been detected.
    void SetStatus(int status);
    int Status() const { return m_Status.load(std::memory_order_acquire); }
    // The camera has been seen; starts the worker in status 1. Always 0.
    int SetDetectParams_P() EXCLUDES(m_startLock);
    // Ends a transfer: stops the HTTP server, empties the storage-device list, reboots and
    // disconnects the camera, status 0.
    void RebootAndrm();

    // The length and checksum sent to the camera.
    uint32_t GetimgChecksum() const { return m_imgChecksum; }
    void SetImgChecksum(int checksum) { m_imgChecksum = static_cast<uint32_t>(checksum); }
    uint32_t GetimgFileLen() const { return m_imgFileLen; }
    void SetImgFileLen(int length) { m_imgFileLen = static_cast<uint32_t>(length); }

    // The USB storage devices this controller copies to (see UsbStorageList).
    void GetUSBStorageDeviceList(bool snapshot) { m_usbStorage.GetUSBStorageDeviceList(snapshot); }
    bool IsDirectoryVecExist(std::vector<std::string>& list) { return UsbStorageList::IsDirectoryVecExist(list); }

    // The device that owns `protocol` is going: the worker is stopped and joined first, and
    // a transfer still running ends with the report (status, -1). Any other command set
    // leaves the controller alone.
    void Detach(DeviceCommonProtocol* protocol) EXCLUDES(m_startLock);
    // Shut-down: the worker is stopped and joined; a camera whose transfer is still running
    // is rebooted. The command set is dropped: nothing of the kit is used afterwards.
    void Shutdown() EXCLUDES(m_startLock);
    // `begun` runs when a transfer starts (status 1), `ended` once when it ends, whatever the
    // outcome, before the application hears a final report that the controller makes itself.
    // Neither may call into the controller.
    void SetTransferHooks(std::function<void()> begun, std::function<void()> ended) EXCLUDES(m_lock);
    // Frees the controller: at once, or at its worker's end when called from its own worker
    // (a callback that shuts the kit down).
    void Dispose();

protected:
    // The camera's report of its transfer state, one byte each on the wire.
    struct CameraState {
        int state = 0;
        int param1 = 0;
        int param2 = 0;
    };
    enum class Pass { Next, Sleep, End };

    // `detectedText`: the log line of each detection the main loop reports.
    TransferController(const char* threadName, const char* detectedText, Timing timing, Following following);

    void SetCallback(Callback callback, const void* userData) EXCLUDES(m_lock);
    Callback GetCallback() const EXCLUDES(m_lock);
    void SetProtocol(DeviceCommonProtocol* protocol) EXCLUDES(m_lock);
    // Null once detached.
    DeviceCommonProtocol* Protocol() const EXCLUDES(m_lock);
    // Camera tag for log lines.
    std::string Tag() const;
    // Calls the callback outside the lock; -1 (and NoCallback) when none is set. Nothing
    // from a worker that was told to stop.
    int Report(int status, int params);
    virtual void NoCallback() {}

    // One pass of the worker in `status`.
    virtual Pass Step(int status, DeviceCommonProtocol& protocol) = 0;
    virtual int OpenDevice_P() = 0;
    virtual int ProcessStatus(int status, int params) = 0;
    virtual int QueryCamera(DeviceCommonProtocol& protocol, CameraState& out) = 0;
    virtual int SendCamera(DeviceCommonProtocol& protocol, int state, int param1, int param2) = 0;

    // The state commands of the two transfers carry records of the same shape.
    template <typename Protocol, typename Record>
    static int QueryWith(Protocol& protocol, int (Protocol::*get)(Record&), CameraState& out) {
        Record record{};
        const int ret = (protocol.*get)(record);
        if (ret == 0) out = CameraState{record.state, record.param1, record.param2};
        return ret;
    }
    template <typename Protocol, typename Record>
    static int SendWith(Protocol& protocol, int (Protocol::*set)(const Record&), int state, int param1, int param2) {
        return (protocol.*set)(Record{state, param1, param2});
    }

    // Up to three reconnects with a poll between them, the poll count cleared before and
    // after; false after a stop, or after the third failure, reported as (2, -1).
    bool Reconnect();
    // A poll of a camera that is to report state 0 with parameter 1; true when it did.
    bool CameraReady(DeviceCommonProtocol& protocol, bool reopenOnFailure);
    // True in the statuses that follow the camera, from its check to its last state.
    bool FollowsCamera(int status) const;
    // Follows the camera's state; ends on a final step.
    Pass FollowCamera(DeviceCommonProtocol& protocol);
    // The followed states both transfers know, for `state` in `status`: the check, the
    // progress and the last state; any other ends the transfer without a reboot.
    int CommonStep(int status, int state, int params);
    // "Go on" after a passed check, reported as (reportStatus, 1); a failed send ends the
    // transfer with a reboot and (reportStatus, -1).
    int GoOn(int reportStatus);
    // A camera-reported failure: reboot, then (reportStatus, params or -1); -1.
    int FailWithReboot(int reportStatus, int params);
    // The same with the line "status:%d params:%d" first.
    int FailedStep(int status, int params, int reportStatus);
    // A failure before the camera follows: log, reboot, (4, -1).
    void AbortWithReboot(const char* what);
    // Sends the file's checksum and length; false after a failed send, which ends the
    // transfer with a reboot.
    bool SendFileSums(DeviceCommonProtocol& protocol);
    void ResetWaitCount() { m_waitCount = 0; }
    // False when a stop request ended the wait.
    bool Sleep() EXCLUDES(m_lock);
    bool StopRequested() const { return m_stop.load(); }
    // For the subclasses' destructors: no pass may run once their members are gone.
    void StopAndJoin();
    // Before the application hands over a new transfer: the worker of the last one goes
    // first, so that it never acts with the new command set, callback or file.
    void StopForHandOver() EXCLUDES(m_startLock);
    // True when `protocol` may take part: no transfer runs, or it runs with this command set.
    bool Serves(const DeviceCommonProtocol* protocol) const EXCLUDES(m_lock);

    void StoreImgPath(const std::string& path) EXCLUDES(m_lock);
    std::string ImgPath() const EXCLUDES(m_lock);
    std::vector<std::string> UsbStorageDevices() const { return m_usbStorage.Entries(); }

    std::atomic<uint32_t> m_imgFileLen{0};
    std::atomic<uint32_t> m_imgChecksum{0};

private:
    void Run() final;
    Pass TimeOut();
    void StopWorker() EXCLUDES(m_lock);
    void StartWorker();
    bool OnWorkerThread() const;
    // Marks the transfer ended and runs the hook; false when none was running.
    bool EndTransfer();
    // On the worker: a transfer whose command set went away ends with (status, -1).
    void EndDetached();
    void EndForShutdown();
    // Report without the stop rule.
    int Deliver(int status, int params) EXCLUDES(m_lock);
    std::function<void()> Hook(std::function<void()> TransferController::*which) EXCLUDES(m_lock);

    // The camera's last state: reboot, then the final report.
    int Finish(int params);

    const char* const m_detectedText;
    const Timing m_timing;
    const Following m_following;
    std::atomic<int> m_Status{0};
    std::atomic<bool> m_detectPending{false};
    std::atomic<bool> m_active{false};   // a transfer is set up and has not ended
    std::atomic<bool> m_restart{false};  // the worker's own callback started a new transfer
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_disposeAtEnd{false};
    std::atomic<std::thread::id> m_workerId{};
    int m_waitCount = 0;  // worker only
    CameraState m_last;   // worker only

    // Serialises the start and stop decisions of other threads; it guards a sequence of steps,
    // no member.
    Mutex m_startLock;
    mutable Mutex m_lock;
    std::condition_variable m_wake;
    DeviceCommonProtocol* m_pProtocol GUARDED_BY(m_lock) = nullptr;  // borrowed from its device
    Callback m_pCallback GUARDED_BY(m_lock) = nullptr;
    void* m_pUserData GUARDED_BY(m_lock) = nullptr;
    std::function<void()> m_begunHook GUARDED_BY(m_lock);
    std::function<void()> m_endedHook GUARDED_BY(m_lock);
    std::string m_imgPath GUARDED_BY(m_lock);

    UsbStorageList m_usbStorage;
};

// The process-wide controller of one kind: made on first use, freed at shut-down.
template <typename Controller>
class TransferInstance {
public:
    static Controller* Get() EXCLUDES(s_lock) {
        LockGuard guard(s_lock);
        if (s_instance == nullptr) s_instance = new Controller();
        return s_instance;
    }
    // Null when none was made or it was released.
    static Controller* Existing() EXCLUDES(s_lock) {
        LockGuard guard(s_lock);
        return s_instance;
    }
    static void Release() EXCLUDES(s_lock) {
        Controller* going = Existing();
        if (going == nullptr) return;
        // Still reachable while its worker stops: a callback into the kit may look it up.
        going->Shutdown();
        {
            LockGuard guard(s_lock);
            s_instance = nullptr;
        }
        going->Dispose();
    }

private:
    static inline Mutex s_lock;
    static inline Controller* s_instance GUARDED_BY(s_lock) = nullptr;
};
