#pragma once
#include <chrono>
#include <functional>
#include <thread>

// Every time-out, pause and retry count of the camera link, in one place.
namespace linktiming {

using std::chrono::milliseconds;

// Transport.
constexpr milliseconds kCmdReadWait{2005};        // one read of the command connection
constexpr milliseconds kDataReadWait{1005};       // one read of the data connection
constexpr milliseconds kFollowUpReplyWait{100};   // each further reply after an id mismatch
constexpr milliseconds kConnectTimeout{3000};     // a dead address must not hold the caller
constexpr milliseconds kConnectRetryPause{1000};  // after a failed connect
constexpr milliseconds kClosedReadPause{30};      // ReadData on a closed transport
constexpr int kRepliesExamined = 5;               // reply bodies looked at for a matching id
// Once a data frame has begun, its rest may come however slowly, but a silence longer than this
// inside it means the stream can no longer be kept in step: the data link is lost.
constexpr milliseconds kInFrameSilence{3000};
// A reply whose head has come is read (or, over the reply limit, drained) whole within this,
// else the command link is lost: a trickling reply must not hold every later command.
constexpr milliseconds kReplyReadBound{3000};

// The waits of the data connection's reads; tests shorten them.
struct DataWaits {
    milliseconds betweenFrames = kDataReadWait;  // for the first byte of the next frame
    milliseconds insideFrame = kInFrameSilence;  // for each further piece of a frame begun
};

// Command set.
constexpr int kReadBackReads = 5;
constexpr milliseconds kReadBackPause{10};
constexpr int kWorkModeReads = 12;
constexpr milliseconds kWorkModePause{100};
constexpr milliseconds kFrameRatePause{500};  // before a frame-rate set goes out
constexpr milliseconds kTriggerPause{10};     // after a software trigger

// Pauses the caller; tests inject their own to stay fast.
using SleepFunction = std::function<void(milliseconds)>;
inline void SleepFor(milliseconds duration) { std::this_thread::sleep_for(duration); }

}  // namespace linktiming
