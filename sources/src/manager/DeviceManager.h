#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "BaseDevice.h"
#include "CreateDevice.h"
#include "DeviceInfo.h"
#include "EnumSocketDevice.h"
#include "HeartbeatWorkers.h"
#include "HotplugReporter.h"
#include "LiveDevices.h"
#include "Mutex.h"
#include "StoppableThread.h"
#include "Torvane_api.h"

// Which text of a camera record an open or a lookup compares.
struct RecordKey;

// The kit's list of known cameras. Its thread "DeviceManager" merges what discovery heard,
// reports cameras that appear and disappear and sends heartbeats to opened ones; the API's
// threads query the list and open and close devices.
//
// Locks: the device-list lock guards the records; it is held only while they are read or
// changed, never while a camera is waited for. A pass sends its heartbeats side by side, and
// an open connects and talks to its camera, on devices held through LiveDevices with the lock
// released, and then applies what they found under the lock again. A data connection that a
// device's receive thread finds lost wakes the loop for a pass at once. An open reserves its
// record meanwhile, so that a second open of the same camera waits for the first and the
// pass leaves that record alone. The handle check and the hot-plug callback have short
// locks of their own. Devices are closed and deleted after the list lock is released, so
// that a worker joined there may call back into the kit.
class DeviceManager : public StoppableThread {
public:
    using DeviceFactory = std::function<std::unique_ptr<BaseDevice>(DeviceInfo&)>;

    // The first call creates the manager and, given a flag, stores whether no product
    // profile was found; later calls return it and leave the flag alone.
    static DeviceManager* GetInstance(bool* profileEmpty = nullptr) EXCLUDES(s_instanceLock);
    // Destroys the instance: not from the manager's own thread.
    static void Release() EXCLUDES(s_instanceLock);

    // moduleDir holds "/Config/" and "/Drivers/", by default the kit's own folder. Starts
    // discovery; the manager's own thread is started by Start.
    explicit DeviceManager(const std::string& moduleDir = std::string(), DeviceFactory factory = CreateDevice);
    // Stops both threads, cuts the opens in flight short (they fail), closes and deletes the
    // devices still held, then waits for the hot-plug reports in flight.
    ~DeviceManager() override;

    // Asks the thread to end and wakes its sleep at once; a pass sends no further heartbeat
    // and cuts those under way (the devices are closed next).
    void Stop() EXCLUDES(m_listLock);
    // One pass of the main loop; the pause to take before the next. Not while the thread runs.
    std::chrono::milliseconds RunOnce() EXCLUDES(m_listLock);

    void SetHotPlugStatusCallback(QlHotPlugStatusCallback callback, const void* userData);
    // The transfer record: 0 none, 1 firmware upgrade, 2 JSON transfer. While it is set,
    // opened cameras get no heartbeats and a firmware upgrade reports no cameras; it returns
    // to 0 when the controller's transfer ends.
    void SetUpgradeState(int state) { m_upgradeState->store(state); }
    int GetUpgradeState() const { return m_upgradeState->load(); }
    uint32_t GetCameraCount() EXCLUDES(m_listLock);
    int GetDeviceInfoList(QlDeviceInfo* list, uint32_t count) EXCLUDES(m_listLock);
    int GetDeviceInfo(QlDeviceInfo* info, uint32_t index) EXCLUDES(m_listLock);
    bool checkOpenedByURI(const char* uri) EXCLUDES(m_listLock);
    bool checkOpenedByAlias(const char* alias) EXCLUDES(m_listLock);
    // The device, with status 0, or null with the failure; the caller presets status to 0.
    BaseDevice* OpenDeviceByIP(const char* ip, int& status) EXCLUDES(m_listLock);
    BaseDevice* OpenDeviceByURI(const char* uri, int& status) EXCLUDES(m_listLock);
    BaseDevice* OpenDeviceByAlias(const char* alias, int& status) EXCLUDES(m_listLock);
    // Unlinks the device from its record, then closes and deletes it.
    void ReleaseDevice(BaseDevice* device) EXCLUDES(m_listLock);
    // Whether a record holds the device.
    bool CheckDevicePtrVaild(const BaseDevice* device) const;
    // The device while a record holds it; holding the result keeps it alive through a call
    // that a release on another thread overlaps.
    std::shared_ptr<BaseDevice> AcquireDevice(const BaseDevice* device) const;
    // The keys "Py_IPNotMatchByURI", "Py_IPNotMatchBySN" and "Py_IPNotMatchByIP": data holds
    // the text to look for and room for the camera's and the host's address after it.
    int GetProperty(const char* key, void* data, int dataSize) EXCLUDES(m_listLock);

    bool IsProductProfileEmpty() const { return m_discovery.IsProductProfileEmpty(); }
    EnumSocketDevice& Discovery() { return m_discovery; }

protected:
    void Run() override;

private:
    struct Report {
        QlDeviceInfo info;
        MessageType message;
    };
    // A heartbeat sent with the list lock released; its record is found again by address
    // (records never move) and takes the answer only while it still holds this device.
    struct Heartbeat {
        DeviceInfo* record;
        std::shared_ptr<BaseDevice> device;
        bool sent = false;
        int result = 0;
    };
    // What a pass found to do once the list lock is released.
    struct PassResult {
        std::vector<std::shared_ptr<BaseDevice>> toClose;
        std::vector<Report> reports;
        std::vector<Heartbeat> heartbeats;
        bool heartbeatFailed = false;
        // Cameras the transfer controllers wait for were heard; told after the list lock,
        // which a worker's callback into the kit may be waiting for.
        bool firmwareCameraSeen = false;
        bool jsonCameraSeen = false;
    };

    BaseDevice* OpenDevice(const RecordKey& key, const char* text, int& status) EXCLUDES(m_listLock);
    // Enters with the list lock held, leaves with it released: opens the record's device (or
    // builds one) with the record reserved and the lock released meanwhile.
    BaseDevice* OpenRecord(UniqueLock& lock, DeviceInfo& record, const RecordKey& key, int& status) RELEASE(m_listLock);
    // Under the list lock, once the device is open: the record takes it unless the camera
    // left, the device `before` was released or the manager is going (status -1, null).
    BaseDevice* KeepOpen(DeviceInfo& record, const BaseDevice* before, const std::shared_ptr<BaseDevice>& opened,
                         int& status) REQUIRES(m_listLock);
    // Without the list lock.
    static bool Reopen(BaseDevice& device, int& status);
    std::shared_ptr<BaseDevice> CreateAndOpen(DeviceInfo& snapshot, const RecordKey& key, int& status)
        EXCLUDES(m_listLock);
    // Opens the device, which the manager's end may cut short meanwhile.
    int OpenCuttable(BaseDevice& device, const std::function<int()>& open) EXCLUDES(m_listLock);
    bool CheckOpenedBy(const RecordKey& key, const char* text) EXCLUDES(m_listLock);
    // Under the list lock: waits while an open of a record that the text names is in flight.
    void WaitForOpens(UniqueLock& lock, const RecordKey& key, const char* text) REQUIRES(m_listLock);
    bool Reserved(const DeviceInfo& record) const REQUIRES(m_listLock);
    void Unreserve(const DeviceInfo& record) REQUIRES(m_listLock);
    void Visit(DeviceInfo& record, PassResult& pass) REQUIRES(m_listLock);
    void TellRemoved(DeviceInfo& record, PassResult& pass) REQUIRES(m_listLock);
    static bool Listed(const DeviceInfo& record);
    // Side by side; none begins once the thread is asked to end.
    void SendHeartbeats(PassResult& pass) EXCLUDES(m_listLock);
    void ApplyHeartbeats(PassResult& pass) REQUIRES(m_listLock);

    // Read without a lock; set until the instance's destruction has ended.
    static std::atomic<DeviceManager*> g_PtrDeviceManager;
    static std::unique_ptr<DeviceManager> s_instance GUARDED_BY(s_instanceLock);
    static Mutex s_instanceLock;

    const DeviceFactory m_factory;
    // Shared with the controllers' end-of-transfer hooks, which may outlive the manager.
    const std::shared_ptr<std::atomic<int>> m_upgradeState = std::make_shared<std::atomic<int>>(0);
    // The records are the list lock's too; the analysis sees only the vector.
    std::vector<std::unique_ptr<DeviceInfo>> m_list GUARDED_BY(m_listLock);  // in creation order; never shrinks
    EnumSocketDevice m_discovery;
    Mutex m_listLock;
    // The records an open is talking to the camera for, the opens and opened-checks under
    // way, and whether the manager is going (opens then fail).
    class Caller;
    std::vector<const DeviceInfo*> m_opening GUARDED_BY(m_listLock);
    std::vector<BaseDevice*> m_openingDevices GUARDED_BY(m_listLock);
    std::vector<BaseDevice*> m_heartbeatsOut GUARDED_BY(m_listLock);  // the devices a pass waits for, held by the pass
    int m_callers GUARDED_BY(m_listLock) = 0;
    bool m_closing GUARDED_BY(m_listLock) = false;
    std::condition_variable m_openEnded;
    std::atomic<bool> m_stopping{false};
    LiveDevices m_devices;
    HotplugReporter m_reporter;
    HeartbeatWorkers m_heartbeatWorkers;
    // The loop's sleep between passes; a lost data link ends it early. Shared with the
    // devices' hooks, which may be called while the manager goes.
    struct Waker {
        Mutex lock;
        std::condition_variable wake;
        bool passWanted GUARDED_BY(lock) = false;
        void WantPass() EXCLUDES(lock);
    };
    const std::shared_ptr<Waker> m_waker = std::make_shared<Waker>();
};
