// The seam between the OS layer and its named objects. The kit's build (XnLinuxNamedKit.cpp)
// refuses named mutexes and makes POSIX-semaphore named events; the plug-ins' build puts its
// System V variant behind the same functions.
#pragma once
#include "XnOS.h"

class XnLinuxNamedEvent;

// pMutex is zero-filled with bIsNamed set; a failure leaves nothing to undo but the record.
XnStatus xnOSNamedMutexCreate(XnMutex* pMutex, const XnChar* cpMutexName);
XnStatus xnOSNamedMutexLock(XnMutex* pMutex, XnUInt32 nMilliseconds);
XnStatus xnOSNamedMutexUnlock(XnMutex* pMutex);
// Releases what the named variant holds; on failure the record is kept.
XnStatus xnOSNamedMutexClose(XnMutex* pMutex);

// A new named event object (null when out of memory); the name is borrowed.
XnLinuxNamedEvent* xnOSNewNamedEvent(XnBool bManualReset, const XnChar* cpEventName, XnBool bCreate);
