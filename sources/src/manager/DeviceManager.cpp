#include "DeviceManager.h"

#include <cstring>
#include <map>

#include "JsonCtl.h"
#include "ManagerTiming.h"
#include "PublicDeviceInfo.h"
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

constexpr int kAddressWidth = 16;

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

const std::map<std::string, const RecordKey*> PropertyMap = {
    {"Py_IPNotMatchByURI", &kByURI},
    {"Py_IPNotMatchBySN", &kBySerialNumber},
    {"Py_IPNotMatchByIP", &kByIP},
};

}  // namespace

std::atomic<DeviceManager*> DeviceManager::g_PtrDeviceManager{nullptr};
std::unique_ptr<DeviceManager> DeviceManager::s_instance;
std::mutex DeviceManager::s_instanceLock;

DeviceManager* DeviceManager::GetInstance(bool* profileEmpty) {
    DeviceManager* manager = g_PtrDeviceManager.load();
    if (manager != nullptr) return manager;
    std::lock_guard<std::mutex> lock(s_instanceLock);
    if (!s_instance) {
        s_instance = std::make_unique<DeviceManager>();
        if (profileEmpty != nullptr) *profileEmpty = s_instance->IsProductProfileEmpty();
        g_PtrDeviceManager = s_instance.get();
    }
    return s_instance.get();
}

void DeviceManager::Release() {
    std::lock_guard<std::mutex> lock(s_instanceLock);
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
        std::lock_guard<std::mutex> lock(m_listLock);
        for (auto& record : m_list) record->device = nullptr;
        devices = m_devices.RemoveAll();
    }
    for (auto& device : devices) device->Close();
    devices.clear();
    m_reporter.WaitIdle();
}

void DeviceManager::Stop() {
    StoppableThread::Stop();
    { std::lock_guard<std::mutex> lock(m_sleepLock); }
    m_wake.notify_all();
}

void DeviceManager::Run() {
    while (IsRunning()) {
        const std::chrono::milliseconds pause = RunOnce();
        std::unique_lock<std::mutex> lock(m_sleepLock);
        m_wake.wait_for(lock, pause, [this] { return !IsRunning(); });
    }
}

std::chrono::milliseconds DeviceManager::RunOnce() {
    PassResult pass;
    {
        std::lock_guard<std::mutex> lock(m_listLock);
        m_discovery.UpdateDeviceListInfo(m_list);
        for (auto& record : m_list) Visit(*record, pass);
    }
    if (pass.firmwareCameraSeen) Upgrade::GetInstance()->SetDetectParams_P();
    if (pass.jsonCameraSeen) JsonCtl::GetInstance()->SetDetectParams_P();
    for (auto& device : pass.toClose) device->Close();
    pass.toClose.clear();
    for (const Report& report : pass.reports) m_reporter.Report(report.info, report.message);
    return pass.heartbeatFailed ? managertiming::kAfterFailedHeartbeat : managertiming::kBetweenPasses;
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
            if (transfer != kNone || record.device == nullptr) return;
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
            if (record.device->HeartbeatCheck() != 0) {
                ++record.heartBeatMissCount;
                LOG_DEVICE(sn, "heartBeatMissCount %d", record.heartBeatMissCount);
                pass.heartbeatFailed = true;
            } else {
                record.heartBeatMissCount = 0;
            }
            return;
        case QlUpgradeUnconnected:
            LOG_PRINTF("QlUpgradeUnconnected");
            if (transfer == kFirmware) pass.firmwareCameraSeen = true;
            if (transfer == kJson) pass.jsonCameraSeen = true;
            return;
        default:
            return;
    }
}

bool DeviceManager::Listed(const DeviceInfo& record) {
    return record.status != QlDeviceGone && record.pendingEvent == -1;
}

void DeviceManager::SetHotPlugStatusCallback(QlHotPlugStatusCallback callback, const void* userData) {
    m_reporter.SetCallback(callback, userData);
}

uint32_t DeviceManager::GetCameraCount() {
    std::lock_guard<std::mutex> lock(m_listLock);
    uint32_t count = 0;
    for (const auto& record : m_list) {
        if (Listed(*record)) ++count;
    }
    return count;
}

int DeviceManager::GetDeviceInfoList(QlDeviceInfo* list, uint32_t count) {
    if (list == nullptr) return -12;
    std::lock_guard<std::mutex> lock(m_listLock);
    uint32_t written = 0;
    for (const auto& record : m_list) {
        if (written == count) break;
        if (Listed(*record)) list[written++] = ToQlDeviceInfo(*record);
    }
    return 0;
}

int DeviceManager::GetDeviceInfo(QlDeviceInfo* info, uint32_t index) {
    if (info == nullptr) return -12;
    std::lock_guard<std::mutex> lock(m_listLock);
    if (index >= m_list.size()) {
        LOG_PRINTF("Index %u >= count %zu", index, m_list.size());
        return -15;
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
    return -15;
}

bool DeviceManager::CheckOpenedBy(const RecordKey& key, const char* text) {
    if (text == nullptr) {
        LOG_PRINTF("%s:%s is invalid.", key.name, "(null)");
        return false;
    }
    std::lock_guard<std::mutex> lock(m_listLock);
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

BaseDevice* DeviceManager::OpenDevice(const RecordKey& key, const char* text, int& status) {
    if (text == nullptr) {
        LOG_PRINTF("%s:%s is invalid.", key.name, "(null)");
        status = -12;
        return nullptr;
    }
    // A device built for this open that failed to open; declared before the lock, so that
    // it is deleted after the lock is released.
    std::unique_ptr<BaseDevice> failed;
    std::lock_guard<std::mutex> lock(m_listLock);
    bool skipped = false;
    for (auto& owned : m_list) {
        DeviceInfo& record = *owned;
        if (!key.Matches(record, text)) continue;
        if (!record.sameSubnet) {
            LOG_DEVICE(record.serialNumber, "deviceIP:%s, peerIP:%s, subnetMask:%s", record.ip, record.hostIP,
                       record.subnetMask);
            status = -106;
            return nullptr;
        }
        if (record.status == QlDeviceRemoving || record.status == QlDeviceGone) {
            LOG_DEVICE(record.serialNumber, "status is %d", record.status);
            skipped = true;
            continue;
        }
        return record.device != nullptr ? ReopenDevice(record, status) : CreateAndOpen(record, key, status, failed);
    }
    if (skipped) {
        status = -1;
        return nullptr;
    }
    LOG_PRINTF("%s:%s is not found in the device list.", key.notFoundName, text);
    status = -15;
    return nullptr;
}

BaseDevice* DeviceManager::ReopenDevice(DeviceInfo& record, int& status) {
    LOG_DEVICE(record.serialNumber, "pDeviceHandle is not null");
    if (record.status != QlDeviceOpened) {
        // A camera that announced leaving kept its device open; it is closed first, so
        // that the open succeeds on the first try.
        record.device->Close();
        const int ret = record.device->Open();
        if (ret != 0) {
            record.device->Close();
            status = ret;
            return nullptr;
        }
        record.status = QlDeviceOpened;
    }
    status = 0;
    return record.device;
}

BaseDevice* DeviceManager::CreateAndOpen(DeviceInfo& record, const RecordKey& key, int& status,
                                         std::unique_ptr<BaseDevice>& failed) {
    std::unique_ptr<BaseDevice> device = m_factory(record);
    if (!device) {
        LOG_DEVICE(record.serialNumber, "load Drivers error");
        status = -109;
        return nullptr;
    }
    const int ret = device->Open();
    if (ret != 0) {
        if (key.logsOpenFailure) LOG_DEVICE(record.serialNumber, "open failed");
        failed = std::move(device);
        status = ret;
        return nullptr;
    }
    record.device = m_devices.Add(std::move(device));
    record.status = QlDeviceOpened;
    status = 0;
    return record.device;
}

void DeviceManager::ReleaseDevice(BaseDevice* device) {
    if (device == nullptr) return;
    std::shared_ptr<BaseDevice> released;
    {
        std::lock_guard<std::mutex> lock(m_listLock);
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
    const auto found = key != nullptr ? PropertyMap.find(key) : PropertyMap.end();
    if (found == PropertyMap.end()) {
        LOG_PRINTF("pKey:%s is not supported.", key != nullptr ? key : "(null)");
        return -15;
    }
    if (data == nullptr) return -8;
    char* text = static_cast<char*>(data);
    // The text must end within the data: nothing is read beyond it.
    const size_t length = dataSize > 0 ? strnlen(text, static_cast<size_t>(dataSize)) : 0;
    if (dataSize <= 0 || length == static_cast<size_t>(dataSize)) {
        LOG_PRINTF("pKey:%s dataSize:%d is invalid.", key, dataSize);
        return -15;
    }
    const RecordKey& field = *found->second;
    std::lock_guard<std::mutex> lock(m_listLock);
    const DeviceInfo* match = nullptr;
    for (const auto& record : m_list) {
        if (field.Matches(*record, text)) match = record.get();
    }
    if (match == nullptr) {
        LOG_PRINTF("%s:%s is not found in the device list.", field.notFoundName, text);
        return -15;
    }
    if (static_cast<size_t>(dataSize) != length + 2 * kAddressWidth) {
        LOG_DEVICE(match->serialNumber, "dataSize:%d is invalid.", dataSize);
        return -15;
    }
    std::memcpy(text + length, match->ip, kAddressWidth);
    std::memcpy(text + length + kAddressWidth, match->hostIP, kAddressWidth);
    return 0;
}
