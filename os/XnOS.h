// The OS layer: thin free functions over POSIX with one status convention.
// Threads, time, memory, mutexes, environment, byte order, files, folders, strings, events.
#pragma once
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <pthread.h>

#include "XnStatusCodes.h"

// ---- Basic types -------------------------------------------------------------------------
typedef char XnChar;
typedef uint8_t XnUInt8;
typedef int8_t XnInt8;
typedef uint16_t XnUInt16;
typedef int16_t XnInt16;
typedef uint32_t XnUInt32;
typedef int32_t XnInt32;
typedef uint64_t XnUInt64;
typedef int64_t XnInt64;
typedef float XnFloat;
typedef double XnDouble;
typedef int XnBool;
typedef size_t XnSizeT;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

// Time-outs are milliseconds; this one waits without limit.
#define XN_WAIT_INFINITE 0xFFFFFFFFu

// ---- Threads -----------------------------------------------------------------------------
// The handle is a heap cell holding the POSIX thread id.
typedef pthread_t* XN_THREAD_HANDLE;
typedef XnUInt64 XN_THREAD_ID;
typedef void* XN_THREAD_PARAM;
typedef void* (*XN_THREAD_PROC_PROTO)(void*);

enum XnThreadPriority {
    XN_PRIORITY_LOW = 0,
    XN_PRIORITY_NORMAL = 1,
    XN_PRIORITY_HIGH = 2,
    XN_PRIORITY_CRITICAL = 3,  // the only one supported: round-robin, priority 5
};

XnStatus xnOSCreateThread(XN_THREAD_PROC_PROTO pThreadProc, XN_THREAD_PARAM pThreadParam,
                          XN_THREAD_HANDLE* pThreadHandle);
XnStatus xnOSTerminateThread(XN_THREAD_HANDLE* pThreadHandle);
XnStatus xnOSCloseThread(XN_THREAD_HANDLE* pThreadHandle);
XnStatus xnOSWaitForThreadExit(XN_THREAD_HANDLE ThreadHandle, XnUInt32 nMilliseconds);
XnStatus xnOSSetThreadPriority(XN_THREAD_HANDLE ThreadHandle, XnThreadPriority nPriority);
XnStatus xnOSGetCurrentThreadID(XN_THREAD_ID* pThreadID);

// ---- Time --------------------------------------------------------------------------------
struct XnOSTimer {
    struct timespec tStartTime;
    XnBool bHighRes;
};

extern XnOSTimer g_xnOSHighResGlobalTimer;
extern XnBool g_xnOSInitialized;

XnStatus xnOSTimeInit();
XnStatus xnOSGetTimeStamp(XnUInt64* nTimeStamp);         // ms since load
XnStatus xnOSGetHighResTimeStamp(XnUInt64* nTimeStamp);  // us since load
XnStatus xnOSStartTimer(XnOSTimer* pTimer);
XnStatus xnOSStartHighResTimer(XnOSTimer* pTimer);
XnStatus xnOSQueryTimer(XnOSTimer Timer, XnUInt64* pnTimeSinceStart);
XnStatus xnOSStopTimer(XnOSTimer* pTimer);
XnStatus xnOSGetEpochTime(XnUInt32* nEpochTime);
XnStatus xnOSSleep(XnUInt32 nMilliseconds);
XnStatus xnOSGetMonoTime(struct timespec* pTime);
XnStatus xnOSGetTimeout(struct timespec* pTime, XnUInt32 nMilliseconds);
XnStatus xnOSGetAbsTimeout(struct timespec* pTime, XnUInt32 nMilliseconds);

// ---- Memory and byte order -----------------------------------------------------------------
void* xnOSMalloc(XnSizeT nAllocSize);
void* xnOSMallocAligned(XnSizeT nAllocSize, XnSizeT nAlignment);
void* xnOSCalloc(XnSizeT nAllocNum, XnSizeT nAllocSize);
void* xnOSCallocAligned(XnSizeT nAllocNum, XnSizeT nAllocSize, XnSizeT nAlignment);
void* xnOSRealloc(void* pMemory, XnSizeT nAllocSize);
void* xnOSReallocAligned(void* pMemory, XnSizeT nAllocSize, XnSizeT nAlignment);  // always null
void* xnOSRecalloc(void* pMemory, XnSizeT nAllocNum, XnSizeT nAllocSize);         // always null
void xnOSFree(const void* pMemBlock);
void xnOSFreeAligned(const void* pMemBlock);
void xnOSMemCopy(void* pDest, const void* pSource, XnSizeT nCount);
XnInt32 xnOSMemCmp(const void* pBuf1, const void* pBuf2, XnSizeT nCount);
void xnOSMemSet(void* pDest, XnUInt8 nValue, XnSizeT nCount);
void xnOSMemMove(void* pDest, const void* pSource, XnSizeT nCount);
XnUInt64 xnOSEndianSwapUINT64(XnUInt64 nValue);
XnUInt32 xnOSEndianSwapUINT32(XnUInt32 nValue);
XnUInt16 xnOSEndianSwapUINT16(XnUInt16 nValue);
XnFloat xnOSEndianSwapFLOAT(XnFloat fValue);

// ---- Mutexes and critical sections ---------------------------------------------------------
// Allocated zero-filled by the layer. The named fields belong to the plug-ins' build.
struct XnMutex {
    XnUInt32 bIsNamed;
    pthread_mutex_t ThreadMutex;  // recursive; used when bIsNamed is clear
    int NamedSem;                 // System V semaphore set id
    XnChar csSemFileName[256];    // key-file path
    int hSemFile;                 // key-file descriptor
};
typedef XnMutex* XN_MUTEX_HANDLE;
typedef XN_MUTEX_HANDLE XN_CRITICAL_SECTION_HANDLE;

XnStatus xnOSCreateMutex(XN_MUTEX_HANDLE* pMutexHandle);
XnStatus xnOSCreateNamedMutex(XN_MUTEX_HANDLE* pMutexHandle, const XnChar* cpMutexName);
XnStatus xnOSCreateNamedMutexEx(XN_MUTEX_HANDLE* pMutexHandle, const XnChar* cpMutexName, XnBool bAllowOtherUsers);
XnStatus xnOSCloseMutex(XN_MUTEX_HANDLE* pMutexHandle);
XnStatus xnOSLockMutex(XN_MUTEX_HANDLE MutexHandle, XnUInt32 nMilliseconds);
XnStatus xnOSUnLockMutex(XN_MUTEX_HANDLE MutexHandle);
XnStatus xnOSCreateCriticalSection(XN_CRITICAL_SECTION_HANDLE* pCriticalSectionHandle);
XnStatus xnOSCloseCriticalSection(XN_CRITICAL_SECTION_HANDLE* pCriticalSectionHandle);
XnStatus xnOSEnterCriticalSection(XN_CRITICAL_SECTION_HANDLE* pCriticalSectionHandle);
XnStatus xnOSLeaveCriticalSection(XN_CRITICAL_SECTION_HANDLE* pCriticalSectionHandle);

// ---- Environment ---------------------------------------------------------------------------
XnStatus xnOSGetEnvironmentVariable(const XnChar* strEnv, XnChar* strDest, XnUInt32 nDestSize);

// ---- Files ---------------------------------------------------------------------------------
typedef int XN_FILE_HANDLE;
#define XN_INVALID_FILE_HANDLE (-1)
#define XN_FILE_MAX_PATH       256

#define XN_OS_FILE_READ            0x01
#define XN_OS_FILE_WRITE           0x02
#define XN_OS_FILE_CREATE_NEW_ONLY 0x04
#define XN_OS_FILE_TRUNCATE        0x08
#define XN_OS_FILE_APPEND          0x10
#define XN_OS_FILE_WRITE_THROUGH   0x20

enum XnOSSeekType {
    XN_OS_SEEK_SET = 0,
    XN_OS_SEEK_CUR = 1,
    XN_OS_SEEK_END = 2,
};

XnStatus xnOSOpenFile(const XnChar* cpFileName, XnUInt32 nFlags, XN_FILE_HANDLE* pFile);
XnStatus xnOSCloseFile(XN_FILE_HANDLE* pFile);
XnStatus xnOSReadFile(XN_FILE_HANDLE File, void* pBuffer, XnUInt32* pnBufferSize);
XnStatus xnOSWriteFile(XN_FILE_HANDLE File, const void* pBuffer, XnUInt32 nBufferSize);
XnStatus xnOSSeekFile(XN_FILE_HANDLE File, XnOSSeekType SeekType, XnInt32 nOffset);
XnStatus xnOSSeekFile64(XN_FILE_HANDLE File, XnOSSeekType SeekType, XnInt64 nOffset);
XnStatus xnOSTellFile(XN_FILE_HANDLE File, XnUInt32* nFilePos);
XnStatus xnOSTellFile64(XN_FILE_HANDLE File, XnUInt64* nFilePos);
XnStatus xnOSTruncateFile64(XN_FILE_HANDLE File, XnUInt64 nSize);
XnStatus xnOSFlushFile(XN_FILE_HANDLE File);
XnStatus xnOSGetFileSize(const XnChar* cpFileName, XnUInt32* pnFileSize);
XnStatus xnOSGetFileSize64(const XnChar* cpFileName, XnUInt64* pnFileSize);
XnStatus xnOSLoadFile(const XnChar* cpFileName, void* pBuffer, XnUInt32 nBufferSize);
XnStatus xnOSSaveFile(const XnChar* cpFileName, const void* pBuffer, XnUInt32 nBufferSize);
XnStatus xnOSAppendFile(const XnChar* cpFileName, const void* pBuffer, XnUInt32 nBufferSize);
XnStatus xnOSDeleteFile(const XnChar* cpFileName);
XnStatus xnOSDoesFileExist(const XnChar* cpFileName, XnBool* pbResult);
XnStatus xnOSFileExists(const XnChar* cpFileName, XnBool* pbResult);

// ---- Folders and paths ---------------------------------------------------------------------
XnStatus xnOSCreateDirectory(const XnChar* cpDirName);
XnStatus xnOSDoesDirectoryExist(const XnChar* cpDirName, XnBool* pbResult);
XnStatus xnOSCountFiles(const XnChar* cpSearchPattern, XnInt32* pnFoundFiles);
XnStatus xnOSGetFileList(const XnChar* cpSearchPattern, const XnChar* cpPrefixPath,
                         XnChar cpFileList[][XN_FILE_MAX_PATH], XnUInt32 nMaxFiles, XnInt32* pnFoundFiles);
XnStatus xnOSGetDirName(const XnChar* cpFilePath, XnChar* cpDirName, XnUInt32 nBufferSize);
XnStatus xnOSGetFileName(const XnChar* cpFilePath, XnChar* cpFileName, XnUInt32 nBufferSize);
XnStatus xnOSGetFullPathName(const XnChar* strFilePath, XnChar* strFullPath, XnUInt32 nBufferSize);
XnStatus xnOSGetCurrentDir(XnChar* cpDirName, XnUInt32 nBufferSize);
XnStatus xnOSSetCurrentDir(const XnChar* cpDirName);
XnBool xnOSIsAbsoluteFilePath(const XnChar* strFilePath);
XnBool xnOSIsDirSep(XnChar c);
XnStatus xnOSStripDirSep(XnChar* strDirName);
XnStatus xnOSAppendFilePath(XnChar* strDest, const XnChar* strFileName, XnUInt32 nDestSize);

// ---- Strings -------------------------------------------------------------------------------
extern const XnUInt32 xnOSStrCRC32Table[256];

XnStatus xnOSStrCopy(XnChar* cpDestString, const XnChar* cpSrcString, XnUInt32 nDestLength);
XnStatus xnOSStrNCopy(XnChar* cpDestString, const XnChar* cpSrcString, XnUInt32 nCopyLength, XnUInt32 nDestLength);
XnStatus xnOSStrAppend(XnChar* cpDestString, const XnChar* cpSrcString, XnUInt32 nDestLength);
XnStatus xnOSStrPrefix(const XnChar* cpPrefixString, XnChar* cpDestString, XnUInt32 nDestLength);
XnUInt32 xnOSStrLen(const XnChar* cpString);
XnInt32 xnOSStrCmp(const XnChar* cpFirstString, const XnChar* cpSecondString);
XnInt32 xnOSStrCaseCmp(const XnChar* cpFirstString, const XnChar* cpSecondString);
XnChar* xnOSStrDup(const XnChar* strSource);
XnStatus xnOSStrFormat(XnChar* cpDestString, XnUInt32 nDestLength, XnUInt32* pnCharsWritten, const XnChar* cpFormat,
                       ...) __attribute__((format(printf, 4, 5)));
XnStatus xnOSStrFormatV(XnChar* cpDestString, XnUInt32 nDestLength, XnUInt32* pnCharsWritten, const XnChar* cpFormat,
                        va_list args);
XnStatus xnOSItoA(XnInt32 nValue, XnChar* cpStr, XnInt32 nBase);
XnStatus xnOSStrCRC32(const XnChar* cpString, XnUInt32* nCRC32);
XnStatus xnOSStrNCRC32(const XnUInt8* cpBuffer, XnUInt32 nBufferSize, XnUInt32* nCRC32);

// ---- Events --------------------------------------------------------------------------------
// The handle is a pointer to an event object (XnLinuxEvent.h).
class _XnEvent;
typedef _XnEvent* XN_EVENT_HANDLE;

XnStatus xnOSCreateEvent(XN_EVENT_HANDLE* pEventHandle, XnBool bManualReset);
XnStatus xnOSCreateNamedEvent(XN_EVENT_HANDLE* pEventHandle, const XnChar* cpEventName, XnBool bManualReset);
XnStatus xnOSCreateNamedEventEx(XN_EVENT_HANDLE* pEventHandle, const XnChar* cpEventName, XnBool bManualReset,
                                XnBool bAllowOtherUsers);
XnStatus xnOSOpenNamedEvent(XN_EVENT_HANDLE* pEventHandle, const XnChar* cpEventName);
XnStatus xnOSOpenNamedEventEx(XN_EVENT_HANDLE* pEventHandle, const XnChar* cpEventName, XnBool bAllowOtherUsers);
XnStatus xnOSCloseEvent(XN_EVENT_HANDLE* pEventHandle);
XnStatus xnOSSetEvent(XN_EVENT_HANDLE EventHandle);
XnStatus xnOSResetEvent(XN_EVENT_HANDLE EventHandle);
XnStatus xnOSWaitEvent(XN_EVENT_HANDLE EventHandle, XnUInt32 nMilliseconds);
XnBool xnOSIsEventSet(XN_EVENT_HANDLE EventHandle);
