// The plug-ins' build of the named objects: mutexes and events are System V semaphore sets
// whose keys come from key files under /tmp.
#include <sys/ipc.h>
#include <unistd.h>

#include <cerrno>
#include <new>

#include "XnLinuxNamedSeam.h"
#include "XnLinuxSysVNamedEvent.h"
#include "XnSysVSemaphore.h"

namespace {

// Semaphores of a named mutex's set.
constexpr int kLock = 0;        // 1 free, 0 held
constexpr int kRegistered = 1;  // handles that have the mutex open
constexpr int kMutexSemCount = 2;

}  // namespace

XnStatus xnOSNamedMutexCreate(XnMutex* pMutex, const XnChar* cpMutexName) {
    if (cpMutexName == nullptr) return XN_STATUS_NULL_INPUT_PTR;
    // A name of more than 255 characters is refused; a '/' would make the key-file path reach
    // into a folder.
    XnChar name[XN_FILE_MAX_PATH];
    if (xnOSStrCopy(name, cpMutexName, sizeof(name)) != XN_STATUS_OK) return XN_STATUS_OS_MUTEX_CREATION_FAILED;
    for (XnChar* c = name; *c != '\0'; ++c) {
        if (*c == '/') *c = '_';
    }
    // A path cut short would name another mutex's key file: refuse it instead.
    XnUInt32 length = 0;
    if (xnOSStrFormat(pMutex->csSemFileName, sizeof(pMutex->csSemFileName), &length, "/tmp/XnCore.Mutex.%s.key",
                      name) != XN_STATUS_OK) {
        return XN_STATUS_OS_MUTEX_CREATION_FAILED;
    }

    pMutex->hSemFile = xnsysv::OpenKeyFile(pMutex->csSemFileName);
    if (pMutex->hSemFile < 0) return XN_STATUS_OS_FILE_OPEN_FAILED;

    const key_t key = ftok(pMutex->csSemFileName, 1);
    int semId = key == -1 ? -1 : semget(key, kMutexSemCount, IPC_CREAT | IPC_EXCL | 0666);
    if (semId >= 0) {
        // The kernel zeroes a new set: the registration count starts at 0 without our help, and
        // writing it would erase a registration that another process made meanwhile.
        if (!xnsysv::SetValue(semId, kLock, 1)) {
            xnsysv::RemoveSet(semId);
            semId = -1;
        }
    } else if (key != -1 && errno == EEXIST) {
        semId = semget(key, kMutexSemCount, 0666);
    }
    if (semId < 0) {
        close(pMutex->hSemFile);
        pMutex->hSemFile = -1;
        return XN_STATUS_OS_MUTEX_CREATION_FAILED;
    }

    sembuf reg = {kRegistered, 1, SEM_UNDO};
    if (xnsysv::Operate(semId, &reg, 1, XN_WAIT_INFINITE) != 0) {
        close(pMutex->hSemFile);
        pMutex->hSemFile = -1;
        return XN_STATUS_OS_MUTEX_CREATION_FAILED;
    }
    pMutex->NamedSem = semId;
    return XN_STATUS_OK;
}

XnStatus xnOSNamedMutexLock(XnMutex* pMutex, XnUInt32 nMilliseconds) {
    // SEM_UNDO gives the lock back when its holder ends without unlocking.
    sembuf take = {kLock, -1, SEM_UNDO};
    const int rc = xnsysv::Operate(pMutex->NamedSem, &take, 1, nMilliseconds);
    if (rc == 0) return XN_STATUS_OK;
    return rc == EAGAIN ? XN_STATUS_OS_MUTEX_TIMEOUT : XN_STATUS_OS_MUTEX_LOCK_FAILED;
}

XnStatus xnOSNamedMutexUnlock(XnMutex* pMutex) {
    sembuf give = {kLock, 1, SEM_UNDO};
    if (xnsysv::Operate(pMutex->NamedSem, &give, 1, XN_WAIT_INFINITE) != 0) return XN_STATUS_OS_MUTEX_UNLOCK_FAILED;
    return XN_STATUS_OK;
}

XnStatus xnOSNamedMutexClose(XnMutex* pMutex) {
    sembuf unreg = {kRegistered, -1, SEM_UNDO | IPC_NOWAIT};
    if (xnsysv::Operate(pMutex->NamedSem, &unreg, 1, XN_WAIT_INFINITE) != 0) return XN_STATUS_OS_MUTEX_CLOSE_FAILED;
    if (xnsysv::GetValue(pMutex->NamedSem, kRegistered) == 0) {
        xnsysv::RemoveSet(pMutex->NamedSem);
        xnOSDeleteFile(pMutex->csSemFileName);
    }
    close(pMutex->hSemFile);
    pMutex->hSemFile = -1;
    return XN_STATUS_OK;
}

XnLinuxNamedEvent* xnOSNewNamedEvent(XnBool bManualReset, const XnChar* cpEventName, XnBool bCreate) {
    return new (std::nothrow) XnLinuxSysVNamedEvent(bManualReset, cpEventName, bCreate);
}
