#include "RecordIntake.h"

#include <cstring>

#include "StatusCodes.h"

RecordIntake::RecordIntake(const CameraTag& tag)
    : m_tag(tag),
      m_rawQueue(FRAME_RAW_TOF, kQueuedFrames, kPoolFrames),
      m_rawFrame(m_rawQueue.AllocFrame(FRAME_RAW_TOF)) {}

RecordIntake::~RecordIntake() { m_rawQueue.RecycleFrame(m_rawFrame); }

void RecordIntake::Take(const uint8_t* record, int size, const FrameSyncInfo& info, bool queue) {
    ToFRecordHead head;
    if (!ToFRecordHead::Read(record, size, head)) {
        CAMERA_LOG(m_tag, "dataSize:%d is invalid.", size);
        return;
    }
    // Signed: a record shorter than its head has a negative room and is dropped here.
    const int unused = size - ToFRecordHead::kSize;
    if (head.length > unused) {
        CAMERA_LOG(m_tag, "dataSize:%d typeId:%d dataLenth.lenth:%d   unUsed:%d   >", size, head.type, head.length,
                   unused);
        return;
    }
    bool copied = false;
    if (head.HasExpectedLength()) {
        if (m_dump.Armed()) {
            m_dump.Write(info.frameIndex, record + ToFRecordHead::kSize, static_cast<size_t>(head.length));
        }
        copied = Copy(record, head);
    } else if (head.IsToF()) {
        CAMERA_LOG(m_tag, "bufferSize:%d typeId:0x%x lenth:%d unUsed:%d", size, head.type, head.length, unused);
    }
    m_dump.Count();
    if (copied && queue) {
        Queue(info);
    }
}

bool RecordIntake::Copy(const uint8_t* record, const ToFRecordHead& head) {
    if (m_rawFrame == nullptr) {
        // The pool ran empty at an earlier record; try again now.
        m_rawFrame = m_rawQueue.AllocFrame(FRAME_RAW_TOF);
        if (m_rawFrame == nullptr) {
            return false;
        }
    }
    const uint32_t bytes = static_cast<uint32_t>(head.length) + ToFRecordHead::kSize;
    if (bytes > m_rawFrame->capacity) {
        CAMERA_LOG(m_tag, "typeId:0x%x lenth:%u exceeds the raw frame's %u bytes.", head.type, bytes,
                   m_rawFrame->capacity);
        return false;
    }
    std::memcpy(m_rawFrame->data, record, bytes);
    m_rawFrame->length = bytes;
    return true;
}

void RecordIntake::Queue(const FrameSyncInfo& info) {
    m_rawFrame->frameIndex = info.frameIndex;
    m_rawFrame->hasFrameType = info.hasFrameType;
    m_rawFrame->timestamp = info.timestamp;
    m_rawQueue.Push(m_rawFrame);
    m_rawFrame = m_rawQueue.AllocFrame(FRAME_RAW_TOF);
}

int RecordIntake::GetRawData(Frame** out) {
    if (out == nullptr) {
        return status::kNullArgument;
    }
    *out = m_rawQueue.Pop(FRAME_RAW_TOF);
    return *out != nullptr ? 0 : status::kFailed;
}

int RecordIntake::RecycleRawFrame(Frame* frame) { return m_rawQueue.RecycleFrame(frame); }
