#pragma once
#include <sys/types.h>

#include <cstdint>
#include <functional>

// One end of the two pipes between a test and its forked child.
class Channel {
public:
    Channel(int readFd, int writeFd) : mRead(readFd), mWrite(writeFd) {}
    bool Send(int32_t value) const;
    // False when nothing came within timeoutMs or the other end went.
    bool Receive(int32_t* value, int timeoutMs) const;

private:
    int mRead;
    int mWrite;
};

// A forked child that runs body and exits with its result; killed and reaped at the latest
// when the object goes. The child must not use the test framework's assertions.
class ChildProcess {
public:
    explicit ChildProcess(const std::function<int(const Channel&)>& body);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    const Channel& Link() const { return mLink; }
    // The exit status, or -1 when the child did not exit (in time, or by a signal).
    int Wait(int timeoutMs);
    void Kill();

private:
    pid_t mPid = -1;
    int mFds[4] = {-1, -1, -1, -1};
    Channel mLink{-1, -1};
};
