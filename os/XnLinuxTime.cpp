// Time of the OS layer. Every clock here is the wall clock.
// The load-time initialiser lives in this unit on purpose: the time stamps and time-outs that
// the rest of the layer references are here, so a static link that uses the layer keeps it.
#include <cerrno>
#include <cstring>
#include <ctime>

#include "XnOS.h"

XnOSTimer g_xnOSHighResGlobalTimer = {};
XnBool g_xnOSInitialized = FALSE;

XnStatus xnOSTimeInit() {
    if (g_xnOSInitialized) return XN_STATUS_OK;
    struct timespec now = {};
    if (clock_gettime(CLOCK_REALTIME, &now) == 0) {
        g_xnOSHighResGlobalTimer.tStartTime = now;
        g_xnOSHighResGlobalTimer.bHighRes = TRUE;
    }
    g_xnOSInitialized = TRUE;
    return XN_STATUS_OK;
}

namespace {
// Priority 101 runs before ordinary static constructors of the same library, so time stamps
// taken from other units' initialisers already count from the load.
__attribute__((constructor(101))) void xnOSLoadTimeInit() { xnOSTimeInit(); }

// Microseconds between start and now, in double precision.
XnStatus ElapsedMicros(const struct timespec& start, XnUInt64* pMicros) {
    struct timespec now;
    if (clock_gettime(CLOCK_REALTIME, &now) != 0) return XN_STATUS_OS_TIMER_QUERY_FAILED;
    double us =
        static_cast<double>(now.tv_sec - start.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec - start.tv_nsec) / 1e3;
    *pMicros = us > 0 ? static_cast<XnUInt64>(us) : 0;
    return XN_STATUS_OK;
}
}  // namespace

XnStatus xnOSGetTimeStamp(XnUInt64* nTimeStamp) {
    if (nTimeStamp == nullptr) return XN_STATUS_NULL_OUTPUT_PTR;
    XnUInt64 us = 0;
    XnStatus rc = ElapsedMicros(g_xnOSHighResGlobalTimer.tStartTime, &us);
    if (rc != XN_STATUS_OK) return rc;
    *nTimeStamp = us / 1000;
    return XN_STATUS_OK;
}

XnStatus xnOSGetHighResTimeStamp(XnUInt64* nTimeStamp) {
    if (nTimeStamp == nullptr) return XN_STATUS_NULL_OUTPUT_PTR;
    return ElapsedMicros(g_xnOSHighResGlobalTimer.tStartTime, nTimeStamp);
}

static XnStatus StartTimer(XnOSTimer* pTimer, XnBool bHighRes) {
    if (pTimer == nullptr) return XN_STATUS_NULL_INPUT_PTR;
    if (clock_gettime(CLOCK_REALTIME, &pTimer->tStartTime) != 0) return XN_STATUS_OS_TIMER_QUERY_FAILED;
    pTimer->bHighRes = bHighRes;
    return XN_STATUS_OK;
}

XnStatus xnOSStartTimer(XnOSTimer* pTimer) { return StartTimer(pTimer, FALSE); }
XnStatus xnOSStartHighResTimer(XnOSTimer* pTimer) { return StartTimer(pTimer, TRUE); }

XnStatus xnOSQueryTimer(XnOSTimer Timer, XnUInt64* pnTimeSinceStart) {
    if (pnTimeSinceStart == nullptr) return XN_STATUS_NULL_OUTPUT_PTR;
    XnUInt64 us = 0;
    XnStatus rc = ElapsedMicros(Timer.tStartTime, &us);
    if (rc != XN_STATUS_OK) return rc;
    *pnTimeSinceStart = Timer.bHighRes ? us : us / 1000;
    return XN_STATUS_OK;
}

XnStatus xnOSStopTimer(XnOSTimer* pTimer) {
    if (pTimer == nullptr) return XN_STATUS_NULL_INPUT_PTR;
    memset(pTimer, 0, sizeof(*pTimer));
    return XN_STATUS_OK;
}

XnStatus xnOSGetEpochTime(XnUInt32* nEpochTime) {
    if (nEpochTime == nullptr) return XN_STATUS_NULL_OUTPUT_PTR;
    *nEpochTime = static_cast<XnUInt32>(time(nullptr));
    return XN_STATUS_OK;
}

XnStatus xnOSSleep(XnUInt32 nMilliseconds) {
    // 64-bit arithmetic: ms * 1000 overflows 32 bits above about 71 minutes.
    XnUInt64 us = static_cast<XnUInt64>(nMilliseconds) * 1000u;
    struct timespec req;
    req.tv_sec = static_cast<time_t>(us / 1000000u);
    req.tv_nsec = static_cast<long>((us % 1000000u) * 1000u);
    struct timespec rem;
    // A signal does not cut the sleep short: continue with what is left.
    while (nanosleep(&req, &rem) != 0 && errno == EINTR) req = rem;
    return XN_STATUS_OK;
}

XnStatus xnOSGetMonoTime(struct timespec* pTime) {
    if (pTime == nullptr) return XN_STATUS_NULL_OUTPUT_PTR;
    if (clock_gettime(CLOCK_REALTIME, pTime) != 0) return XN_STATUS_OS_EVENT_WAIT_FAILED;
    return XN_STATUS_OK;
}

XnStatus xnOSGetTimeout(struct timespec* pTime, XnUInt32 nMilliseconds) {
    if (pTime == nullptr) return XN_STATUS_NULL_OUTPUT_PTR;
    pTime->tv_sec = nMilliseconds / 1000;
    pTime->tv_nsec = static_cast<long>(nMilliseconds % 1000) * 1000000L;
    return XN_STATUS_OK;
}

XnStatus xnOSGetAbsTimeout(struct timespec* pTime, XnUInt32 nMilliseconds) {
    if (pTime == nullptr) return XN_STATUS_NULL_OUTPUT_PTR;
    struct timespec now;
    if (clock_gettime(CLOCK_REALTIME, &now) != 0) return XN_STATUS_OS_EVENT_WAIT_FAILED;
    now.tv_sec += nMilliseconds / 1000;
    now.tv_nsec += static_cast<long>(nMilliseconds % 1000) * 1000000L;
    if (now.tv_nsec >= 1000000000L) {
        now.tv_sec += now.tv_nsec / 1000000000L;
        now.tv_nsec %= 1000000000L;
    }
    *pTime = now;
    return XN_STATUS_OK;
}
