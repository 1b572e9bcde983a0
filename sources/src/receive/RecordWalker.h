#pragma once
#include <cstdint>

class DeviceErrorList;
class RecordDispatch;

// What one data frame's walk gathered; it stays when the walk stops early.
struct WalkResult {
    uint8_t frameTypeBits = 0;  // HasFrameType bits of every claimed sensor record
    uint64_t timestamp = 0;     // the last device timestamp record, 0 when none
};

// Walks the records of one data frame's payload in place: the host's records (device
// timestamp, device error list) are taken, two kinds are skipped, and every other record
// is offered to the plug-ins through the dispatch. A record that does not fit the data
// frame ends the walk with one log line.
class RecordWalker {
public:
    RecordWalker(RecordDispatch& dispatch, DeviceErrorList& errors, const char* tag)
        : m_dispatch(dispatch), m_errors(errors), m_tag(tag) {}

    WalkResult Walk(uint8_t* payload, int size);

private:
    enum class Step { Next, Stop };
    Step TakeRecord(uint8_t* record, int remaining, int size, WalkResult& result);
    void LogStray(int size, int unused) const;

    RecordDispatch& m_dispatch;
    DeviceErrorList& m_errors;
    const char* m_tag;
};
