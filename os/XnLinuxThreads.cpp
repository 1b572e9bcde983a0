// Threads of the OS layer.
#include <cerrno>
#include <cstdlib>
#include <pthread.h>
#include <sched.h>

#include "XnOS.h"

namespace {
// How long xnOSTerminateThread waits for a cancelled thread before letting it go.
constexpr XnUInt32 kTerminateJoinMs = 1000;
// The one supported priority, round-robin at a low level of the real-time range (1 to 99):
// served before every ordinary thread, behind the system's own real-time ones.
constexpr int kCriticalRoundRobinPriority = 5;
}  // namespace

XnStatus xnOSCreateThread(XN_THREAD_PROC_PROTO pThreadProc, XN_THREAD_PARAM pThreadParam,
                          XN_THREAD_HANDLE* pThreadHandle) {
    if (pThreadProc == nullptr) return XN_STATUS_NULL_INPUT_PTR;
    if (pThreadHandle == nullptr) return XN_STATUS_NULL_OUTPUT_PTR;
    pthread_t* cell = static_cast<pthread_t*>(malloc(sizeof(pthread_t)));
    if (cell == nullptr) return XN_STATUS_ALLOC_FAILED;
    if (pthread_create(cell, nullptr, pThreadProc, pThreadParam) != 0) {
        free(cell);
        *pThreadHandle = nullptr;
        return XN_STATUS_OS_THREAD_CREATION_FAILED;
    }
    *pThreadHandle = cell;
    return XN_STATUS_OK;
}

XnStatus xnOSTerminateThread(XN_THREAD_HANDLE* pThreadHandle) {
    if (pThreadHandle == nullptr) return XN_STATUS_NULL_INPUT_PTR;
    if (*pThreadHandle == nullptr) return XN_STATUS_OS_INVALID_THREAD;
    pthread_t thread = **pThreadHandle;
    if (pthread_cancel(thread) != 0) return XN_STATUS_OS_THREAD_TERMINATION_FAILED;
    struct timespec deadline;
    bool joined = false;
    if (xnOSGetAbsTimeout(&deadline, kTerminateJoinMs) == XN_STATUS_OK) {
        int rc;
        do {
            rc = pthread_timedjoin_np(thread, nullptr, &deadline);
        } while (rc == EINTR);
        joined = (rc == 0);
    }
    // A thread still running its clean-up (or ignoring cancellation) is let go: detached, its
    // resources return to the system when it ends instead of leaking with the freed handle.
    if (!joined) pthread_detach(thread);
    free(*pThreadHandle);
    *pThreadHandle = nullptr;
    return XN_STATUS_OK;
}

XnStatus xnOSCloseThread(XN_THREAD_HANDLE* pThreadHandle) {
    if (pThreadHandle == nullptr) return XN_STATUS_NULL_INPUT_PTR;
    if (*pThreadHandle == nullptr) return XN_STATUS_OS_INVALID_THREAD;
    free(*pThreadHandle);
    *pThreadHandle = nullptr;
    return XN_STATUS_OK;
}

XnStatus xnOSWaitForThreadExit(XN_THREAD_HANDLE ThreadHandle, XnUInt32 nMilliseconds) {
    if (ThreadHandle == nullptr) return XN_STATUS_OS_INVALID_THREAD;
    int rc;
    if (nMilliseconds == XN_WAIT_INFINITE) {
        rc = pthread_join(*ThreadHandle, nullptr);
    } else {
        struct timespec deadline;
        if (xnOSGetAbsTimeout(&deadline, nMilliseconds) != XN_STATUS_OK) return XN_STATUS_OS_THREAD_TERMINATION_FAILED;
        do {
            rc = pthread_timedjoin_np(*ThreadHandle, nullptr, &deadline);
        } while (rc == EINTR);
    }
    if (rc == 0) return XN_STATUS_OK;
    if (rc == ETIMEDOUT) return XN_STATUS_OS_THREAD_TIMEOUT;
    return XN_STATUS_OS_THREAD_TERMINATION_FAILED;
}

XnStatus xnOSSetThreadPriority(XN_THREAD_HANDLE ThreadHandle, XnThreadPriority nPriority) {
    if (ThreadHandle == nullptr) return XN_STATUS_OS_INVALID_THREAD;
    if (nPriority != XN_PRIORITY_CRITICAL) return XN_STATUS_OS_THREAD_UNSUPPORTED_PRIORITY;
    struct sched_param param = {};
    param.sched_priority = kCriticalRoundRobinPriority;
    if (pthread_setschedparam(*ThreadHandle, SCHED_RR, &param) != 0) return XN_STATUS_OS_THREAD_SET_PRIORITY_FAILED;
    return XN_STATUS_OK;
}

XnStatus xnOSGetCurrentThreadID(XN_THREAD_ID* pThreadID) {
    if (pThreadID == nullptr) return XN_STATUS_NULL_OUTPUT_PTR;
    *pThreadID = static_cast<XN_THREAD_ID>(pthread_self());
    return XN_STATUS_OK;
}
