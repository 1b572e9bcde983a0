#pragma once
#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "Mutex.h"
#include "XnOS.h"

// Base of every named worker thread. A subclass supplies Run, a loop that polls IsRunning
// and returns once it turns false. Stop only asks; Join waits for the thread's end and never
// cancels it (a cancelled thread could leave a lock held for ever).
//
// Every subclass must call Stop and Join in its own destructor: the base destructor runs
// after the subclass's members are gone, while the thread may still be inside its Run.
class StoppableThread {
public:
    explicit StoppableThread(const char* name);
    virtual ~StoppableThread();
    StoppableThread(const StoppableThread&) = delete;
    StoppableThread& operator=(const StoppableThread&) = delete;

    // Starts the thread unless one exists (still not joined); always 0. Callers that need to
    // know whether it started read IsRunning.
    int Start() EXCLUDES(mHandleLock);
    void Stop() EXCLUDES(mHandleLock);
    // Waits for the thread and releases its handle. Called from the worker itself it does not
    // wait: the thread is detached instead.
    void Join() EXCLUDES(mHandleLock);
    bool IsRunning() const { return mThreadState == kRunning; }

    static void* ThreadFunc(void* pThreadParam);

protected:
    virtual void Run() = 0;

private:
    static constexpr int32_t kNeverStarted = -1;
    static constexpr int32_t kStopRequested = 0;
    static constexpr int32_t kRunning = 1;
    // How long Join waits before it reports the thread late.
    static constexpr uint32_t kJoinLateMs = 300;

    int HandleValue() const REQUIRES(mHandleLock);

    // The worker may join itself while the controlling thread starts or joins it.
    Mutex mHandleLock;
    XN_THREAD_HANDLE mPtrThreadHandle GUARDED_BY(mHandleLock) = nullptr;
    std::atomic<int32_t> mThreadState{kNeverStarted};
    const std::string mThreadName;
    std::atomic<std::thread::id> mWorkerId{};
};
