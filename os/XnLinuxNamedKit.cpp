// The kit's build of the named objects: named mutexes are not available, named events rest on
// POSIX named semaphores.
#include <new>

#include "XnLinuxEvent.h"
#include "XnLinuxNamedSeam.h"

XnStatus xnOSNamedMutexCreate(XnMutex*, const XnChar*) { return XN_STATUS_OS_MUTEX_CREATION_FAILED; }
// A named record never reaches these in the kit (creation always fails); they succeed.
XnStatus xnOSNamedMutexLock(XnMutex*, XnUInt32) { return XN_STATUS_OK; }
XnStatus xnOSNamedMutexUnlock(XnMutex*) { return XN_STATUS_OK; }
XnStatus xnOSNamedMutexClose(XnMutex*) { return XN_STATUS_OK; }

XnLinuxNamedEvent* xnOSNewNamedEvent(XnBool bManualReset, const XnChar* cpEventName, XnBool bCreate) {
    return new (std::nothrow) XnLinuxPosixNamedEvent(bManualReset, cpEventName, bCreate);
}
