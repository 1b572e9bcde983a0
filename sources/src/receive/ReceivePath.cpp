#include "ReceivePath.h"

#include <algorithm>
#include <chrono>

#include "DeviceCommonProtocol.h"
#include "StatusCodes.h"
#include "Sync.h"
#include "ToF_API.h"
#include "log.h"

namespace {

// A pause of the receive thread while there is nothing to read: short, and never a spin.
constexpr std::chrono::milliseconds kReadPause{10};
// How often a frame request looks at the stream and connect flags while Sync has nothing.
constexpr std::chrono::milliseconds kWaitSlice{10};
constexpr uint32_t kTimeoutLines = 3;  // " timeout" lines in a row: a silent camera does not flood the log
constexpr int kIntrinsicCount = 9;     // the 3 x 3 camera matrix
constexpr int kDistortionCount = 8;    // the distortion coefficients

}  // namespace

ReceivePath::ReceivePath(const char* threadName, DeviceCommonProtocol& control, ToF_API& tof, Color_API* color,
                         std::unique_ptr<RecordDispatch> dispatch, std::initializer_list<DeviceFrameSpec> frames,
                         std::unique_ptr<APIImgPreProcess> preProcess, receive::Clock clock)
    : StoppableThread(threadName),
      m_control(control),
      m_tag(control.GetDeviceSN()),
      m_tofApi(tof),
      m_preProcess(std::move(preProcess)),
      m_sync(std::make_unique<Sync>(tof, color, clock)),
      m_dispatch(std::move(dispatch)),
      m_errors(m_tag),
      m_walker(*m_dispatch, m_errors, m_tag),
      m_rawBuffer(std::make_unique<uint8_t[]>(kRawBufferSize)),
      m_handout(frames, m_tag, std::move(clock)) {
    m_sync->SetSyncEnable(true);
    if (m_preProcess) m_preProcess->SetDeviceTag(m_tag);
}

// The thread runs only this class's Run, over members of this class: stopping it here is
// early enough.
ReceivePath::~ReceivePath() { Close(); }

Consumer* ReceivePath::SyncConsumer() { return m_sync.get(); }

int ReceivePath::Init() {
    // The answers are not kept: answering prepares the plug-in's own undistortion.
    double intrinsic[kIntrinsicCount] = {};
    double distortion[kDistortionCount] = {};
    const int ret = m_tofApi.GetIntrinsic(intrinsic);
    if (ret != 0) {
        LOG_DEVICE(m_tag, "GetIntrinsic ret:%d is failed.", ret);
    } else {
        m_tofApi.GetDistortion(distortion);
    }
    m_sync->SetSyncEnable(true);
    if (!m_sync->IsRunning()) {
        m_sync->Init();
        m_sync->Start();
    }
    SetStream(m_streamEnabled);
    SetConnectStatus(true);
    return ret;
}

void ReceivePath::SetStream(bool enable) {
    LOG_DEVICE(m_tag, "enable:%d", enable ? 1 : 0);
    m_streamEnabled = enable;
    m_sync->SetStream(enable);
}

int ReceivePath::SetConnectStatus(bool connected) {
    LOG_DEVICE(m_tag, "isConnect:%d", connected ? 1 : 0);
    m_connectStatus = connected;
    return 0;
}

void ReceivePath::Close() {
    // A closed device hands nothing on until its next stream start; a frame request still
    // waiting ends now.
    m_streamEnabled = false;
    m_sync->Stop();
    Stop();
    { LockGuard lock(m_pauseMutex); }
    m_pauseCond.notify_all();
    m_sync->Join();
    Join();
}

void ReceivePath::Pause() {
    UniqueLock lock(m_pauseMutex);
    m_pauseCond.wait_for(lock.Native(), kReadPause, [this] { return !IsRunning(); });
}

void ReceivePath::Run() {
    uint32_t readErrorCount = 0;
    while (IsRunning()) {
        if (!m_connectStatus) {
            Pause();
            continue;
        }
        int length = 0;
        const int ret = m_control.ReadData(m_rawBuffer.get(), kRawBufferSize, &length);
        if (ret != 0) {
            // One line per run of failures; a closed transport fails every 30 ms.
            if (readErrorCount++ == 0) LOG_DEVICE(m_tag, "ReadData ret:%d", ret);
            Pause();
            continue;
        }
        readErrorCount = 0;
        // Nothing read: a time-out has waited already, a closed connection returns at once
        // and must not spin.
        if (length <= 0) {
            Pause();
            continue;
        }
        ProcessData(length, m_rawBuffer.get());
    }
}

void ReceivePath::ProcessData(int size, uint8_t* buffer) {
    if (buffer == nullptr) {
        buffer = m_rawBuffer.get();
        size = std::min(size, kRawBufferSize);
    }
    const WalkResult walk = m_walker.Walk(buffer, size);
    if (m_dispatch->Claimed()) ++m_frameIndex;
    if (m_streamEnabled) m_dispatch->Deliver(FrameSyncInfo{m_frameIndex, walk.frameTypeBits, walk.timestamp});
}

int ReceivePath::WaitForGroup(unsigned short waitMs, SyncFrame& group) {
    using Steady = std::chrono::steady_clock;
    const Steady::time_point deadline = Steady::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Steady::now());
        const auto slice = std::clamp(left, std::chrono::milliseconds(0), kWaitSlice);
        const int answer = m_sync->GetSyncFrame(static_cast<unsigned short>(slice.count()), group);
        if (answer != 0 || !m_streamEnabled || !m_connectStatus || Steady::now() >= deadline) return answer;
    }
}

int ReceivePath::PrepareNextFrame(unsigned short waitMs, FrameReady* ready) {
    if (ready == nullptr) return status::kNoFrameData;
    *ready = 0;
    if (!m_connectStatus) return status::kFailed;
    if (!m_streamEnabled) return status::kStreamNotStarted;
    m_handout.ClearReady();
    SyncFrame group{};
    group.depthFrame = m_handout.Destination(FRAME_DEPTH);
    group.irFrame = m_handout.Destination(FRAME_IR);
    group.confidenceFrame = m_handout.Destination(FRAME_CONFIDENCE);
    group.colorFrame = m_handout.Destination(FRAME_COLOR);
    const int answer = WaitForGroup(waitMs, group);
    int result = status::kFrameTooOld;
    if (answer == 1) {
        m_handout.SetReady(FRAME_DEPTH, group.hasDepth != 0);
        m_handout.SetReady(FRAME_IR, group.hasIR != 0);
        m_handout.SetReady(FRAME_CONFIDENCE, group.hasConfidence != 0);
        m_handout.SetReady(FRAME_COLOR, group.hasColor != 0);
        OnFreshGroup(group);
        m_timeoutsInARow = 0;
        result = 0;
    } else if (answer == 0) {
        // The wait also ends when the stream stops or the camera leaves.
        if (!m_connectStatus) return status::kFailed;
        if (!m_streamEnabled) return status::kStreamNotStarted;
        if (m_timeoutsInARow++ < kTimeoutLines) LOG_DEVICE(m_tag, " timeout");
        result = status::kNoFrameInTime;
    }
    *ready = m_handout.ReadyBits();
    if (result == 0) m_handout.MarkPrepared();
    return result;
}

int ReceivePath::GetFrame(FrameType type, Frame* out) {
    if (out == nullptr) return status::kNoFrameData;
    return m_handout.Take(type, out);
}

int ReceivePath::GetErrMsg(QlDeviceErrorInfo* out) const { return m_errors.GetErrMsg(out); }
