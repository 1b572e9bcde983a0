#include "HotplugReporter.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <system_error>
#include <thread>

#include "ManagerTiming.h"
#include "log.h"

namespace {

// The reporter whose report the current thread is delivering, if any.
thread_local const void* t_reporting = nullptr;

}  // namespace

HotplugReporter::HotplugReporter() : m_state(std::make_shared<State>()) {}

void HotplugReporter::SetCallback(QlHotPlugStatusCallback callback, const void* userData) {
    LOG_PRINTF("pCallback:%p pContex:%p", reinterpret_cast<void*>(callback), userData);
    LockGuard lock(m_state->lock);
    m_state->callback = callback;
    m_state->userData = const_cast<void*>(userData);
}

void HotplugReporter::Report(const QlDeviceInfo& info, MessageType message) {
    {
        LockGuard lock(m_state->lock);
        ++m_state->inFlight;
    }
    try {
        std::thread(Deliver, m_state, info, message).detach();
    } catch (const std::system_error& error) {
        LOG_DEVICE(info.serialNumber, "report %d not started: %s", message, error.what());
        LockGuard lock(m_state->lock);
        --m_state->inFlight;
        m_state->idle.notify_all();
    }
}

void HotplugReporter::Deliver(const std::shared_ptr<State>& state, const QlDeviceInfo& info, MessageType message) {
    t_reporting = state.get();
    QlHotPlugStatusCallback callback = nullptr;
    void* userData = nullptr;
    {
        LockGuard lock(state->lock);
        callback = state->callback;
        userData = state->userData;
    }
    if (callback != nullptr) {
        LOG_DEVICE(info.serialNumber, "%d %ld ", message, static_cast<long>(syscall(SYS_gettid)));
        callback(&info, message, userData);
    }
    LockGuard lock(state->lock);
    --state->inFlight;
    state->idle.notify_all();
}

void HotplugReporter::WaitIdle() {
    const int own = t_reporting == m_state.get() ? 1 : 0;
    UniqueLock lock(m_state->lock);
    const auto idle = [this, own]() REQUIRES(m_state->lock) { return m_state->inFlight <= own; };
    if (m_state->idle.wait_for(lock.Native(), managertiming::kReportsLate, idle)) return;
    LOG_PRINTF("waiting for %d hot-plug reports", m_state->inFlight - own);
    m_state->idle.wait(lock.Native(), idle);
}
