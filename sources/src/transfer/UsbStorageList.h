#pragma once
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "FileSum.h"
#include "Mutex.h"
#include "UniqueFile.h"

// Mount points of USB storage devices as lsblk shows them. A snapshot taken before the
// devices are plugged in and a listing taken after leave in the list only the devices
// mounted in between.
class UsbStorageList {
public:
    // Appends the mount points shown now: to the snapshot when `snapshot`, else to the
    // list, which then drops every entry of the snapshot and empties the snapshot. When
    // lsblk cannot be run, both stay as they are.
    void GetUSBStorageDeviceList(bool snapshot) EXCLUDES(m_lock);
    // Removes the entries whose folder does not exist; true when entries remain.
    static bool IsDirectoryVecExist(std::vector<std::string>& list);

    std::vector<std::string> Entries() const EXCLUDES(m_lock);
    // Empties the list; the snapshot stays.
    void Clear() EXCLUDES(m_lock);

private:
    mutable Mutex m_lock;  // the application's thread lists, the worker clears
    std::vector<std::string> m_usbStorageList GUARDED_BY(m_lock);
    std::vector<std::string> tempVec GUARDED_BY(m_lock);  // the snapshot
};

// Copying a file onto the storage devices and from them.
namespace usbstorage {

// A regular file opened for reading with its length, which needs 64 bits.
struct Source {
    UniqueFile file;  // null when it could not be opened or is no regular file
    uint64_t length = 0;
    int error = 0;  // errno then (EINVAL: no regular file)
};
Source OpenSource(const std::string& path);

// Which family of log lines a failed copy writes.
enum class CopyLog { ToStorage, ToLocal };

// Copies `source` from its start to `destPath` in blocks, the first `headBytes` bytes
// (at most one block; a shorter file fails) before the others. A copy that fails is
// removed, so no partial file is left behind; false after its log line.
bool CopyFileTo(FILE* source, const std::string& destPath, size_t headBytes, CopyLog log, const std::string& tag);

// One file copied to "<entry>/Android/data/<name>" on each storage device and checked
// by reading the copy back, which must be a regular file.
struct CopyJob {
    FILE* source = nullptr;  // borrowed
    const char* name = "";
    size_t headBytes = 0;
    FileSum::Result (*sum)(FILE*) = nullptr;  // the byte sum the copy is checked with
    uint32_t length = 0;                      // what the copy must measure
    uint32_t checksum = 0;
};
// 0 when every entry got a matching copy. -1 for an empty list, when a copy mismatched
// (it is deleted; the other entries are still served), or when a folder or a copy could
// not be made (the remaining entries are not tried).
int CopyToEach(const std::vector<std::string>& entries, const CopyJob& job, const std::string& tag);

}  // namespace usbstorage
