#pragma once
#include <functional>

#include "CommonControl.h"

// The id bit of a command that the camera answers: set for every get, and always answered
// for the ids of 0x80 or above.
constexpr int kReplyWanted = 0x80;

// One camera's transport: a command connection and a data connection. It frames bytes
// and knows nothing of command ids or records.
class IO {
public:
    virtual ~IO() = default;
    // 0 both connections stand (also when already open); -255 command connection or bind
    // failed; -13 data connection failed.
    virtual int OpenDevice() = 0;
    virtual int CloseDevice() = 0;
    // Sends the first min(len, 64) bytes of buf; for ids with bit 7 set (gets, and ids of
    // 0x80 or above) copies at most bufSize reply bytes back into buf. 0, or -104 (also when
    // no reply examined carries the id sent; buf then stays as it was).
    virtual int SetCmd(int cmd, char* buf, int bufSize, unsigned char len, CMDTYPE type) = 0;
    // Reads one data frame of at most capacity payload bytes into buf; 0 when a frame was
    // read or nothing arrived, -1 on failure (*len is then 0 when a head was read).
    virtual int ReadData(unsigned char* buf, int capacity, int* len) = 0;
    // True once a read found the data connection closed or reset by the camera, or its stream
    // out of step (a silence inside a frame, bytes that are no frame's), until the next open:
    // frames cannot come back without a reconnect.
    virtual bool DataLinkLost() const = 0;
    // Called on the reading thread when a read finds the data connection lost that way (not
    // when the host shut it down), so that whoever watches the camera hears of it at once.
    // Set once, before the transport is shared with other threads; it must not block.
    virtual void SetDataLinkLostHook(std::function<void()> hook) = 0;
    virtual const char* GetHostIp() const = 0;
    virtual const char* GetDeviceSN() const = 0;
    // Shuts both connections down so that blocked readers return at once; the sockets are
    // kept until CloseDevice.
    virtual void Shutdown() = 0;
};
