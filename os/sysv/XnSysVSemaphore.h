// Small helpers over System V semaphore sets, shared by the named mutex and the named event.
#pragma once
#include <sys/sem.h>

#include <cstddef>

#include "XnOS.h"

namespace xnsysv {

// Runs the operations as one atomic step: without limit for XN_WAIT_INFINITE, else for at
// most nMilliseconds (0 does not block). 0 on success, else the errno of the failure; EAGAIN
// when the time passed or a non-blocking step would have waited.
int Operate(int semId, sembuf* ops, size_t count, XnUInt32 nMilliseconds);

// The value of one semaphore, or -1.
int GetValue(int semId, int semNum);
bool SetValue(int semId, int semNum, int value);
void RemoveSet(int semId);

// Opens (with create, mode 0777) the key file at path; -1 on failure.
int OpenKeyFile(const XnChar* path);

}  // namespace xnsysv
