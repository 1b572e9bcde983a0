// Memory, byte order and the environment query of the OS layer.
#include <cstdlib>
#include <cstring>

#include "XnOS.h"

void* xnOSMalloc(XnSizeT nAllocSize) { return malloc(nAllocSize); }
void* xnOSCalloc(XnSizeT nAllocNum, XnSizeT nAllocSize) { return calloc(nAllocNum, nAllocSize); }
void* xnOSRealloc(void* pMemory, XnSizeT nAllocSize) { return realloc(pMemory, nAllocSize); }
void xnOSFree(const void* pMemBlock) { free(const_cast<void*>(pMemBlock)); }

void* xnOSMallocAligned(XnSizeT nAllocSize, XnSizeT nAlignment) {
    void* p = nullptr;
    if (posix_memalign(&p, nAlignment, nAllocSize) != 0) return nullptr;
    return p;
}

void* xnOSCallocAligned(XnSizeT nAllocNum, XnSizeT nAllocSize, XnSizeT nAlignment) {
    // A product that wraps would allocate a block smaller than the caller counts on.
    XnSizeT total = 0;
    if (__builtin_mul_overflow(nAllocNum, nAllocSize, &total)) return nullptr;
    void* p = xnOSMallocAligned(total, nAlignment);
    if (p != nullptr) memset(p, 0, total);
    return p;
}

void* xnOSReallocAligned(void*, XnSizeT, XnSizeT) { return nullptr; }
void* xnOSRecalloc(void*, XnSizeT, XnSizeT) { return nullptr; }
void xnOSFreeAligned(const void* pMemBlock) { free(const_cast<void*>(pMemBlock)); }

void xnOSMemCopy(void* pDest, const void* pSource, XnSizeT nCount) { memcpy(pDest, pSource, nCount); }
XnInt32 xnOSMemCmp(const void* pBuf1, const void* pBuf2, XnSizeT nCount) { return memcmp(pBuf1, pBuf2, nCount); }
void xnOSMemSet(void* pDest, XnUInt8 nValue, XnSizeT nCount) { memset(pDest, nValue, nCount); }
void xnOSMemMove(void* pDest, const void* pSource, XnSizeT nCount) { memmove(pDest, pSource, nCount); }

XnUInt64 xnOSEndianSwapUINT64(XnUInt64 nValue) { return __builtin_bswap64(nValue); }
XnUInt32 xnOSEndianSwapUINT32(XnUInt32 nValue) { return __builtin_bswap32(nValue); }
XnUInt16 xnOSEndianSwapUINT16(XnUInt16 nValue) { return __builtin_bswap16(nValue); }

XnFloat xnOSEndianSwapFLOAT(XnFloat fValue) {
    XnUInt32 bits;
    memcpy(&bits, &fValue, sizeof(bits));
    bits = __builtin_bswap32(bits);
    memcpy(&fValue, &bits, sizeof(bits));
    return fValue;
}

XnStatus xnOSGetEnvironmentVariable(const XnChar* strEnv, XnChar* strDest, XnUInt32 nDestSize) {
    if (strEnv == nullptr || strDest == nullptr) return XN_STATUS_NULL_INPUT_PTR;
    const char* value = getenv(strEnv);
    if (value == nullptr) return XN_STATUS_OS_ENV_VAR_NOT_FOUND;
    return xnOSStrCopy(strDest, value, nDestSize);
}
