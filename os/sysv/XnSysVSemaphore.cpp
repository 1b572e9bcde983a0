#include "XnSysVSemaphore.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

namespace xnsysv {

namespace {

union SemArg {
    int val;
    semid_ds* buf;
    unsigned short* array;
};

timespec Now() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now;
}

// What is left of the wait that began at start, or false when nothing is.
bool Remaining(const timespec& start, XnUInt32 nMilliseconds, timespec* left) {
    const timespec now = Now();
    const long long elapsedNs = (now.tv_sec - start.tv_sec) * 1000000000LL + (now.tv_nsec - start.tv_nsec);
    const long long leftNs = static_cast<long long>(nMilliseconds) * 1000000LL - elapsedNs;
    if (leftNs <= 0) {
        return false;
    }
    left->tv_sec = static_cast<time_t>(leftNs / 1000000000LL);
    left->tv_nsec = static_cast<long>(leftNs % 1000000000LL);
    return true;
}

}  // namespace

int Operate(int semId, sembuf* ops, size_t count, XnUInt32 nMilliseconds) {
    if (nMilliseconds == XN_WAIT_INFINITE) {
        while (semop(semId, ops, count) != 0) {
            if (errno != EINTR) {
                return errno;
            }
        }
        return 0;
    }
    const timespec start = Now();
    timespec left{};
    xnOSGetTimeout(&left, nMilliseconds);
    // A signal handler may cut the wait short: go on for the rest of the time.
    while (semtimedop(semId, ops, count, &left) != 0) {
        if (errno != EINTR) {
            return errno;
        }
        if (!Remaining(start, nMilliseconds, &left)) {
            return EAGAIN;
        }
    }
    return 0;
}

int GetValue(int semId, int semNum) { return semctl(semId, semNum, GETVAL); }

bool SetValue(int semId, int semNum, int value) {
    SemArg arg;
    arg.val = value;
    return semctl(semId, semNum, SETVAL, arg) == 0;
}

void RemoveSet(int semId) { semctl(semId, 0, IPC_RMID); }

int OpenKeyFile(const XnChar* path) { return open(path, O_RDONLY | O_CREAT | O_CLOEXEC, 0777); }

}  // namespace xnsysv
