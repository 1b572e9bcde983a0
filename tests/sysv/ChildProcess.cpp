#include "ChildProcess.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

bool Channel::Send(int32_t value) const {
    return write(mWrite, &value, sizeof(value)) == static_cast<ssize_t>(sizeof(value));
}

bool Channel::Receive(int32_t* value, int timeoutMs) const {
    pollfd readable{mRead, POLLIN, 0};
    if (poll(&readable, 1, timeoutMs) != 1) {
        return false;
    }
    return read(mRead, value, sizeof(*value)) == static_cast<ssize_t>(sizeof(*value));
}

ChildProcess::ChildProcess(const std::function<int(const Channel&)>& body) {
    int toChild[2];
    int toParent[2];
    if (pipe(toChild) != 0) {
        return;
    }
    if (pipe(toParent) != 0) {
        close(toChild[0]);
        close(toChild[1]);
        return;
    }
    mPid = fork();
    if (mPid == 0) {
        close(toChild[1]);
        close(toParent[0]);
        _exit(body(Channel(toChild[0], toParent[1])));
    }
    close(toChild[0]);
    close(toParent[1]);
    mFds[0] = toParent[0];
    mFds[1] = toChild[1];
    mLink = Channel(toParent[0], toChild[1]);
}

ChildProcess::~ChildProcess() {
    if (mPid > 0) {
        Kill();
        waitpid(mPid, nullptr, 0);
    }
    for (int fd : mFds) {
        if (fd >= 0) {
            close(fd);
        }
    }
}

int ChildProcess::Wait(int timeoutMs) {
    if (mPid <= 0) {
        return -1;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int status = 0;
    while (waitpid(mPid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    mPid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void ChildProcess::Kill() {
    if (mPid > 0) {
        kill(mPid, SIGKILL);
    }
}
