#include "TransferController.h"

#include <utility>

#include "DeviceCommonProtocol.h"
#include "StatusCodes.h"
#include "TransferSteps.h"
#include "WebServer.h"
#include "log.h"

using namespace transferstep;

namespace {
constexpr int kReconnectTries = 3;  // a camera still rebooting into its transfer mode gets two more chances
}

TransferController::TransferController(const char* threadName, const char* detectedText, Timing timing,
                                       Following following)
    : StoppableThread(threadName), m_detectedText(detectedText), m_timing(timing), m_following(following) {}

TransferController::~TransferController() { StopAndJoin(); }

void TransferController::StopAndJoin() {
    StopWorker();
    Join();
}

void TransferController::StopWorker() {
    {
        LockGuard guard(m_lock);
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
    UniqueLock lock(m_lock);
    return !m_wake.wait_for(lock.Native(), m_timing.poll, [this] { return m_stop.load(); });
}

void TransferController::SetStatus(int status) {
    const auto publish = [this, status] {
        const int old = m_Status.exchange(status, std::memory_order_acq_rel);
        LOG_DEVICE(Tag().c_str(), "m_Status:%d -> %d", old, status);
    };
    if (status != kSetUp) {
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
    LockGuard guard(m_startLock);
    StopAndJoin();
    begin();
    if (m_detectPending.exchange(false)) StartWorker();
}

bool TransferController::Serves(const DeviceCommonProtocol* protocol) const {
    LockGuard guard(m_lock);
    return !m_active.load() || m_pProtocol == nullptr || m_pProtocol == protocol;
}

void TransferController::StopForHandOver() {
    if (OnWorkerThread()) return;
    LockGuard guard(m_startLock);
    StopAndJoin();
}

int TransferController::SetDetectParams_P() {
    LOG_PRINTF("%s", m_detectedText);
    m_detectPending = true;
    LockGuard guard(m_startLock);
    if (Status() == kSetUp && !IsRunning()) {
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
    SetStatus(kIdle);
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
        LockGuard guard(m_startLock);
        StopAndJoin();
        if (Protocol() != protocol) return;
        const std::string tag = Tag();
        SetProtocol(nullptr);
        status = Status();
        if (!EndTransfer()) return;
        m_Status = kIdle;
        // Idle: the transfer's end was under way and its last report made.
        if (status == kIdle) return;
        LOG_DEVICE(tag.c_str(), "device closed during the transfer, status:%d", status);
    }
    // Without the start lock: the application may begin the next transfer from the report.
    Report(status, report::kFailed);
}

void TransferController::Shutdown() {
    // On the worker itself (a callback that shuts the kit down) another thread may hold the
    // start lock while it joins this worker.
    if (OnWorkerThread()) {
        EndForShutdown();
        return;
    }
    LockGuard guard(m_startLock);
    EndForShutdown();
}

void TransferController::EndForShutdown() {
    StopAndJoin();
    // A transfer whose end is under way (its camera rebooted, idle) is left alone.
    if (m_active.load() && Status() != kIdle) RebootAndrm();
    SetProtocol(nullptr);
    EndTransfer();
}

void TransferController::SetTransferHooks(std::function<void()> begun, std::function<void()> ended) {
    LockGuard guard(m_lock);
    m_begunHook = std::move(begun);
    m_endedHook = std::move(ended);
}

std::function<void()> TransferController::Hook(std::function<void()> TransferController::*which) {
    LockGuard guard(m_lock);
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
    m_Status = kIdle;
    // The transfer's last word, even when a stop arrived after it ended: whoever stops the
    // worker waits for this report.
    Deliver(status, report::kFailed);
}

void TransferController::StoreImgPath(const std::string& path) {
    LockGuard guard(m_lock);
    m_imgPath = path;
}

std::string TransferController::ImgPath() const {
    LockGuard guard(m_lock);
    return m_imgPath;
}

void TransferController::SetCallback(Callback callback, const void* userData) {
    LockGuard guard(m_lock);
    m_pCallback = callback;
    m_pUserData = const_cast<void*>(userData);
}

TransferController::Callback TransferController::GetCallback() const {
    LockGuard guard(m_lock);
    return m_pCallback;
}

void TransferController::SetProtocol(DeviceCommonProtocol* protocol) {
    LockGuard guard(m_lock);
    m_pProtocol = protocol;
}

DeviceCommonProtocol* TransferController::Protocol() const {
    LockGuard guard(m_lock);
    return m_pProtocol;
}

std::string TransferController::Tag() const {
    DeviceCommonProtocol* protocol = Protocol();
    const char* sn = protocol != nullptr ? protocol->GetDeviceSN() : nullptr;
    return sn != nullptr ? sn : "";
}

int TransferController::Report(int status, int params) {
    // A worker told to stop (its transfer replaced, detached or shut down) reports nothing more.
    if (OnWorkerThread() && StopRequested()) return status::kFailed;
    return Deliver(status, params);
}

int TransferController::Deliver(int status, int params) {
    Callback callback;
    void* userData;
    {
        LockGuard guard(m_lock);
        callback = m_pCallback;
        userData = m_pUserData;
    }
    if (callback == nullptr) {
        NoCallback();
        return status::kFailed;
    }
    callback(status, params, userData);
    return 0;
}

bool TransferController::Reconnect() {
    ResetWaitCount();
    for (int tries = 1; tries <= kReconnectTries && !StopRequested(); ++tries) {
        if (OpenDevice_P() == 0) {
            ResetWaitCount();
            return true;
        }
        LOG_DEVICE(Tag().c_str(), "try:%d", tries);
        if (!Sleep()) break;
    }
    // The camera stays waiting for its transfer: no reboot.
    if (!StopRequested()) Report(report::kReconnected, report::kFailed);
    return false;
}

bool TransferController::CameraReady(DeviceCommonProtocol& protocol, bool reopenOnFailure) {
    CameraState now;
    const int ret = QueryCamera(protocol, now);
    if (ret == 0 && now.state == camera::kReady && now.param1 == kPassed) {
        m_waitCount = 0;
        return true;
    }
    if (ret != 0 && reopenOnFailure) protocol.SetOpenState(true);
    ++m_waitCount;
    return false;
}

bool TransferController::FollowsCamera(int status) const {
    return status >= m_following.offset + camera::kChecking && status <= m_following.offset + m_following.doneState;
}

TransferController::Pass TransferController::FollowCamera(DeviceCommonProtocol& protocol) {
    CameraState now;
    const int ret = QueryCamera(protocol, now);
    LOG_DEVICE(Tag().c_str(), "WaitCount:%d state:%d,%d temp:%d, %d, %d", m_waitCount, m_last.state, m_last.param1,
               now.state, now.param1, now.param2);
    if (ret != 0 || (now.state == m_last.state && now.param1 == m_last.param1)) {
        ++m_waitCount;
        return Pass::Sleep;
    }
    // The camera may jump from its last progress step straight to the next state.
    const bool progressCut = m_last.state == camera::kProgress && m_last.param1 < report::kFullProgress;
    if (progressCut && now.state == camera::kAfterProgress && now.param1 == kPassed) {
        Report(report::kProgress, report::kFullProgress);
    }
    const int next = now.state + m_following.offset;
    if (next != Status()) {
        LOG_DEVICE(Tag().c_str(), "%d   %d", Status(), next);
        SetStatus(next);
    }
    const int r = ProcessStatus(next, now.param1);
    m_waitCount = 0;
    m_last = now;
    return r != result::kGoOn ? Pass::End : Pass::Sleep;
}

int TransferController::CommonStep(int status, int state, int params) {
    if (state == camera::kChecked) {
        return params == kPassed ? GoOn(report::kChecked) : FailedStep(status, params, report::kChecked);
    }
    if (state == camera::kProgress) {
        LOG_DEVICE(Tag().c_str(), "%sDoing percent:%d%%", m_following.name, params);
        Report(report::kProgress, params);
        return result::kGoOn;
    }
    if (state == m_following.doneState) return Finish(params);
    // A camera state we do not know: no reboot.
    LOG_DEVICE(Tag().c_str(), "invalid status:%d params:%d", status, params);
    Report(report::OfCameraState(state), report::kFailed);
    return result::kFailed;
}

int TransferController::Finish(int params) {
    const int done = report::OfCameraState(m_following.doneState);
    if (params != kPassed) {
        LOG_DEVICE(Tag().c_str(), "%s NG.", m_following.name);
        return FailWithReboot(done, params);
    }
    LOG_DEVICE(Tag().c_str(), "%s OK.", m_following.name);
    RebootAndrm();
    Report(done, kPassed);
    return result::kSucceeded;
}

int TransferController::GoOn(int reportStatus) {
    DeviceCommonProtocol* protocol = Protocol();
    if (protocol == nullptr || SendCamera(*protocol, host::kGoOn, 0, 0) != 0) {
        LOG_DEVICE(Tag().c_str(), "send go on failed.");
        return FailWithReboot(reportStatus, report::kFailed);
    }
    Report(reportStatus, kPassed);
    return result::kGoOn;
}

int TransferController::FailWithReboot(int reportStatus, int params) {
    RebootAndrm();
    Report(reportStatus, params != 0 ? params : report::kFailed);
    return result::kFailed;
}

int TransferController::FailedStep(int status, int params, int reportStatus) {
    LOG_DEVICE(Tag().c_str(), "status:%d params:%d", status, params);
    return FailWithReboot(reportStatus, params);
}

void TransferController::AbortWithReboot(const char* what) {
    LOG_DEVICE(Tag().c_str(), "%s", what);
    FailWithReboot(report::kChecked, report::kFailed);
}

bool TransferController::SendFileSums(DeviceCommonProtocol& protocol) {
    if (SendCamera(protocol, host::kChecksum, static_cast<int32_t>(m_imgChecksum.load()),
                   static_cast<int32_t>(m_imgFileLen.load())) == 0) {
        return true;
    }
    AbortWithReboot("send Checksum failed.");
    return false;
}

TransferController::Pass TransferController::TimeOut() {
    LOG_DEVICE(Tag().c_str(), "timeout on status:%d ", Status());
    FailWithReboot(report::OfCameraState(m_last.state), report::kFailed);
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
