#include "DeviceManager.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "JsonCtl.h"
#include "ManagerTiming.h"
#include "PropertyKeys.h"
#include "PublicDeviceInfo.h"
#include "StatusCodes.h"
#include "TransferRecord.h"
#include "Upgrade.h"
#include "log.h"

namespace {

struct FieldText {
    const char* text;
    size_t width;
};

template <size_t N>
FieldText Field(const char (&field)[N]) {
    return {field, N};
}

constexpr int kAddressWidth = 16;  // "255.255.255.255" and its terminating zero

using transferrecord::kFirmware;
using transferrecord::kJson;
using transferrecord::kNone;

}  // namespace

struct RecordKey {
    const char* name;          // in log lines
    const char* notFoundName;  // in the line of a failed lookup
    FieldText (*field)(const DeviceInfo&);
    bool logsOpenFailure;

    // A text that does not fit the field never matches.
    bool Matches(const DeviceInfo& record, const char* text) const {
        const FieldText f = field(record);
        return strnlen(text, f.width) < f.width && std::strncmp(f.text, text, f.width) == 0;
    }
};

namespace {

const RecordKey kByIP{"ip", "ip", [](const DeviceInfo& r) { return Field(r.ip); }, false};
const RecordKey kByURI{"uri", "rui", [](const DeviceInfo& r) { return Field(r.uri); }, true};
const RecordKey kByAlias{"alias", "alias", [](const DeviceInfo& r) { return Field(r.alias); }, true};
const RecordKey kBySerialNumber{"sn", "sn", [](const DeviceInfo& r) { return Field(r.serialNumber); }, false};

const std::map<propertykeys::Id, const RecordKey*> PropertyMap = {
    {propertykeys::Id::IPNotMatchByURI, &kByURI},
    {propertykeys::Id::IPNotMatchBySN, &kBySerialNumber},
    {propertykeys::Id::IPNotMatchByIP, &kByIP},
};
// The camera's and the host's address follow the text.
static_assert(propertykeys::Of(propertykeys::Id::IPNotMatchByURI).size == 2 * kAddressWidth &&
                  propertykeys::Of(propertykeys::Id::IPNotMatchBySN).size == 2 * kAddressWidth &&
                  propertykeys::Of(propertykeys::Id::IPNotMatchByIP).size == 2 * kAddressWidth,
              "two addresses");

}  // namespace

// Counts an open or an opened-check while it runs, so that the manager's end waits for it to
// leave; its end takes the list lock again when the call returned without it.
class DeviceManager::Caller {
public:
    Caller(DeviceManager& manager, UniqueLock& lock) REQUIRES(manager.m_listLock) : m_manager(manager), m_lock(lock) {
        ++m_manager.m_callers;
    }
    // Not analysed: whether the caller's lock is still held is known only at run time.
    ~Caller() NO_THREAD_SAFETY_ANALYSIS {
        if (!m_lock.Native().owns_lock()) m_lock.lock();
        --m_manager.m_callers;
        m_manager.m_openEnded.notify_all();
    }
    Caller(const Caller&) = delete;
    Caller& operator=(const Caller&) = delete;

private:
    DeviceManager& m_manager;
    UniqueLock& m_lock;
};

std::atomic<DeviceManager*> DeviceManager::g_PtrDeviceManager{nullptr};
std::unique_ptr<DeviceManager> DeviceManager::s_instance;
Mutex DeviceManager::s_instanceLock;

DeviceManager* DeviceManager::GetInstance(bool* profileEmpty) {
    DeviceManager* manager = g_PtrDeviceManager.load();
    if (manager != nullptr) return manager;
    LockGuard lock(s_instanceLock);
    if (!s_instance) {
        s_instance = std::make_unique<DeviceManager>();
        if (profileEmpty != nullptr) *profileEmpty = s_instance->IsProductProfileEmpty();
        g_PtrDeviceManager = s_instance.get();
    }
    return s_instance.get();
}

void DeviceManager::Release() {
    LockGuard lock(s_instanceLock);
    // The instance stays reachable while it goes: a hot-plug report that its destructor
    // waits for may still call into it.
    s_instance.reset();
    g_PtrDeviceManager = nullptr;
}

DeviceManager::DeviceManager(const std::string& moduleDir, DeviceFactory factory)
    : StoppableThread("DeviceManager"), m_factory(std::move(factory)), m_discovery(moduleDir) {
    // The controllers keep the record: a transfer is recorded as it starts, and its end
    // clears only its own kind, so that a transfer of the other kind started since is kept.
    const std::shared_ptr<std::atomic<int>> state = m_upgradeState;
    const auto recording = [state](int kind) { return [state, kind] { state->store(kind); }; };
    const auto clearing = [state](int kind) {
        return [state, kind] {
            int expected = kind;
            state->compare_exchange_strong(expected, kNone);
        };
    };
    Upgrade::GetInstance()->SetTransferHooks(recording(kFirmware), clearing(kFirmware));
    JsonCtl::GetInstance()->SetTransferHooks(recording(kJson), clearing(kJson));
    m_discovery.Start();
}

DeviceManager::~DeviceManager() {
    Stop();
    Join();
    m_discovery.Stop();
    m_discovery.Join();
    std::vector<std::shared_ptr<BaseDevice>> devices;
    {
        UniqueLock lock(m_listLock);
        // No open starts any more; one in flight is cut short, fails and closes what it
        // built. Cut again until it has ended: its device may not have begun to connect yet.
        m_closing = true;
        if (m_callers > 0) LOG_PRINTF("waiting for %d opens", m_callers);
        while (m_callers > 0) {
            for (BaseDevice* device : m_openingDevices) device->GetCommonProtocol()->Shutdown();
            m_openEnded.wait_for(lock.Native(), managertiming::kOpenCutRepeat);
        }
        for (auto& record : m_list) record->device = nullptr;
        devices = m_devices.RemoveAll();
    }
    for (auto& device : devices) device->Close();
    devices.clear();
    m_reporter.WaitIdle();
}

void DeviceManager::Stop() {
    m_stopping = true;
    StoppableThread::Stop();
    m_heartbeatWorkers.Stop();
    {
        // The devices go next: a heartbeat still waiting for its camera is cut, not waited out.
        // Not while a transfer is recorded: its controller still reboots the camera at the end.
        LockGuard lock(m_listLock);
        if (GetUpgradeState() == 0) {
            for (BaseDevice* device : m_heartbeatsOut) device->GetCommonProtocol()->Shutdown();
        }
    }
    { LockGuard lock(m_waker->lock); }
    m_waker->wake.notify_all();
}

void DeviceManager::Waker::WantPass() {
    {
        LockGuard guard(lock);
        passWanted = true;
    }
    wake.notify_all();
}

void DeviceManager::Run() {
    while (IsRunning()) {
        const std::chrono::milliseconds pause = RunOnce();
        UniqueLock lock(m_waker->lock);
        m_waker->wake.wait_for(lock.Native(), pause,
                               [this]() REQUIRES(m_waker->lock) { return !IsRunning() || m_waker->passWanted; });
    }
}

std::chrono::milliseconds DeviceManager::RunOnce() {
    {
        // A loss found from here on asks for the pass after this one.
        LockGuard lock(m_waker->lock);
        m_waker->passWanted = false;
    }
    PassResult pass;
    {
        LockGuard lock(m_listLock);
        m_discovery.UpdateDeviceListInfo(m_list);
        // A record that an open is talking to the camera for is left to that open.
        for (auto& record : m_list) {
            if (!Reserved(*record)) Visit(*record, pass);
        }
    }
    if (pass.firmwareCameraSeen) Upgrade::GetInstance()->SetDetectParams_P();
    if (pass.jsonCameraSeen) JsonCtl::GetInstance()->SetDetectParams_P();
    for (auto& device : pass.toClose) device->Close();
    pass.toClose.clear();
    for (const Report& report : pass.reports) m_reporter.Report(report.info, report.message);
    SendHeartbeats(pass);
    {
        LockGuard lock(m_listLock);
        ApplyHeartbeats(pass);
    }
    // A device released while its heartbeat was out goes here, outside the list lock.
    pass.heartbeats.clear();
    return pass.heartbeatFailed ? managertiming::kAfterFailedHeartbeat : managertiming::kBetweenPasses;
}

void DeviceManager::SendHeartbeats(PassResult& pass) {
    // Each waits at most one reply time-out, all at once, so a stop is noticed within that.
    std::vector<std::function<void()>> jobs;
    jobs.reserve(pass.heartbeats.size());
    {
        LockGuard lock(m_listLock);
        for (Heartbeat& beat : pass.heartbeats) {
            m_heartbeatsOut.push_back(beat.device.get());
            jobs.push_back([this, &beat] {
                if (m_stopping) return;
                beat.result = beat.device->HeartbeatCheck();
                beat.sent = true;
            });
        }
    }
    m_heartbeatWorkers.RunAll(std::move(jobs));
    LockGuard lock(m_listLock);
    m_heartbeatsOut.clear();
}

void DeviceManager::ApplyHeartbeats(PassResult& pass) {
    // A heartbeat that the manager's end cut says nothing about its camera.
    if (m_stopping) return;
    for (const Heartbeat& beat : pass.heartbeats) {
        DeviceInfo& record = *beat.record;
        // Released (and maybe opened anew) meanwhile, or handed to a transfer: the answer is
        // about a device that the record no longer watches. The hand-over is read before the
        // record, which the hand-over writes before it ends.
        if (!beat.sent || record.device != beat.device.get() || record.status != QlDeviceOpened ||
            beat.device->HandingOver() || m_upgradeState->load() != kNone) {
            continue;
        }
        if (beat.result != 0) {
            ++record.heartBeatMissCount;
            LOG_DEVICE(record.serialNumber, "heartBeatMissCount %d", record.heartBeatMissCount);
            pass.heartbeatFailed = true;
        } else {
            record.heartBeatMissCount = 0;
        }
    }
}

void DeviceManager::TellRemoved(DeviceInfo& record, PassResult& pass) {
    record.device->OnMessage(MessageRemoved);
    pass.reports.push_back({ToQlDeviceInfo(record), MessageRemoved});
}

void DeviceManager::Visit(DeviceInfo& record, PassResult& pass) {
    const char* sn = record.serialNumber;
    const int transfer = m_upgradeState->load();
    switch (record.status) {
        case QlDeviceRemoving:
            if (record.device == nullptr) return;
            LOG_DEVICE(sn, "remove misscount %d", record.missCount);
            record.status = QlDeviceGone;
            record.missCount = 0;
            record.pendingEvent = -1;
            record.reportedEvent = 1;
            // Told, not closed: its frame requests fail with -1 from now on.
            TellRemoved(record, pass);
            return;
        case QlDeviceAvailable:
            if (transfer == kFirmware) {
                // The camera is back from its reboot into the upgrade: no report, the
                // controller goes on.
                pass.firmwareCameraSeen = true;
            } else if (record.pendingEvent == 1 && record.reportedEvent != 1) {
                LOG_DEVICE(sn, " socket need remove first");
                record.status = QlDeviceGone;
                record.pendingEvent = -1;
                record.reportedEvent = 1;
                if (record.device != nullptr) TellRemoved(record, pass);
            } else if (record.pendingEvent == 0 && record.reportedEvent != 0) {
                LOG_DEVICE(sn, " socket add");
                record.pendingEvent = -1;
                record.reportedEvent = 0;
                pass.reports.push_back({ToQlDeviceInfo(record), MessageAdded});
            }
            return;
        case QlDeviceOpened:
            if (transfer != kNone || record.device == nullptr || record.device->HandingOver()) return;
            if (record.heartBeatMissCount > 0 || record.pendingEvent == 1) {
                LOG_DEVICE(sn, "remove");
                record.status = QlDeviceGone;
                record.heartBeatMissCount = 0;
                record.missCount = 0;
                record.pendingEvent = -1;
                record.reportedEvent = 1;
                // Closed once the list lock is released; the record keeps the device until
                // the application closes it.
                if (auto held = m_devices.Acquire(record.device)) pass.toClose.push_back(std::move(held));
                TellRemoved(record, pass);
                return;
            }
            // Sent once the list lock is released.
            if (auto held = m_devices.Acquire(record.device)) pass.heartbeats.push_back({&record, std::move(held)});
            return;
        case QlUpgradeUnconnected:
            LOG_PRINTF("QlUpgradeUnconnected");
            if (transfer == kFirmware) pass.firmwareCameraSeen = true;
            if (transfer == kJson) pass.jsonCameraSeen = true;
            return;
        default: return;
    }
}

bool DeviceManager::Listed(const DeviceInfo& record) {
    return record.status != QlDeviceGone && record.pendingEvent == -1;
}

void DeviceManager::SetHotPlugStatusCallback(QlHotPlugStatusCallback callback, const void* userData) {
    m_reporter.SetCallback(callback, userData);
}

uint32_t DeviceManager::GetCameraCount() {
    LockGuard lock(m_listLock);
    uint32_t count = 0;
    for (const auto& record : m_list) {
        if (Listed(*record)) ++count;
    }
    return count;
}

int DeviceManager::GetDeviceInfoList(QlDeviceInfo* list, uint32_t count) {
    if (list == nullptr) return status::kNullArgument;
    LockGuard lock(m_listLock);
    uint32_t written = 0;
    for (const auto& record : m_list) {
        if (written == count) break;
        if (Listed(*record)) list[written++] = ToQlDeviceInfo(*record);
    }
    return 0;
}

int DeviceManager::GetDeviceInfo(QlDeviceInfo* info, uint32_t index) {
    if (info == nullptr) return status::kNullArgument;
    LockGuard lock(m_listLock);
    if (index >= m_list.size()) {
        LOG_PRINTF("Index %u >= count %zu", index, m_list.size());
        return status::kInvalidParameter;
    }
    uint32_t listed = 0;
    for (const auto& record : m_list) {
        if (!Listed(*record)) continue;
        if (listed == index) {
            *info = ToQlDeviceInfo(*record);
            return 0;
        }
        ++listed;
    }
    LOG_PRINTF("Index %u >= listed %u", index, listed);
    return status::kInvalidParameter;
}

bool DeviceManager::CheckOpenedBy(const RecordKey& key, const char* text) {
    if (text == nullptr) {
        LOG_PRINTF("%s:%s is invalid.", key.name, "(null)");
        return false;
    }
    UniqueLock lock(m_listLock);
    const Caller caller(*this, lock);
    // An open in flight decides first, as if it had held the list.
    WaitForOpens(lock, key, text);
    for (const auto& record : m_list) {
        if (record->status != QlDeviceOpened || !key.Matches(*record, text)) continue;
        LOG_PRINTF("%s:%s is found in the device list.%d %d %d ", key.name, text, QlDeviceOpened, record->pendingEvent,
                   record->reportedEvent);
        return true;
    }
    return false;
}

bool DeviceManager::checkOpenedByURI(const char* uri) { return CheckOpenedBy(kByURI, uri); }
bool DeviceManager::checkOpenedByAlias(const char* alias) { return CheckOpenedBy(kByAlias, alias); }

BaseDevice* DeviceManager::OpenDeviceByIP(const char* ip, int& status) { return OpenDevice(kByIP, ip, status); }
BaseDevice* DeviceManager::OpenDeviceByURI(const char* uri, int& status) { return OpenDevice(kByURI, uri, status); }
BaseDevice* DeviceManager::OpenDeviceByAlias(const char* alias, int& status) {
    return OpenDevice(kByAlias, alias, status);
}

bool DeviceManager::Reserved(const DeviceInfo& record) const {
    return std::find(m_opening.begin(), m_opening.end(), &record) != m_opening.end();
}

void DeviceManager::Unreserve(const DeviceInfo& record) {
    m_opening.erase(std::find(m_opening.begin(), m_opening.end(), &record));
    m_openEnded.notify_all();
}

void DeviceManager::WaitForOpens(UniqueLock& lock, const RecordKey& key, const char* text) {
    // Bounded by the other open's connection and reply waits.
    m_openEnded.wait(lock.Native(), [&]() REQUIRES(m_listLock) {
        return std::none_of(m_opening.begin(), m_opening.end(),
                            [&](const DeviceInfo* record) { return key.Matches(*record, text); });
    });
}

BaseDevice* DeviceManager::OpenDevice(const RecordKey& key, const char* text, int& status) {
    if (text == nullptr) {
        LOG_PRINTF("%s:%s is invalid.", key.name, "(null)");
        status = status::kNullArgument;
        return nullptr;
    }
    UniqueLock lock(m_listLock);
    const Caller caller(*this, lock);
    WaitForOpens(lock, key, text);
    if (m_closing) {
        LOG_PRINTF("%s:%s is not opened: the device list is closing.", key.name, text);
        status = status::kFailed;
        return nullptr;
    }
    bool skipped = false;
    for (auto& owned : m_list) {
        DeviceInfo& record = *owned;
        if (!key.Matches(record, text)) continue;
        if (!record.sameSubnet) {
            LOG_DEVICE(record.serialNumber, "deviceIP:%s, peerIP:%s, subnetMask:%s", record.ip, record.hostIP,
                       record.subnetMask);
            status = status::kOffSubnet;
            return nullptr;
        }
        if (record.status == QlDeviceRemoving || record.status == QlDeviceGone) {
            LOG_DEVICE(record.serialNumber, "status is %d", record.status);
            skipped = true;
            continue;
        }
        if (record.device != nullptr && record.status == QlDeviceOpened) {
            LOG_DEVICE(record.serialNumber, "pDeviceHandle is not null");
            status = 0;
            return record.device;
        }
        return OpenRecord(lock, record, key, status);
    }
    if (skipped) {
        status = status::kFailed;
        return nullptr;
    }
    LOG_PRINTF("%s:%s is not found in the device list.", key.notFoundName, text);
    status = status::kInvalidParameter;
    return nullptr;
}

// Not analysed: it lets go of and retakes the caller's lock, which the analysis cannot follow.
BaseDevice* DeviceManager::OpenRecord(UniqueLock& lock, DeviceInfo& record, const RecordKey& key,
                                      int& status) NO_THREAD_SAFETY_ANALYSIS {
    // Reserved, the record is left to this open while the camera is talked to without the
    // list lock.
    m_opening.push_back(&record);
    BaseDevice* const before = record.device;
    std::shared_ptr<BaseDevice> opened;
    if (before != nullptr) {
        LOG_DEVICE(record.serialNumber, "pDeviceHandle is not null");
        // Held through the exchanges: a release meanwhile unlinks it but does not delete it.
        std::shared_ptr<BaseDevice> held = m_devices.Acquire(before);
        lock.unlock();
        bool reopened = false;
        OpenCuttable(*held, [&] {
            reopened = Reopen(*held, status);
            return status;
        });
        if (reopened) opened = std::move(held);
    } else {
        DeviceInfo snapshot = record;  // the merge may change the record meanwhile
        lock.unlock();
        opened = CreateAndOpen(snapshot, key, status);
    }
    lock.lock();
    BaseDevice* const device = opened ? KeepOpen(record, before, opened, status) : nullptr;
    Unreserve(record);
    lock.unlock();
    // Neither closed nor deleted under the list lock.
    if (opened && device == nullptr) opened->Close();
    return device;
}

BaseDevice* DeviceManager::KeepOpen(DeviceInfo& record, const BaseDevice* before,
                                    const std::shared_ptr<BaseDevice>& opened, int& status) {
    // The camera left, the application closed the device, or the manager began to go,
    // while the device was opened.
    if (m_closing || record.device != before || record.status == QlDeviceRemoving || record.status == QlDeviceGone) {
        LOG_DEVICE(record.serialNumber, "status is %d", record.status);
        status = status::kFailed;
        return nullptr;
    }
    if (before == nullptr) record.device = m_devices.Add(opened);
    record.status = QlDeviceOpened;
    return record.device;
}

bool DeviceManager::Reopen(BaseDevice& device, int& status) {
    // A camera that announced leaving kept its device open; it is closed first, so that
    // the open succeeds on the first try.
    device.Close();
    status = device.Open();
    if (status == 0) return true;
    device.Close();
    return false;
}

std::shared_ptr<BaseDevice> DeviceManager::CreateAndOpen(DeviceInfo& snapshot, const RecordKey& key, int& status) {
    std::unique_ptr<BaseDevice> device = m_factory(snapshot);
    if (!device) {
        LOG_DEVICE(snapshot.serialNumber, "load Drivers error");
        status = status::kPluginFailed;
        return nullptr;
    }
    // A lost data link asks for a pass at once; the hook outlives no manager it could wake.
    device->GetCommonProtocol()->SetDataLinkLostHook([waker = std::weak_ptr<Waker>(m_waker)] {
        if (const std::shared_ptr<Waker> held = waker.lock()) held->WantPass();
    });
    status = OpenCuttable(*device, [&] { return device->Open(); });
    if (status == 0) return device;
    if (key.logsOpenFailure) LOG_DEVICE(snapshot.serialNumber, "open failed");
    return nullptr;
}

int DeviceManager::OpenCuttable(BaseDevice& device, const std::function<int()>& open) {
    {
        LockGuard lock(m_listLock);
        m_openingDevices.push_back(&device);
    }
    const int result = open();
    LockGuard lock(m_listLock);
    m_openingDevices.erase(std::find(m_openingDevices.begin(), m_openingDevices.end(), &device));
    return result;
}

void DeviceManager::ReleaseDevice(BaseDevice* device) {
    if (device == nullptr) return;
    std::shared_ptr<BaseDevice> released;
    {
        LockGuard lock(m_listLock);
        for (auto& record : m_list) {
            if (record->device != device) continue;
            record->device = nullptr;
            record->status = QlDeviceGone;
            released = m_devices.Remove(device);
            break;
        }
    }
    // Outside the list lock: closing joins the device's threads. A call that another thread
    // still makes on it holds it until that call returns; the close has woken its waits.
    if (released) released->Close();
}

bool DeviceManager::CheckDevicePtrVaild(const BaseDevice* device) const { return m_devices.Contains(device); }

std::shared_ptr<BaseDevice> DeviceManager::AcquireDevice(const BaseDevice* device) const {
    return m_devices.Acquire(device);
}

int DeviceManager::GetProperty(const char* key, void* data, int dataSize) {
    const propertykeys::Key* entry = propertykeys::Find(key, propertykeys::Owner::Manager);
    if (entry == nullptr) {
        LOG_PRINTF("pKey:%s is not supported.", key != nullptr ? key : "(null)");
        return status::kInvalidParameter;
    }
    if (data == nullptr) return status::kNullData;
    char* text = static_cast<char*>(data);
    // The text must end within the data: nothing is read beyond it.
    const size_t length = dataSize > 0 ? strnlen(text, static_cast<size_t>(dataSize)) : 0;
    if (dataSize <= 0 || length == static_cast<size_t>(dataSize)) {
        LOG_PRINTF("pKey:%s dataSize:%d is invalid.", key, dataSize);
        return status::kInvalidParameter;
    }
    const RecordKey& field = *PropertyMap.at(entry->id);
    LockGuard lock(m_listLock);
    const DeviceInfo* match = nullptr;
    for (const auto& record : m_list) {
        if (field.Matches(*record, text)) match = record.get();
    }
    if (match == nullptr) {
        LOG_PRINTF("%s:%s is not found in the device list.", field.notFoundName, text);
        return status::kInvalidParameter;
    }
    if (!entry->Fits(dataSize - static_cast<int>(length))) {
        LOG_DEVICE(match->serialNumber, "dataSize:%d is invalid.", dataSize);
        return status::kInvalidParameter;
    }
    std::memcpy(text + length, match->ip, kAddressWidth);
    std::memcpy(text + length + kAddressWidth, match->hostIP, kAddressWidth);
    return 0;
}
