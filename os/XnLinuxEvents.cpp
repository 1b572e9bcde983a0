// Events of the OS layer: unnamed over a condition variable, named through the seam.
#include <cerrno>
#include <fcntl.h>
#include <new>

#include "XnLinuxEvent.h"
#include "XnLinuxNamedSeam.h"

// ---- XnLinuxPosixEvent ---------------------------------------------------------------------
XnStatus XnLinuxPosixEvent::Init() {
    if (pthread_cond_init(&m_cond, nullptr) != 0) return XN_STATUS_OS_EVENT_CREATION_FAILED;
    if (pthread_mutex_init(&m_mutex, nullptr) != 0) {
        pthread_cond_destroy(&m_cond);
        return XN_STATUS_OS_EVENT_CREATION_FAILED;
    }
    return XN_STATUS_OK;
}

XnStatus XnLinuxPosixEvent::Destroy() {
    bool ok = pthread_cond_destroy(&m_cond) == 0;
    ok = (pthread_mutex_destroy(&m_mutex) == 0) && ok;
    return ok ? XN_STATUS_OK : XN_STATUS_OS_EVENT_CLOSE_FAILED;
}

XnStatus XnLinuxPosixEvent::Set() {
    if (pthread_mutex_lock(&m_mutex) != 0) return XN_STATUS_OS_EVENT_SET_FAILED;
    m_bSignaled = TRUE;
    bool ok = pthread_cond_broadcast(&m_cond) == 0;
    ok = (pthread_mutex_unlock(&m_mutex) == 0) && ok;
    return ok ? XN_STATUS_OK : XN_STATUS_OS_EVENT_SET_FAILED;
}

XnStatus XnLinuxPosixEvent::Reset() {
    // Under the lock: the flag is shared with Set and Wait on other threads.
    if (pthread_mutex_lock(&m_mutex) != 0) return XN_STATUS_OS_EVENT_RESET_FAILED;
    m_bSignaled = FALSE;
    if (pthread_mutex_unlock(&m_mutex) != 0) return XN_STATUS_OS_EVENT_RESET_FAILED;
    return XN_STATUS_OK;
}

XnStatus XnLinuxPosixEvent::Wait(unsigned int nMilliseconds) {
    struct timespec deadline;
    if (nMilliseconds != XN_WAIT_INFINITE && xnOSGetAbsTimeout(&deadline, nMilliseconds) != XN_STATUS_OK)
        return XN_STATUS_OS_EVENT_WAIT_FAILED;
    if (pthread_mutex_lock(&m_mutex) != 0) return XN_STATUS_OS_EVENT_WAIT_FAILED;
    while (!m_bSignaled) {
        int rc = nMilliseconds == XN_WAIT_INFINITE ? pthread_cond_wait(&m_cond, &m_mutex)
                                                   : pthread_cond_timedwait(&m_cond, &m_mutex, &deadline);
        if (rc == ETIMEDOUT) {
            pthread_mutex_unlock(&m_mutex);
            return XN_STATUS_OS_EVENT_TIMEOUT;
        }
        if (rc != 0) {
            pthread_mutex_unlock(&m_mutex);
            return XN_STATUS_OS_EVENT_WAIT_FAILED;
        }
    }
    if (!m_bManualReset) m_bSignaled = FALSE;
    if (pthread_mutex_unlock(&m_mutex) != 0) return XN_STATUS_OS_EVENT_WAIT_FAILED;
    return XN_STATUS_OK;
}

// ---- XnLinuxNamedEvent ---------------------------------------------------------------------
XnStatus XnLinuxNamedEvent::Init() { return m_bCreate ? CreateNamed(m_strName) : OpenNamed(m_strName); }

// ---- XnLinuxPosixNamedEvent ----------------------------------------------------------------
XnStatus XnLinuxPosixNamedEvent::CreateNamed(const XnChar* strName) {
    sem_t* sem = sem_open(strName, O_CREAT, 0777, 0);
    if (sem == SEM_FAILED) return XN_STATUS_OS_EVENT_CREATION_FAILED;
    m_pSem = sem;
    return XN_STATUS_OK;
}

XnStatus XnLinuxPosixNamedEvent::OpenNamed(const XnChar*) { return XN_STATUS_OS_EVENT_OPEN_FAILED; }
XnStatus XnLinuxPosixNamedEvent::Set() { return XN_STATUS_OS_EVENT_SET_FAILED; }
XnStatus XnLinuxPosixNamedEvent::Reset() { return XN_STATUS_OS_EVENT_RESET_FAILED; }
XnStatus XnLinuxPosixNamedEvent::Wait(unsigned int) { return XN_STATUS_OS_EVENT_WAIT_FAILED; }

XnStatus XnLinuxPosixNamedEvent::Destroy() {
    // The semaphore is closed, not unlinked: it stays in the system.
    if (m_pSem == nullptr) return XN_STATUS_OK;
    if (sem_close(m_pSem) != 0) return XN_STATUS_OS_EVENT_CLOSE_FAILED;
    m_pSem = nullptr;
    return XN_STATUS_OK;
}

// ---- C functions ---------------------------------------------------------------------------
static XnLinuxEvent* AsEvent(XN_EVENT_HANDLE h) { return static_cast<XnLinuxEvent*>(h); }

XnStatus xnOSCreateEvent(XN_EVENT_HANDLE* pEventHandle, XnBool bManualReset) {
    if (pEventHandle == nullptr) return XN_STATUS_NULL_INPUT_PTR;
    XnLinuxPosixEvent* event = new (std::nothrow) XnLinuxPosixEvent(bManualReset);
    if (event == nullptr) return XN_STATUS_ALLOC_FAILED;
    XnStatus rc = event->Init();
    if (rc != XN_STATUS_OK) {
        delete event;
        return rc;
    }
    *pEventHandle = event;
    return XN_STATUS_OK;
}

static XnStatus MakeNamedEvent(XN_EVENT_HANDLE* pEventHandle, const XnChar* cpEventName, XnBool bManualReset,
                               XnBool bCreate) {
    if (cpEventName == nullptr) return XN_STATUS_NULL_INPUT_PTR;
    if (pEventHandle == nullptr) return XN_STATUS_NULL_OUTPUT_PTR;
    *pEventHandle = nullptr;
    XnLinuxNamedEvent* event = xnOSNewNamedEvent(bManualReset, cpEventName, bCreate);
    if (event == nullptr) return XN_STATUS_ALLOC_FAILED;
    XnStatus rc = bCreate ? event->CreateNamed(cpEventName) : event->OpenNamed(cpEventName);
    if (rc != XN_STATUS_OK) {
        delete event;
        return rc;
    }
    *pEventHandle = event;
    return XN_STATUS_OK;
}

XnStatus xnOSCreateNamedEvent(XN_EVENT_HANDLE* pEventHandle, const XnChar* cpEventName, XnBool bManualReset) {
    return MakeNamedEvent(pEventHandle, cpEventName, bManualReset, TRUE);
}

XnStatus xnOSCreateNamedEventEx(XN_EVENT_HANDLE* pEventHandle, const XnChar* cpEventName, XnBool bManualReset, XnBool) {
    return MakeNamedEvent(pEventHandle, cpEventName, bManualReset, TRUE);
}

XnStatus xnOSOpenNamedEvent(XN_EVENT_HANDLE* pEventHandle, const XnChar* cpEventName) {
    return MakeNamedEvent(pEventHandle, cpEventName, FALSE, FALSE);
}

XnStatus xnOSOpenNamedEventEx(XN_EVENT_HANDLE* pEventHandle, const XnChar* cpEventName, XnBool) {
    return MakeNamedEvent(pEventHandle, cpEventName, FALSE, FALSE);
}

XnStatus xnOSCloseEvent(XN_EVENT_HANDLE* pEventHandle) {
    if (pEventHandle == nullptr) return XN_STATUS_NULL_INPUT_PTR;
    if (*pEventHandle == nullptr) return XN_STATUS_OS_INVALID_EVENT;
    XnStatus rc = AsEvent(*pEventHandle)->Destroy();
    if (rc != XN_STATUS_OK) return rc;
    delete *pEventHandle;
    *pEventHandle = nullptr;
    return XN_STATUS_OK;
}

XnStatus xnOSSetEvent(XN_EVENT_HANDLE EventHandle) {
    if (EventHandle == nullptr) return XN_STATUS_OS_INVALID_EVENT;
    return AsEvent(EventHandle)->Set();
}

XnStatus xnOSResetEvent(XN_EVENT_HANDLE EventHandle) {
    if (EventHandle == nullptr) return XN_STATUS_OS_INVALID_EVENT;
    return AsEvent(EventHandle)->Reset();
}

XnStatus xnOSWaitEvent(XN_EVENT_HANDLE EventHandle, XnUInt32 nMilliseconds) {
    if (EventHandle == nullptr) return XN_STATUS_OS_INVALID_EVENT;
    return AsEvent(EventHandle)->Wait(nMilliseconds);
}

XnBool xnOSIsEventSet(XN_EVENT_HANDLE EventHandle) {
    if (EventHandle == nullptr) return FALSE;
    return AsEvent(EventHandle)->Wait(0) == XN_STATUS_OK ? TRUE : FALSE;
}
