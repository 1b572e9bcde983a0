#include "XnLinuxSysVNamedEvent.h"

#include <sys/ipc.h>
#include <unistd.h>

#include <cerrno>

#include "XnSysVSemaphore.h"

namespace {

// Semaphores of a named event's set.
constexpr int kRegistered = 0;   // handles that have the event open
constexpr int kSignal = 1;       // 0 or 1
constexpr int kManualReset = 2;  // as the creator set it
constexpr int kEventSemCount = 3;

}  // namespace

XnLinuxSysVNamedEvent::~XnLinuxSysVNamedEvent() { CloseKeyFile(); }

XnStatus XnLinuxSysVNamedEvent::FormatKeyFilePath(const XnChar* strName) {
    if (strName == nullptr) return XN_STATUS_NULL_INPUT_PTR;
    // A path cut short would name another event's key file: refuse it instead.
    XnUInt32 length = 0;
    return xnOSStrFormat(m_csSemFileName, sizeof(m_csSemFileName), &length, "/tmp/XnCore.Event.%s.key", strName);
}

bool XnLinuxSysVNamedEvent::Register() {
    // SEM_UNDO takes the registration back when this process ends without Destroy.
    sembuf reg = {kRegistered, 1, SEM_UNDO};
    if (xnsysv::Operate(m_hSem, &reg, 1, XN_WAIT_INFINITE) != 0) return false;
    const int manualReset = xnsysv::GetValue(m_hSem, kManualReset);
    if (manualReset >= 0) m_bManualReset = manualReset != 0;
    return true;
}

void XnLinuxSysVNamedEvent::CloseKeyFile() {
    if (m_hSemFile >= 0) {
        close(m_hSemFile);
        m_hSemFile = -1;
    }
}

XnStatus XnLinuxSysVNamedEvent::CreateNamed(const XnChar* strName) {
    if (FormatKeyFilePath(strName) != XN_STATUS_OK) return XN_STATUS_OS_EVENT_CREATION_FAILED;
    m_hSemFile = xnsysv::OpenKeyFile(m_csSemFileName);
    if (m_hSemFile < 0) return XN_STATUS_OS_EVENT_CREATION_FAILED;

    const key_t key = ftok(m_csSemFileName, 1);
    m_hSem = key == -1 ? -1 : semget(key, kEventSemCount, IPC_CREAT | 0666);
    if (m_hSem < 0) {
        CloseKeyFile();
        return XN_STATUS_OS_EVENT_CREATION_FAILED;
    }
    // Nobody has it open: whatever a former user left behind is reset.
    if (xnsysv::GetValue(m_hSem, kRegistered) == 0 &&
        (!xnsysv::SetValue(m_hSem, kSignal, 0) || !xnsysv::SetValue(m_hSem, kManualReset, m_bManualReset ? 1 : 0))) {
        xnsysv::RemoveSet(m_hSem);
        m_hSem = -1;
        CloseKeyFile();
        return XN_STATUS_OS_EVENT_CREATION_FAILED;
    }
    if (!Register()) {
        m_hSem = -1;
        CloseKeyFile();
        return XN_STATUS_OS_EVENT_CREATION_FAILED;
    }
    return XN_STATUS_OK;
}

XnStatus XnLinuxSysVNamedEvent::OpenNamed(const XnChar* strName) {
    if (FormatKeyFilePath(strName) != XN_STATUS_OK) return XN_STATUS_OS_EVENT_OPEN_FAILED;
    const key_t key = ftok(m_csSemFileName, 1);
    if (key == -1) return XN_STATUS_OS_EVENT_OPEN_FAILED;
    const int semId = semget(key, kEventSemCount, 0666);
    if (semId < 0 || xnsysv::GetValue(semId, kRegistered) <= 0) return XN_STATUS_OS_EVENT_OPEN_FAILED;
    m_hSem = semId;
    if (!Register()) {
        m_hSem = -1;
        return XN_STATUS_OS_EVENT_OPEN_FAILED;
    }
    return XN_STATUS_OK;
}

XnStatus XnLinuxSysVNamedEvent::Set() {
    // Signal only when not signalled, so that it never exceeds 1. No SEM_UNDO: a signal
    // outlives its setter, and the kernel's undo counter would end Set after 32,767 signals.
    sembuf ops[] = {{kSignal, 0, IPC_NOWAIT}, {kSignal, 1, IPC_NOWAIT}};
    const int rc = xnsysv::Operate(m_hSem, ops, 2, XN_WAIT_INFINITE);
    // EAGAIN: signalled already, which is what Set asks for.
    if (rc != 0 && rc != EAGAIN) return XN_STATUS_OS_EVENT_SET_FAILED;
    return XN_STATUS_OK;
}

XnStatus XnLinuxSysVNamedEvent::Reset() {
    sembuf clear = {kSignal, -1, IPC_NOWAIT};
    const int rc = xnsysv::Operate(m_hSem, &clear, 1, XN_WAIT_INFINITE);
    if (rc != 0 && rc != EAGAIN) return XN_STATUS_OS_EVENT_RESET_FAILED;
    return XN_STATUS_OK;
}

XnStatus XnLinuxSysVNamedEvent::Wait(unsigned int nMilliseconds) {
    // Auto-reset consumes the signal; manual-reset takes it and gives it back in one step.
    sembuf ops[] = {{kSignal, -1, 0}, {kSignal, 1, 0}};
    const size_t count = m_bManualReset ? 2 : 1;
    const int rc = xnsysv::Operate(m_hSem, ops, count, nMilliseconds);
    if (rc == 0) return XN_STATUS_OK;
    if (rc == EAGAIN && nMilliseconds != XN_WAIT_INFINITE) return XN_STATUS_OS_EVENT_TIMEOUT;
    return XN_STATUS_OS_EVENT_WAIT_FAILED;
}

XnStatus XnLinuxSysVNamedEvent::Destroy() {
    if (m_hSem >= 0) {
        sembuf unreg = {kRegistered, -1, SEM_UNDO | IPC_NOWAIT};
        if (xnsysv::Operate(m_hSem, &unreg, 1, XN_WAIT_INFINITE) == 0 && xnsysv::GetValue(m_hSem, kRegistered) == 0) {
            xnsysv::RemoveSet(m_hSem);
            xnOSDeleteFile(m_csSemFileName);
        }
        m_hSem = -1;
    }
    CloseKeyFile();
    return XN_STATUS_OK;
}
