#include "TransferController.h"

#include <utility>

#include "DeviceCommonProtocol.h"
#include "WebServer.h"
#include "log.h"

namespace {
constexpr int kReconnectTries = 3;
}

TransferController::TransferController(const char* threadName, const char* detectedText, Timing timing)
    : StoppableThread(threadName), m_detectedText(detectedText), m_timing(timing) {}

TransferController::~TransferController() { StopAndJoin(); }

void TransferController::StopAndJoin() {
    StopWorker();
    Join();
}

void TransferController::StopWorker() {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_stop = true;
    }
    m_wake.notify_all();
    Stop();
}

void TransferController::StartWorker() {
    m_stop = false;
    m_restart = false;
    Start();
}

bool TransferController::OnWorkerThread() const { return m_workerId.load() == std::this_thread::get_id(); }

bool TransferController::Sleep() {
    std::unique_lock<std::mutex> lock(m_lock);
    return !m_wake.wait_for(lock, m_timing.poll, [this] { return m_stop.load(); });
}

void TransferController::SetStatus(int status) {
    const auto publish = [this, status] {
        const int old = m_Status.exchange(status, std::memory_order_acq_rel);
        LOG_DEVICE(Tag().c_str(), "m_Status:%d -> %d", old, status);
    };
    if (status != 1) {
        publish();
        return;
    }
    const auto begin = [this, &publish] {
        publish();
        m_active = true;
        if (const auto hook = Hook(&TransferController::m_begunHook)) hook();
    };
    if (OnWorkerThread()) {
        // The worker's own callback began the next transfer: the worker goes on with it
        // instead of waiting for itself.
        begin();
        m_detectPending = false;
        m_restart = true;
        return;
    }
    // The status turns 1 only once the last worker is gone, so that a detection in between
    // cannot start a worker that this stop would then end.
    std::lock_guard<std::mutex> guard(m_startLock);
    StopAndJoin();
    begin();
    if (m_detectPending.exchange(false)) StartWorker();
}

bool TransferController::Serves(const DeviceCommonProtocol* protocol) const {
    std::lock_guard<std::mutex> guard(m_lock);
    return !m_active.load() || m_pProtocol == nullptr || m_pProtocol == protocol;
}

void TransferController::StopForHandOver() {
    if (OnWorkerThread()) return;
    std::lock_guard<std::mutex> guard(m_startLock);
    StopAndJoin();
}

int TransferController::SetDetectParams_P() {
    LOG_PRINTF("%s", m_detectedText);
    m_detectPending = true;
    std::lock_guard<std::mutex> guard(m_startLock);
    if (Status() == 1 && !IsRunning()) {
        StartWorker();
        m_detectPending = false;
    }
    return 0;
}

void TransferController::RebootAndrm() {
    DeviceCommonProtocol* protocol = Protocol();
    if (protocol == nullptr) return;
    WebServer::getInstance()->stop();
    m_usbStorage.Clear();
    protocol->Reboot();
    SetStatus(0);
    protocol->SetOpenState(false);
}

void TransferController::Detach(DeviceCommonProtocol* protocol) {
    if (protocol == nullptr || Protocol() != protocol) return;
    if (OnWorkerThread()) {
        // Closed from our own callback: the next pass finds no command set and ends.
        SetProtocol(nullptr);
        return;
    }
    int status = 0;
    {
        // Decided under the start lock, so that a transfer begun meanwhile is not ended.
        std::lock_guard<std::mutex> guard(m_startLock);
        StopAndJoin();
        if (Protocol() != protocol) return;
        const std::string tag = Tag();
        SetProtocol(nullptr);
        status = Status();
        if (!EndTransfer()) return;
        m_Status = 0;
        // Status 0: the transfer's end was under way and its last report made.
        if (status == 0) return;
        LOG_DEVICE(tag.c_str(), "device closed during the transfer, status:%d", status);
    }
    // Without the start lock: the application may begin the next transfer from the report.
    Report(status, -1);
}

void TransferController::Shutdown() {
    // On the worker itself (a callback that shuts the kit down) another thread may hold the
    // start lock while it joins this worker.
    if (OnWorkerThread()) {
        EndForShutdown();
        return;
    }
    std::lock_guard<std::mutex> guard(m_startLock);
    EndForShutdown();
}

void TransferController::EndForShutdown() {
    StopAndJoin();
    // A transfer whose end is under way (its camera rebooted, status 0) is left alone.
    if (m_active.load() && Status() != 0) RebootAndrm();
    SetProtocol(nullptr);
    EndTransfer();
}

void TransferController::SetTransferHooks(std::function<void()> begun, std::function<void()> ended) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_begunHook = std::move(begun);
    m_endedHook = std::move(ended);
}

std::function<void()> TransferController::Hook(std::function<void()> TransferController::*which) {
    std::lock_guard<std::mutex> guard(m_lock);
    return this->*which;
}

void TransferController::Dispose() {
    if (OnWorkerThread()) {
        m_disposeAtEnd = true;
        return;
    }
    delete this;
}

bool TransferController::EndTransfer() {
    if (!m_active.exchange(false)) return false;
    if (const auto hook = Hook(&TransferController::m_endedHook)) hook();
    return true;
}

void TransferController::EndDetached() {
    const int status = Status();
    if (!EndTransfer()) return;
    m_Status = 0;
    // The transfer's last word, even when a stop arrived after it ended: whoever stops the
    // worker waits for this report.
    Deliver(status, -1);
}

void TransferController::StoreImgPath(const std::string& path) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_imgPath = path;
}

std::string TransferController::ImgPath() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_imgPath;
}

void TransferController::SetCallback(Callback callback, const void* userData) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_pCallback = callback;
    m_pUserData = const_cast<void*>(userData);
}

TransferController::Callback TransferController::GetCallback() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_pCallback;
}

void TransferController::SetProtocol(DeviceCommonProtocol* protocol) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_pProtocol = protocol;
}

DeviceCommonProtocol* TransferController::Protocol() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_pProtocol;
}

std::string TransferController::Tag() const {
    DeviceCommonProtocol* protocol = Protocol();
    const char* sn = protocol != nullptr ? protocol->GetDeviceSN() : nullptr;
    return sn != nullptr ? sn : "";
}

int TransferController::Report(int status, int params) {
    // A worker told to stop (its transfer replaced, detached or shut down) reports nothing more.
    if (OnWorkerThread() && StopRequested()) return -1;
    return Deliver(status, params);
}

int TransferController::Deliver(int status, int params) {
    Callback callback;
    void* userData;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        callback = m_pCallback;
        userData = m_pUserData;
    }
    if (callback == nullptr) {
        NoCallback();
        return -1;
    }
    callback(status, params, userData);
    return 0;
}

bool TransferController::Reconnect() {
    for (int tries = 1; tries <= kReconnectTries && !StopRequested(); ++tries) {
        if (OpenDevice_P() == 0) return true;
        LOG_DEVICE(Tag().c_str(), "try:%d", tries);
        if (!Sleep()) return false;
    }
    return false;
}

bool TransferController::CameraReady(DeviceCommonProtocol& protocol, bool reopenOnFailure) {
    CameraState now;
    const int ret = QueryCamera(protocol, now);
    if (ret == 0 && now.state == 0 && now.param1 == 1) {
        m_waitCount = 0;
        return true;
    }
    if (ret != 0 && reopenOnFailure) protocol.SetOpenState(true);
    ++m_waitCount;
    return false;
}

TransferController::Pass TransferController::FollowCamera(DeviceCommonProtocol& protocol, int offset) {
    CameraState now;
    const int ret = QueryCamera(protocol, now);
    LOG_DEVICE(Tag().c_str(), "WaitCount:%d state:%d,%d temp:%d, %d, %d", m_waitCount, m_last.state, m_last.param1,
               now.state, now.param1, now.param2);
    if (ret != 0 || (now.state == m_last.state && now.param1 == m_last.param1)) {
        ++m_waitCount;
        return Pass::Sleep;
    }
    // The camera may jump from its last progress step straight to the next state.
    if (m_last.state == 3 && m_last.param1 <= 99 && now.state == 4 && now.param1 == 1) Report(5, 100);
    const int next = now.state + offset;
    if (next != Status()) {
        LOG_DEVICE(Tag().c_str(), "%d   %d", Status(), next);
        SetStatus(next);
    }
    const int r = ProcessStatus(next, now.param1);
    m_waitCount = 0;
    m_last = now;
    return r != 0 ? Pass::End : Pass::Sleep;
}

int TransferController::GoOn(int reportStatus) {
    DeviceCommonProtocol* protocol = Protocol();
    if (protocol == nullptr || SendCamera(*protocol, 3, 0, 0) != 0) {
        LOG_DEVICE(Tag().c_str(), "send go on failed.");
        return FailWithReboot(reportStatus, -1);
    }
    Report(reportStatus, 1);
    return 0;
}

int TransferController::FailWithReboot(int reportStatus, int params) {
    RebootAndrm();
    Report(reportStatus, params != 0 ? params : -1);
    return -1;
}

void TransferController::AbortWithReboot(const char* what) {
    LOG_DEVICE(Tag().c_str(), "%s", what);
    FailWithReboot(4, -1);
}

TransferController::Pass TransferController::TimeOut() {
    LOG_DEVICE(Tag().c_str(), "timeout on status:%d ", Status());
    FailWithReboot(m_last.state + 2, -1);
    return Pass::End;
}

void TransferController::Run() {
    m_workerId = std::this_thread::get_id();
    m_waitCount = 0;
    m_last = CameraState();
    while (!StopRequested()) {
        Pass pass;
        DeviceCommonProtocol* protocol = Protocol();
        const int status = Status();
        if (m_waitCount >= m_timing.waitLimit) {
            pass = TimeOut();
        } else if (protocol == nullptr) {
            if (status != 0) EndDetached();
            pass = Pass::End;
        } else {
            LOG_DEVICE(Tag().c_str(), "status:%d WaitCount:%d", status, m_waitCount);
            pass = Step(status, *protocol);
        }
        if (pass == Pass::End) {
            if (!m_restart.exchange(false)) break;
            m_waitCount = 0;
            m_last = CameraState();
        } else if (pass == Pass::Sleep) {
            Sleep();
        }
    }
    m_waitCount = 0;
    if (!StopRequested()) EndTransfer();
    m_workerId = std::thread::id();
    // Released from our own callback: nothing of this object is used after this.
    if (m_disposeAtEnd) delete this;
}
