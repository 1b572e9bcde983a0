#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <initializer_list>
#include <memory>

#include "APIImgPreProcess.h"
#include "DeviceErrorList.h"
#include "Frame.h"
#include "FrameHandout.h"
#include "ImageProc.h"
#include "Mutex.h"
#include "QlTypes.h"
#include "ReceiveClock.h"
#include "RecordDispatch.h"
#include "RecordWalker.h"
#include "StoppableThread.h"
#include "SyncFrame.h"

class Color_API;
class Consumer;
class DeviceCommonProtocol;
class Sync;
class ToF_API;

// The frame pipeline of one open camera: the receive thread reads one data frame at a time
// from the data connection, walks its records and hands the claimed sensor records to the
// plug-ins; Sync groups what they decode, and a frame request copies the newest group into
// the device's own frames. The camera kinds differ only in their record dispatch and in the
// frames they hand out.
//
// Threads: the receive thread walks data frames; SetStream, SetConnectStatus and GetErrMsg
// may be called from any thread; PrepareNextFrame and GetFrame run under the device's
// stream lock. The device shuts its transport down before Close, so that a read in flight
// returns at once.
class ReceivePath : public StoppableThread, public ImageProc {
public:
    // Allocated once and large enough for every data frame a camera sends, so that records
    // are examined in place and nothing is allocated per frame.
    static constexpr int kRawBufferSize = 8235454;
    static constexpr uint32_t kToFFrameBytes = 614400;  // 640 x 480 pixels of 2 bytes, the largest ToF frame

    ~ReceivePath() override;
    ReceivePath(const ReceivePath&) = delete;
    ReceivePath& operator=(const ReceivePath&) = delete;

    // The first stream start after each open: lets the plug-in prepare its undistortion,
    // starts Sync's thread when it does not run and switches reading on. The frames flow
    // even when the plug-in has no intrinsics; that failure is logged and returned.
    int Init();
    // Sensor records reach the plug-ins only while on. Switching off ends a waiting
    // PrepareNextFrame.
    virtual void SetStream(bool enable);
    // Cleared when the camera leaves: reading stops and a waiting PrepareNextFrame ends
    // with -1. Always 0.
    int SetConnectStatus(bool connected);
    // Switches the stream off and stops and joins Sync's thread and the receive thread.
    void Close() EXCLUDES(m_pauseMutex);

    // Waits up to waitMs for a fresh group and copies it into the device's frames. 0 with the
    // ready bits; -1 camera gone, -108 stream off, -11 nothing within the wait, -23 the group
    // was published more than 1000 ms earlier (no ready bits), -5 null `ready`.
    int PrepareNextFrame(unsigned short waitMs, FrameReady* ready);
    // Hands a prepared frame out once: -5 null `out`, -4 not ready or an invalid kind, -23
    // (with `out` filled) more than 1000 ms after the last successful PrepareNextFrame.
    virtual int GetFrame(FrameType type, Frame* out);
    // The camera's last device error list; the number of its texts.
    int GetErrMsg(QlDeviceErrorInfo* out) const;
    // Null when the preprocessing library gave no object.
    APIImgPreProcess* GetPreProcess() const { return m_preProcess.get(); }

    // Walks one data frame's payload (the receive buffer when `buffer` is null) and hands
    // the claimed records on. Called by the receive thread; tests call it directly.
    void ProcessData(int size, uint8_t* buffer = nullptr);

protected:
    ReceivePath(const char* threadName, DeviceCommonProtocol& control, ToF_API& tof, Color_API* color,
                std::unique_ptr<RecordDispatch> dispatch, std::initializer_list<DeviceFrameSpec> frames,
                std::unique_ptr<APIImgPreProcess> preProcess, receive::Clock clock);

    void Run() override;
    // Sync's Consumer side, for the plug-ins' Init.
    Consumer* SyncConsumer();
    Sync& GetSync() { return *m_sync; }
    FrameHandout& Handout() { return m_handout; }
    // A fresh group has just been copied into the device's frames (`group` names them);
    // a path that derives further images from it makes them here.
    virtual void OnFreshGroup(const SyncFrame& group) { static_cast<void>(group); }
    ToF_API& TofApi() { return m_tofApi; }

private:
    // Sync's wait for a group ends on a publication or on its own stop; this one also ends
    // on a stream stop or a leave.
    int WaitForGroup(unsigned short waitMs, SyncFrame& group);
    // Pauses the receive thread; Close ends the pause at once.
    void Pause() EXCLUDES(m_pauseMutex);

    DeviceCommonProtocol& m_control;
    const char* m_tag;
    ToF_API& m_tofApi;
    std::unique_ptr<APIImgPreProcess> m_preProcess;
    std::unique_ptr<Sync> m_sync;
    std::unique_ptr<RecordDispatch> m_dispatch;
    DeviceErrorList m_errors;
    RecordWalker m_walker;
    std::unique_ptr<uint8_t[]> m_rawBuffer;
    uint32_t m_frameIndex = 0;  // receive thread only; never reset while the object lives
    FrameHandout m_handout;
    std::atomic<bool> m_streamEnabled{true};
    std::atomic<bool> m_connectStatus{true};
    std::atomic<uint32_t> m_timeoutsInARow{0};
    // Guards no data: Close takes it between the stop and the wake, so that a pause which
    // saw the thread running is already waiting when woken.
    Mutex m_pauseMutex;
    std::condition_variable m_pauseCond;
};
