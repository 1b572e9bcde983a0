#include "StoppableThread.h"

#include <cerrno>
#include <cstdint>

#include "XnStatusCodes.h"
#include "log.h"

StoppableThread::StoppableThread(const char* name) : mThreadName(name != nullptr ? name : "") {}

StoppableThread::~StoppableThread() {
    bool hasThread;
    {
        LockGuard guard(mHandleLock);
        hasThread = mPtrThreadHandle != nullptr;
    }
    if (hasThread) {
        Stop();
        Join();
    }
}

int StoppableThread::Start() {
    LockGuard guard(mHandleLock);
    if (mPtrThreadHandle != nullptr) {
        LOG_PRINTF("Do not repeat invoke Start:%s, if not Stop previous.", mThreadName.c_str());
        return 0;
    }
    mWorkerId = std::thread::id();
    mThreadState = kRunning;
    const XnStatus ret = xnOSCreateThread(&StoppableThread::ThreadFunc, this, &mPtrThreadHandle);
    if (ret != XN_STATUS_OK) {
        const int error = errno;
        mThreadState = kNeverStarted;
        mPtrThreadHandle = nullptr;
        LOG_PRINTF("%s xnOSCreateThread is failed. ret:%d, error:%d", mThreadName.c_str(), static_cast<int>(ret),
                   error);
    }
    return 0;
}

void StoppableThread::Stop() {
    {
        LockGuard guard(mHandleLock);
        LOG_PRINTF("%s mPtrThreadHandle:%d", mThreadName.c_str(), HandleValue());
    }
    mThreadState = kStopRequested;
}

void StoppableThread::Join() {
    XN_THREAD_HANDLE handle;
    {
        LockGuard guard(mHandleLock);
        LOG_PRINTF("%s mPtrThreadHandle:%d begin", mThreadName.c_str(), HandleValue());
        if (mPtrThreadHandle != nullptr && mWorkerId.load() == std::this_thread::get_id()) {
            // Waiting here would wait for our own end: let the thread release itself.
            pthread_detach(*mPtrThreadHandle);
            xnOSCloseThread(&mPtrThreadHandle);
            LOG_PRINTF("%s end", mThreadName.c_str());
            return;
        }
        handle = mPtrThreadHandle;
        mPtrThreadHandle = nullptr;
    }
    if (handle != nullptr) {
        XnStatus ret = xnOSWaitForThreadExit(handle, kJoinLateMs);
        LOG_PRINTF("%s ret:%d", mThreadName.c_str(), static_cast<int>(ret));
        if (ret == XN_STATUS_OS_THREAD_TIMEOUT) {
            LOG_PRINTF("%s is late, waiting for it to end", mThreadName.c_str());
            ret = xnOSWaitForThreadExit(handle, XN_WAIT_INFINITE);
            LOG_PRINTF("%s ret:%d", mThreadName.c_str(), static_cast<int>(ret));
        }
        xnOSCloseThread(&handle);
    }
    LOG_PRINTF("%s end", mThreadName.c_str());
}

void* StoppableThread::ThreadFunc(void* pThreadParam) {
    if (pThreadParam == nullptr) {
        LOG_PRINTF("pThreadParam:%p is invalid.", pThreadParam);
        return nullptr;
    }
    StoppableThread* self = static_cast<StoppableThread*>(pThreadParam);
    self->mWorkerId = std::this_thread::get_id();
    // A worker that joined itself may have been destroyed by the time Run returns.
    const std::string name = self->mThreadName;
    self->Run();
    LOG_PRINTF("%s Exit.", name.c_str());
    return nullptr;
}

int StoppableThread::HandleValue() const { return static_cast<int>(reinterpret_cast<intptr_t>(mPtrThreadHandle)); }
