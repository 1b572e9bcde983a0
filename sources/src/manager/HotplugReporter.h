#pragma once
#include <condition_variable>
#include <memory>

#include "MessageType.h"
#include "Mutex.h"
#include "Torvane_api.h"

// Tells the application's hot-plug callback that a camera appeared or was removed, each
// report on a detached thread of its own, so that the main loop never waits for the
// application. Reports in flight are counted, so that the manager's release can wait until
// none runs any more.
class HotplugReporter {
public:
    HotplugReporter();
    HotplugReporter(const HotplugReporter&) = delete;
    HotplugReporter& operator=(const HotplugReporter&) = delete;

    void SetCallback(QlHotPlugStatusCallback callback, const void* userData) EXCLUDES(m_state->lock);
    // The report carries its own copy of the camera's record.
    void Report(const QlDeviceInfo& info, MessageType message) EXCLUDES(m_state->lock);
    // Returns once every report has returned from the callback. From inside a report it
    // waits for the others only.
    void WaitIdle() EXCLUDES(m_state->lock);

private:
    // Shared with the report threads: one may still be finishing after its manager is gone,
    // when the callback itself released the manager.
    struct State {
        Mutex lock;
        std::condition_variable idle;
        QlHotPlugStatusCallback callback GUARDED_BY(lock) = nullptr;
        void* userData GUARDED_BY(lock) = nullptr;
        int inFlight GUARDED_BY(lock) = 0;
    };

    static void Deliver(const std::shared_ptr<State>& state, const QlDeviceInfo& info, MessageType message)
        EXCLUDES(state->lock);

    std::shared_ptr<State> m_state;
};
