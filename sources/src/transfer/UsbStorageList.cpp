#include "UsbStorageList.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "StatusCodes.h"
#include "log.h"
#include "pathtools.h"

namespace {

constexpr const char* kListCommand = "lsblk | grep disk";
constexpr size_t kLineMax = 4096;  // line end included
constexpr size_t kBlock = 512;     // the image header's size: the head goes in one block

struct PipeCloser {
    void operator()(FILE* f) const { pclose(f); }
};

// The mount point a line names: from its first '/' to its end, on lines that mention
// "media"; empty otherwise.
std::string MountPoint(const std::string& line) {
    if (line.find("media") == std::string::npos) return std::string();
    const size_t slash = line.find('/');
    return slash == std::string::npos ? std::string() : line.substr(slash);
}

// False when the command could not be run.
bool ReadMountPoints(std::vector<std::string>& found) {
    std::unique_ptr<FILE, PipeCloser> pipe(popen(kListCommand, "re"));
    if (!pipe) {
        LOG_PRINTF("popen %s failed. ECode:%d", kListCommand, errno);
        return false;
    }
    char buffer[kLineMax + 1];
    bool tail = false;  // inside the rest of an over-long line
    while (std::fgets(buffer, sizeof(buffer), pipe.get()) != nullptr) {
        std::string line(buffer);
        const bool ended = !line.empty() && line.back() == '\n';
        if (tail) {
            tail = !ended;
            continue;
        }
        if (!ended && line.size() == kLineMax) {
            // A mount point cut short would name another folder.
            LOG_PRINTF("lsblk line longer than %zu bytes skipped.", kLineMax);
            tail = true;
            continue;
        }
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        std::string point = MountPoint(line);
        if (!point.empty()) found.push_back(std::move(point));
    }
    return true;
}

enum class Failed { Nothing, Read, Write };

struct Copied {
    Failed failed = Failed::Nothing;
    int error = 0;       // errno of the failed step
    uint64_t bytes = 0;  // read so far
};

bool WriteBlock(const uint8_t* block, size_t size, FILE* dest, Copied& copied) {
    if (std::fwrite(block, 1, size, dest) != size) {
        copied.failed = Failed::Write;
        copied.error = errno;
        return false;
    }
    copied.bytes += size;
    return true;
}

Copied CopyBlocks(FILE* source, UniqueFile dest, size_t headBytes) {
    Copied copied;
    uint8_t block[kBlock];
    if (std::fseek(source, 0, SEEK_SET) != 0) {
        copied.failed = Failed::Read;
        copied.error = errno;
        return copied;
    }
    if (headBytes > 0) {
        const size_t got = std::fread(block, 1, headBytes, source);
        if (got != headBytes) {
            copied.failed = Failed::Read;
            copied.error = errno;
            copied.bytes = got;
            return copied;
        }
        if (!WriteBlock(block, got, dest.get(), copied)) return copied;
    }
    size_t got;
    while ((got = std::fread(block, 1, sizeof(block), source)) > 0) {
        if (!WriteBlock(block, got, dest.get(), copied)) return copied;
    }
    if (std::ferror(source)) {
        copied.failed = Failed::Read;
        copied.error = errno;
        return copied;
    }
    // Buffered data reaches the device only here.
    if (std::fclose(dest.release()) != 0) {
        copied.failed = Failed::Write;
        copied.error = errno;
    }
    return copied;
}

// A folder that cannot be looked at (a path under a regular file, say) is not made.
bool EnsureFolder(const std::string& path, const char* tag) {
    errno = 0;
    if (IsDirectoryExist(path.c_str())) return true;
    const int error = errno;  // opendir's
    if (error != ENOENT) {
        LOG_DEVICE(tag, "%s IsDirectoryExist failed ECode:%d.", path.c_str(), error);
        return false;
    }
    if (!CreateDirectory_(path.c_str())) {
        LOG_DEVICE(tag, "%s CreateDirectory failed ECode:%d.", path.c_str(), errno);
        return false;
    }
    return true;
}

// Devices and pipes may never end; only regular files are read to their end.
bool IsRegularFile(FILE* file, uint64_t& length) {
    struct stat info {};
    if (fstat(fileno(file), &info) != 0) return false;
    if (!S_ISREG(info.st_mode)) {
        errno = EINVAL;
        return false;
    }
    length = static_cast<uint64_t>(info.st_size);
    return true;
}

// Reads the copy back; a copy that differs is deleted.
bool CopyMatches(const std::string& destPath, const usbstorage::CopyJob& job, const char* tag) {
    FileSum::Result copy;
    uint64_t length = 0;
    UniqueFile file(std::fopen(destPath.c_str(), "rbe"));
    if (file && IsRegularFile(file.get(), length)) copy = job.sum(file.get());
    file.reset();
    if (copy.ok && copy.bytes == job.length && copy.sum == job.checksum) return true;
    std::remove(destPath.c_str());
    LOG_DEVICE(tag, "destPath:%s pUpgradeParams(%u, %d), copy(%llu, %d)", destPath.c_str(), job.length,
               static_cast<int32_t>(job.checksum), static_cast<unsigned long long>(copy.bytes),
               static_cast<int32_t>(copy.sum));
    return false;
}

}  // namespace

void UsbStorageList::GetUSBStorageDeviceList(bool snapshot) {
    std::vector<std::string> found;
    if (!ReadMountPoints(found)) return;
    LockGuard guard(m_lock);
    if (snapshot) {
        tempVec.insert(tempVec.end(), found.begin(), found.end());
        return;
    }
    m_usbStorageList.insert(m_usbStorageList.end(), found.begin(), found.end());
    const auto seenBefore = [this](const std::string& entry) REQUIRES(m_lock) {
        return std::find(tempVec.begin(), tempVec.end(), entry) != tempVec.end();
    };
    m_usbStorageList.erase(std::remove_if(m_usbStorageList.begin(), m_usbStorageList.end(), seenBefore),
                           m_usbStorageList.end());
    tempVec.clear();
}

bool UsbStorageList::IsDirectoryVecExist(std::vector<std::string>& list) {
    const auto missing = [](const std::string& entry) { return !IsDirectoryExist(entry.c_str()); };
    list.erase(std::remove_if(list.begin(), list.end(), missing), list.end());
    return !list.empty();
}

std::vector<std::string> UsbStorageList::Entries() const {
    LockGuard guard(m_lock);
    return m_usbStorageList;
}

void UsbStorageList::Clear() {
    LockGuard guard(m_lock);
    m_usbStorageList.clear();
}

namespace usbstorage {

Source OpenSource(const std::string& path) {
    Source source;
    source.file.reset(std::fopen(path.c_str(), "rbe"));
    if (!source.file || !IsRegularFile(source.file.get(), source.length)) {
        source.error = errno;
        source.file.reset();
    }
    return source;
}

bool CopyFileTo(FILE* source, const std::string& destPath, size_t headBytes, CopyLog log, const std::string& tag) {
    const char* t = tag.c_str();
    UniqueFile dest(std::fopen(destPath.c_str(), "wbe"));
    if (!dest) {
        if (log == CopyLog::ToStorage)
            LOG_DEVICE(t, "create %s ECode:%d failed.", destPath.c_str(), errno);
        else
            LOG_DEVICE(t, "open %s failed. ECode:%d", destPath.c_str(), errno);
        return false;
    }
    const Copied copied = CopyBlocks(source, std::move(dest), std::min(headBytes, kBlock));
    if (copied.failed == Failed::Nothing) return true;
    std::remove(destPath.c_str());
    if (copied.failed == Failed::Read) {
        LOG_DEVICE(t, "read IMG_HEAD failed:%llu", static_cast<unsigned long long>(copied.bytes));
    } else if (log == CopyLog::ToStorage) {
        LOG_DEVICE(t, "fwrite ECode:%d %s", copied.error, destPath.c_str());
    } else {
        LOG_DEVICE(t, "fwrite is Failed, ECode:%d %s", copied.error, destPath.c_str());
    }
    return false;
}

int CopyToEach(const std::vector<std::string>& entries, const CopyJob& job, const std::string& tag) {
    const char* t = tag.c_str();
    bool allMatched = !entries.empty();
    for (const std::string& entry : entries) {
        const std::string folder = entry + "/Android/data";
        if (!EnsureFolder(entry + "/Android", t) || !EnsureFolder(folder, t)) return status::kFailed;
        LOG_DEVICE(t, "copy begin");
        const std::string destPath = folder + "/" + job.name;
        if (!CopyFileTo(job.source, destPath, job.headBytes, CopyLog::ToStorage, tag)) return status::kFailed;
        LOG_DEVICE(t, "copy end");
        if (!CopyMatches(destPath, job, t)) allMatched = false;
    }
    return allMatched ? status::kOk : status::kFailed;
}

}  // namespace usbstorage
