// Mutexes and critical sections of the OS layer. Named records go through the
// seam (XnLinuxNamedSeam.h): the kit refuses them, the plug-ins' build supplies them.
#include <cerrno>
#include <cstdlib>

#include "XnLinuxNamedSeam.h"
#include "XnOS.h"

XnStatus xnOSCreateMutex(XN_MUTEX_HANDLE* pMutexHandle) {
    if (pMutexHandle == nullptr) return XN_STATUS_NULL_OUTPUT_PTR;
    XnMutex* mutex = static_cast<XnMutex*>(calloc(1, sizeof(XnMutex)));
    if (mutex == nullptr) return XN_STATUS_ALLOC_FAILED;
    pthread_mutexattr_t attr;
    bool ok = pthread_mutexattr_init(&attr) == 0;
    if (ok) {
        ok = pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE) == 0 &&
             pthread_mutex_init(&mutex->ThreadMutex, &attr) == 0;
        pthread_mutexattr_destroy(&attr);
    }
    if (!ok) {
        free(mutex);
        return XN_STATUS_OS_MUTEX_CREATION_FAILED;
    }
    *pMutexHandle = mutex;
    return XN_STATUS_OK;
}

XnStatus xnOSCreateNamedMutexEx(XN_MUTEX_HANDLE* pMutexHandle, const XnChar* cpMutexName, XnBool) {
    if (pMutexHandle == nullptr) return XN_STATUS_NULL_OUTPUT_PTR;
    XnMutex* mutex = static_cast<XnMutex*>(calloc(1, sizeof(XnMutex)));
    if (mutex == nullptr) return XN_STATUS_ALLOC_FAILED;
    mutex->bIsNamed = TRUE;
    XnStatus rc = xnOSNamedMutexCreate(mutex, cpMutexName);
    if (rc != XN_STATUS_OK) {
        free(mutex);
        return rc;  // the caller's handle is left as it was
    }
    *pMutexHandle = mutex;
    return XN_STATUS_OK;
}

XnStatus xnOSCreateNamedMutex(XN_MUTEX_HANDLE* pMutexHandle, const XnChar* cpMutexName) {
    return xnOSCreateNamedMutexEx(pMutexHandle, cpMutexName, FALSE);
}

XnStatus xnOSCloseMutex(XN_MUTEX_HANDLE* pMutexHandle) {
    if (pMutexHandle == nullptr) return XN_STATUS_NULL_INPUT_PTR;
    XnMutex* mutex = *pMutexHandle;
    if (mutex == nullptr) return XN_STATUS_OS_INVALID_MUTEX;
    if (mutex->bIsNamed) {
        XnStatus rc = xnOSNamedMutexClose(mutex);
        if (rc != XN_STATUS_OK) return rc;
    } else if (pthread_mutex_destroy(&mutex->ThreadMutex) != 0) {
        return XN_STATUS_OS_MUTEX_CLOSE_FAILED;
    }
    free(mutex);
    *pMutexHandle = nullptr;
    return XN_STATUS_OK;
}

XnStatus xnOSLockMutex(XN_MUTEX_HANDLE MutexHandle, XnUInt32 nMilliseconds) {
    if (MutexHandle == nullptr) return XN_STATUS_OS_INVALID_MUTEX;
    if (MutexHandle->bIsNamed) return xnOSNamedMutexLock(MutexHandle, nMilliseconds);
    int rc;
    if (nMilliseconds == XN_WAIT_INFINITE) {
        rc = pthread_mutex_lock(&MutexHandle->ThreadMutex);
    } else {
        struct timespec deadline;
        if (xnOSGetAbsTimeout(&deadline, nMilliseconds) != XN_STATUS_OK) return XN_STATUS_OS_MUTEX_LOCK_FAILED;
        rc = pthread_mutex_timedlock(&MutexHandle->ThreadMutex, &deadline);
    }
    if (rc == 0) return XN_STATUS_OK;
    if (rc == ETIMEDOUT) return XN_STATUS_OS_MUTEX_TIMEOUT;
    return XN_STATUS_OS_MUTEX_LOCK_FAILED;
}

XnStatus xnOSUnLockMutex(XN_MUTEX_HANDLE MutexHandle) {
    if (MutexHandle == nullptr) return XN_STATUS_OS_INVALID_MUTEX;
    if (MutexHandle->bIsNamed) return xnOSNamedMutexUnlock(MutexHandle);
    if (pthread_mutex_unlock(&MutexHandle->ThreadMutex) != 0) return XN_STATUS_OS_MUTEX_UNLOCK_FAILED;
    return XN_STATUS_OK;
}

XnStatus xnOSCreateCriticalSection(XN_CRITICAL_SECTION_HANDLE* pCriticalSectionHandle) {
    return xnOSCreateMutex(pCriticalSectionHandle);
}

XnStatus xnOSCloseCriticalSection(XN_CRITICAL_SECTION_HANDLE* pCriticalSectionHandle) {
    return xnOSCloseMutex(pCriticalSectionHandle);
}

XnStatus xnOSEnterCriticalSection(XN_CRITICAL_SECTION_HANDLE* pCriticalSectionHandle) {
    if (pCriticalSectionHandle == nullptr) return XN_STATUS_NULL_INPUT_PTR;
    return xnOSLockMutex(*pCriticalSectionHandle, XN_WAIT_INFINITE);
}

XnStatus xnOSLeaveCriticalSection(XN_CRITICAL_SECTION_HANDLE* pCriticalSectionHandle) {
    if (pCriticalSectionHandle == nullptr) return XN_STATUS_NULL_INPUT_PTR;
    return xnOSUnLockMutex(*pCriticalSectionHandle);
}
