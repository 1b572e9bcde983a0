#pragma once
#include <cstdint>

#include "CameraTag.h"
#include "Frame.h"
#include "FrameQueue.h"
#include "RawDump.h"
#include "ToFRecordHead.h"

// The hand-over of ToF records from the kit's receive thread to the decode thread: checks
// a record, dumps it when armed, copies it once into a pooled raw frame and queues it.
// At most two raw frames wait; when the decoder falls behind the oldest is dropped.
class RecordIntake {
public:
    explicit RecordIntake(const CameraTag& tag);
    ~RecordIntake();
    RecordIntake(const RecordIntake&) = delete;
    RecordIntake& operator=(const RecordIntake&) = delete;

    // Takes one record from the receive thread. With `queue` off (the decoder's stream is
    // off) the copy stays in the frame being filled and the next record overwrites it.
    void Take(const uint8_t* record, int size, const FrameSyncInfo& info, bool queue);
    void ArmDump() { m_dump.Arm(); }

    // The decoder's side.
    int GetRawData(Frame** out);
    int RecycleRawFrame(Frame* frame);
    // Makes waiting and later GetRawData calls return at once, so a stopping decoder is not
    // held for the queue's wait; Rearm lets them wait again.
    void Wake() { m_rawQueue.Wake(); }
    void Rearm() { m_rawQueue.Rearm(); }

private:
    static constexpr uint32_t kQueuedFrames = 2;
    // The queued two, the one being filled, the one being decoded, and one to spare.
    static constexpr uint32_t kPoolFrames = 5;

    // Copies the whole record into the frame being filled; false when there is no frame.
    bool Copy(const uint8_t* record, const ToFRecordHead& head);
    void Queue(const FrameSyncInfo& info);

    const CameraTag& m_tag;
    RawDump m_dump;
    FrameQueue m_rawQueue;
    Frame* m_rawFrame;  // the frame being filled; null while the pool is empty
};
