#pragma once

// The kind of a camera command, as the transport frames it. The plug-ins pass it as a
// plain int.
enum CMDTYPE : int {
    CMDTYPE_SET = 1,  // no reply is read for ids below 0x80
    CMDTYPE_GET = 2,  // the reply's data is copied into the caller's buffer
};

// The command interface a sensor plug-in receives in its Init. The plug-in borrows it; the
// device owns the object behind it. The slot order is part of the plug-in boundary.
class CommonControl {
public:
    virtual int SetCmd(int cmd, char* buf, int bufSize, unsigned char len, int cmdType) = 0;
    virtual const char* GetHostIP() = 0;
    virtual const char* GetDeviceSN() = 0;
    virtual int SetStreamState(bool on) = 0;
    virtual ~CommonControl() = default;
};
