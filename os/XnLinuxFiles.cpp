// Files, folders and paths of the OS layer.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <glob.h>
#include <sys/stat.h>
#include <unistd.h>
// After <cstring>: the POSIX dirname and basename, which work on a copy of the path.
#include <libgen.h>

#include "XnOS.h"

namespace {
int MapOpenFlags(XnUInt32 nFlags) {
    int flags = 0;
    bool read = nFlags & XN_OS_FILE_READ;
    bool write = nFlags & XN_OS_FILE_WRITE;
    if (read && write)
        flags = O_RDWR | O_CREAT;
    else if (write)
        flags = O_WRONLY | O_CREAT;
    else
        flags = O_RDONLY;
    if (nFlags & XN_OS_FILE_CREATE_NEW_ONLY) flags |= O_EXCL;
    if (nFlags & XN_OS_FILE_TRUNCATE) flags |= O_TRUNC;
    if (nFlags & XN_OS_FILE_APPEND) flags |= O_APPEND;
    if ((nFlags & XN_OS_FILE_WRITE_THROUGH) && write) flags |= O_SYNC;
    return flags | O_CLOEXEC;
}

// Reads until the size is reached or the file ends; a signal does not end the read.
bool ReadAll(int fd, void* pBuffer, size_t size, size_t* pRead) {
    size_t done = 0;
    while (done < size) {
        ssize_t n = read(fd, static_cast<char*>(pBuffer) + done, size - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            *pRead = done;
            return false;
        }
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    *pRead = done;
    return true;
}

int ToWhence(XnOSSeekType SeekType) {
    switch (SeekType) {
        case XN_OS_SEEK_SET: return SEEK_SET;
        case XN_OS_SEEK_CUR: return SEEK_CUR;
        case XN_OS_SEEK_END: return SEEK_END;
    }
    return -1;  // no origin: the caller answers XN_STATUS_OS_INVALID_SEEK_TYPE
}

XnStatus WriteWholeFile(const XnChar* cpFileName, const void* pBuffer, XnUInt32 nBufferSize, XnUInt32 nFlags) {
    if (cpFileName == nullptr || pBuffer == nullptr) return XN_STATUS_NULL_INPUT_PTR;
    XN_FILE_HANDLE fd = XN_INVALID_FILE_HANDLE;
    XnStatus rc = xnOSOpenFile(cpFileName, nFlags, &fd);
    if (rc != XN_STATUS_OK) return rc;
    rc = xnOSWriteFile(fd, pBuffer, nBufferSize);
    XnStatus closeRc = xnOSCloseFile(&fd);
    return rc != XN_STATUS_OK ? rc : closeRc;
}
}  // namespace

XnStatus xnOSOpenFile(const XnChar* cpFileName, XnUInt32 nFlags, XN_FILE_HANDLE* pFile) {
    if (cpFileName == nullptr) return XN_STATUS_NULL_INPUT_PTR;
    if (pFile == nullptr) return XN_STATUS_NULL_OUTPUT_PTR;
    int fd;
    do {
        fd = open(cpFileName, MapOpenFlags(nFlags), 0644);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        if (errno == ENOENT) return XN_STATUS_OS_FILE_NOT_FOUND;
        if (errno == EEXIST) return XN_STATUS_OS_FILE_ALREDY_EXISTS;
        return XN_STATUS_OS_FILE_OPEN_FAILED;
    }
    *pFile = fd;
    return XN_STATUS_OK;
}

XnStatus xnOSCloseFile(XN_FILE_HANDLE* pFile) {
    if (pFile == nullptr) return XN_STATUS_NULL_INPUT_PTR;
    if (*pFile == XN_INVALID_FILE_HANDLE) return XN_STATUS_OS_INVALID_FILE;
    if (close(*pFile) != 0) return XN_STATUS_OS_FILE_CLOSE_FAILED;
    *pFile = XN_INVALID_FILE_HANDLE;
    return XN_STATUS_OK;
}

XnStatus xnOSReadFile(XN_FILE_HANDLE File, void* pBuffer, XnUInt32* pnBufferSize) {
    if (pBuffer == nullptr) return XN_STATUS_NULL_INPUT_PTR;
    if (pnBufferSize == nullptr) return XN_STATUS_NULL_OUTPUT_PTR;
    if (File == XN_INVALID_FILE_HANDLE) return XN_STATUS_OS_INVALID_FILE;
    size_t done = 0;
    bool ok = ReadAll(File, pBuffer, *pnBufferSize, &done);
    *pnBufferSize = static_cast<XnUInt32>(done);
    return ok ? XN_STATUS_OK : XN_STATUS_OS_FILE_READ_FAILED;
}

XnStatus xnOSWriteFile(XN_FILE_HANDLE File, const void* pBuffer, XnUInt32 nBufferSize) {
    if (pBuffer == nullptr) return XN_STATUS_NULL_INPUT_PTR;
    if (File == XN_INVALID_FILE_HANDLE) return XN_STATUS_OS_INVALID_FILE;
    // A partial write or a signal is not the end: go on with the rest.
    size_t done = 0;
    while (done < nBufferSize) {
        ssize_t n = write(File, static_cast<const char*>(pBuffer) + done, nBufferSize - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return XN_STATUS_OS_FILE_WRITE_FAILED;
        }
        if (n == 0) return XN_STATUS_OS_FILE_WRITE_FAILED;
        done += static_cast<size_t>(n);
    }
    return XN_STATUS_OK;
}

XnStatus xnOSSeekFile64(XN_FILE_HANDLE File, XnOSSeekType SeekType, XnInt64 nOffset) {
    if (File == XN_INVALID_FILE_HANDLE) return XN_STATUS_OS_INVALID_FILE;
    int whence = ToWhence(SeekType);
    if (whence < 0) return XN_STATUS_OS_INVALID_SEEK_TYPE;
    if (lseek(File, static_cast<off_t>(nOffset), whence) == static_cast<off_t>(-1))
        return XN_STATUS_OS_FILE_SEEK_FAILED;
    return XN_STATUS_OK;
}

XnStatus xnOSSeekFile(XN_FILE_HANDLE File, XnOSSeekType SeekType, XnInt32 nOffset) {
    return xnOSSeekFile64(File, SeekType, nOffset);
}

XnStatus xnOSTellFile64(XN_FILE_HANDLE File, XnUInt64* nFilePos) {
    if (nFilePos == nullptr) return XN_STATUS_NULL_OUTPUT_PTR;
    if (File == XN_INVALID_FILE_HANDLE) return XN_STATUS_OS_INVALID_FILE;
    off_t pos = lseek(File, 0, SEEK_CUR);
    if (pos == static_cast<off_t>(-1)) return XN_STATUS_OS_FILE_TELL_FAILED;
    *nFilePos = static_cast<XnUInt64>(pos);
    return XN_STATUS_OK;
}

XnStatus xnOSTellFile(XN_FILE_HANDLE File, XnUInt32* nFilePos) {
    if (nFilePos == nullptr) return XN_STATUS_NULL_OUTPUT_PTR;
    XnUInt64 pos = 0;
    XnStatus rc = xnOSTellFile64(File, &pos);
    if (rc != XN_STATUS_OK) return rc;
    if (pos > 0xFFFFFFFFull) return XN_STATUS_INTERNAL_BUFFER_TOO_SMALL;
    *nFilePos = static_cast<XnUInt32>(pos);
    return XN_STATUS_OK;
}

XnStatus xnOSTruncateFile64(XN_FILE_HANDLE File, XnUInt64 nSize) {
    // The file gets exactly the given length; the position is left where it is.
    if (File == XN_INVALID_FILE_HANDLE) return XN_STATUS_OS_INVALID_FILE;
    if (nSize > static_cast<XnUInt64>(LLONG_MAX)) return XN_STATUS_INTERNAL_BUFFER_TOO_SMALL;
    int rc;
    do {
        rc = ftruncate(File, static_cast<off_t>(nSize));
    } while (rc != 0 && errno == EINTR);
    return rc == 0 ? XN_STATUS_OK : XN_STATUS_OS_FILE_WRITE_FAILED;
}

XnStatus xnOSFlushFile(XN_FILE_HANDLE File) {
    if (File == XN_INVALID_FILE_HANDLE) return XN_STATUS_OS_INVALID_FILE;
    if (fsync(File) != 0) return XN_STATUS_OS_FILE_FLUSH_FAILED;
    return XN_STATUS_OK;
}

XnStatus xnOSGetFileSize64(const XnChar* cpFileName, XnUInt64* pnFileSize) {
    if (cpFileName == nullptr) return XN_STATUS_NULL_INPUT_PTR;
    if (pnFileSize == nullptr) return XN_STATUS_NULL_OUTPUT_PTR;
    struct stat st;
    if (stat(cpFileName, &st) != 0) return XN_STATUS_OS_FILE_GET_SIZE_FAILED;
    *pnFileSize = static_cast<XnUInt64>(st.st_size);
    return XN_STATUS_OK;
}

XnStatus xnOSGetFileSize(const XnChar* cpFileName, XnUInt32* pnFileSize) {
    if (cpFileName == nullptr) return XN_STATUS_NULL_INPUT_PTR;
    if (pnFileSize == nullptr) return XN_STATUS_NULL_OUTPUT_PTR;
    XnUInt64 size = 0;
    XnStatus rc = xnOSGetFileSize64(cpFileName, &size);
    if (rc != XN_STATUS_OK) return rc;
    if (size > 0xFFFFFFFFull) return XN_STATUS_INTERNAL_BUFFER_TOO_SMALL;
    *pnFileSize = static_cast<XnUInt32>(size);
    return XN_STATUS_OK;
}

XnStatus xnOSLoadFile(const XnChar* cpFileName, void* pBuffer, XnUInt32 nBufferSize) {
    if (cpFileName == nullptr) return XN_STATUS_NULL_INPUT_PTR;
    if (pBuffer == nullptr || nBufferSize == 0) return XN_STATUS_NULL_OUTPUT_PTR;
    XN_FILE_HANDLE fd = XN_INVALID_FILE_HANDLE;
    XnStatus rc = xnOSOpenFile(cpFileName, XN_OS_FILE_READ, &fd);
    if (rc != XN_STATUS_OK) return rc;
    XnUInt32 got = nBufferSize;
    rc = xnOSReadFile(fd, pBuffer, &got);
    if (rc == XN_STATUS_OK && got != nBufferSize) rc = XN_STATUS_OS_FILE_READ_FAILED;
    XnStatus closeRc = xnOSCloseFile(&fd);
    return rc != XN_STATUS_OK ? rc : closeRc;
}

XnStatus xnOSSaveFile(const XnChar* cpFileName, const void* pBuffer, XnUInt32 nBufferSize) {
    return WriteWholeFile(cpFileName, pBuffer, nBufferSize, XN_OS_FILE_WRITE | XN_OS_FILE_TRUNCATE);
}

XnStatus xnOSAppendFile(const XnChar* cpFileName, const void* pBuffer, XnUInt32 nBufferSize) {
    return WriteWholeFile(cpFileName, pBuffer, nBufferSize, XN_OS_FILE_WRITE | XN_OS_FILE_APPEND);
}

XnStatus xnOSDeleteFile(const XnChar* cpFileName) {
    if (cpFileName == nullptr) return XN_STATUS_NULL_INPUT_PTR;
    if (unlink(cpFileName) != 0) return XN_STATUS_OS_FAILED_TO_DELETE_FILE;
    return XN_STATUS_OK;
}

XnStatus xnOSDoesFileExist(const XnChar* cpFileName, XnBool* pbResult) {
    if (cpFileName == nullptr) return XN_STATUS_NULL_INPUT_PTR;
    if (pbResult == nullptr) return XN_STATUS_NULL_OUTPUT_PTR;
    *pbResult = access(cpFileName, F_OK) == 0 ? TRUE : FALSE;
    return XN_STATUS_OK;
}

XnStatus xnOSFileExists(const XnChar* cpFileName, XnBool* pbResult) { return xnOSDoesFileExist(cpFileName, pbResult); }

// ---- Folders and paths ---------------------------------------------------------------------
XnStatus xnOSCreateDirectory(const XnChar* cpDirName) {
    if (cpDirName == nullptr) return XN_STATUS_NULL_INPUT_PTR;
    if (mkdir(cpDirName, 0777) != 0) return XN_STATUS_OS_FAILED_TO_CREATE_DIR;
    return XN_STATUS_OK;
}

XnStatus xnOSDoesDirectoryExist(const XnChar* cpDirName, XnBool* pbResult) {
    if (cpDirName == nullptr) return XN_STATUS_NULL_INPUT_PTR;
    if (pbResult == nullptr) return XN_STATUS_NULL_OUTPUT_PTR;
    struct stat st;
    *pbResult = (stat(cpDirName, &st) == 0 && S_ISDIR(st.st_mode)) ? TRUE : FALSE;
    return XN_STATUS_OK;
}

XnStatus xnOSCountFiles(const XnChar* cpSearchPattern, XnInt32* pnFoundFiles) {
    if (cpSearchPattern == nullptr) return XN_STATUS_NULL_INPUT_PTR;
    if (pnFoundFiles == nullptr) return XN_STATUS_NULL_OUTPUT_PTR;
    glob_t g;
    int rc = glob(cpSearchPattern, 0, nullptr, &g);
    *pnFoundFiles = rc == 0 ? static_cast<XnInt32>(g.gl_pathc) : 0;
    globfree(&g);
    return XN_STATUS_OK;
}

XnStatus xnOSGetFileList(const XnChar* cpSearchPattern, const XnChar* cpPrefixPath,
                         XnChar cpFileList[][XN_FILE_MAX_PATH], XnUInt32 nMaxFiles, XnInt32* pnFoundFiles) {
    if (cpSearchPattern == nullptr || cpFileList == nullptr) return XN_STATUS_NULL_INPUT_PTR;
    if (pnFoundFiles == nullptr) return XN_STATUS_NULL_OUTPUT_PTR;
    glob_t g;
    int rc = glob(cpSearchPattern, 0, nullptr, &g);
    if (rc != 0 || g.gl_pathc == 0 || nMaxFiles == 0) {
        globfree(&g);
        return XN_STATUS_OS_FILE_NOT_FOUND;
    }
    XnStatus status = XN_STATUS_OK;
    XnUInt32 count = 0;
    for (size_t i = 0; i < g.gl_pathc && count < nMaxFiles; ++i) {
        const char* path = g.gl_pathv[i];
        const char* slash = strrchr(path, '/');
        const char* base = slash != nullptr ? slash + 1 : path;
        // Each step is bounded by the entry: a name that would not fit is refused, not cut.
        status = xnOSStrCopy(cpFileList[count], base, XN_FILE_MAX_PATH);
        if (status == XN_STATUS_OK && cpPrefixPath != nullptr)
            status = xnOSStrPrefix(cpPrefixPath, cpFileList[count], XN_FILE_MAX_PATH);
        if (status != XN_STATUS_OK) break;
        ++count;
    }
    globfree(&g);
    if (status != XN_STATUS_OK) return status;
    *pnFoundFiles = static_cast<XnInt32>(count);
    return XN_STATUS_OK;
}

static XnStatus PathPart(const XnChar* cpFilePath, XnChar* cpOut, XnUInt32 nBufferSize, bool dir) {
    if (cpFilePath == nullptr || cpOut == nullptr) return XN_STATUS_NULL_INPUT_PTR;
    char copy[XN_FILE_MAX_PATH];
    if (xnOSStrCopy(copy, cpFilePath, sizeof(copy)) != XN_STATUS_OK) return XN_STATUS_INTERNAL_BUFFER_TOO_SMALL;
    const char* part = dir ? dirname(copy) : basename(copy);
    return xnOSStrCopy(cpOut, part, nBufferSize);
}

XnStatus xnOSGetDirName(const XnChar* cpFilePath, XnChar* cpDirName, XnUInt32 nBufferSize) {
    return PathPart(cpFilePath, cpDirName, nBufferSize, true);
}

XnStatus xnOSGetFileName(const XnChar* cpFilePath, XnChar* cpFileName, XnUInt32 nBufferSize) {
    return PathPart(cpFilePath, cpFileName, nBufferSize, false);
}

XnStatus xnOSGetFullPathName(const XnChar* strFilePath, XnChar* strFullPath, XnUInt32 nBufferSize) {
    if (strFilePath == nullptr || strFullPath == nullptr) return XN_STATUS_NULL_INPUT_PTR;
    char* resolved = realpath(strFilePath, nullptr);
    if (resolved == nullptr) return XN_STATUS_ERROR;
    size_t len = strlen(resolved);
    XnStatus rc = XN_STATUS_OK;
    if (len >= nBufferSize)
        rc = XN_STATUS_OUTPUT_BUFFER_OVERFLOW;
    else
        memcpy(strFullPath, resolved, len + 1);
    free(resolved);
    return rc;
}

XnStatus xnOSGetCurrentDir(XnChar* cpDirName, XnUInt32 nBufferSize) {
    if (cpDirName == nullptr) return XN_STATUS_NULL_INPUT_PTR;
    if (getcwd(cpDirName, nBufferSize) == nullptr)
        return errno == ERANGE ? XN_STATUS_OUTPUT_BUFFER_OVERFLOW : XN_STATUS_ERROR;
    return XN_STATUS_OK;
}

XnStatus xnOSSetCurrentDir(const XnChar* cpDirName) {
    if (cpDirName == nullptr) return XN_STATUS_NULL_INPUT_PTR;
    if (chdir(cpDirName) != 0) return XN_STATUS_ERROR;
    return XN_STATUS_OK;
}

XnBool xnOSIsAbsoluteFilePath(const XnChar* strFilePath) {
    return (strFilePath != nullptr && strFilePath[0] == '/') ? TRUE : FALSE;
}

XnBool xnOSIsDirSep(XnChar c) { return c == '/' ? TRUE : FALSE; }

XnStatus xnOSStripDirSep(XnChar* strDirName) {
    if (strDirName == nullptr) return XN_STATUS_NULL_INPUT_PTR;
    size_t len = strlen(strDirName);
    if (len > 0 && xnOSIsDirSep(strDirName[len - 1])) strDirName[len - 1] = '\0';
    return XN_STATUS_OK;
}

XnStatus xnOSAppendFilePath(XnChar* strDest, const XnChar* strFileName, XnUInt32 nDestSize) {
    if (strDest == nullptr || strFileName == nullptr) return XN_STATUS_NULL_INPUT_PTR;
    if (xnOSIsAbsoluteFilePath(strFileName)) return xnOSStrCopy(strDest, strFileName, nDestSize);
    xnOSStripDirSep(strDest);
    XnStatus rc = xnOSStrAppend(strDest, "/", nDestSize);
    if (rc != XN_STATUS_OK) return rc;
    return xnOSStrAppend(strDest, strFileName, nDestSize);
}
