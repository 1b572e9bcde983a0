#include "FirmwareImage.h"

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <limits>

#include "ByteOrder.h"
#include "DeviceCommonProtocol.h"
#include "FileSum.h"
#include "ImgHead.h"
#include "UniqueFile.h"
#include "log.h"

namespace {

struct Date {
    int year = 0;
    int month = 0;
    int day = 0;
    // YYYYMMDD as a number, so that a later day compares greater.
    long Key() const { return year * 10000L + month * 100L + day; }
    // Seconds since 1970 of the day's local midnight, for the log line.
    long long Midnight() const {
        std::tm tm{};
        tm.tm_year = year - 1900;
        tm.tm_mon = month - 1;
        tm.tm_mday = day;
        tm.tm_isdst = -1;  // whatever daylight saving the day has
        return static_cast<long long>(std::mktime(&tm));
    }
};

// `count` decimal digits at `text`; -1 when one is not a digit.
int Digits(const char* text, size_t count) {
    int value = 0;
    for (size_t i = 0; i < count; ++i) {
        if (text[i] < '0' || text[i] > '9') return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

// "YYYYMMDD" at `text`.
bool ReadDate(const char* text, Date& date) {
    date.year = Digits(text, 4);
    date.month = Digits(text + 4, 2);
    date.day = Digits(text + 6, 2);
    return date.year >= 0 && date.month >= 0 && date.day >= 0;
}

constexpr size_t kDateDigits = 8;     // "YYYYMMDD"
constexpr size_t kVersionDigits = 9;  // more would not fit an int

// The camera's text: any leading text, "YYYYMMDD", '_', one character, the version. The
// last underscore is the anchor; at least one character stands before the date.
bool ReadCameraFirmware(const std::string& text, Date& date, int& version) {
    const size_t anchor = text.rfind('_');
    if (anchor == std::string::npos || anchor < kDateDigits + 1 || text.size() - anchor - 1 < 2) return false;
    if (!ReadDate(text.c_str() + anchor - kDateDigits, date)) return false;
    const char* digits = text.c_str() + anchor + 2;  // past the underscore and the one character
    const size_t count = std::strspn(digits, "0123456789");
    if (count == 0 || count > kVersionDigits) return false;
    version = Digits(digits, count);
    return true;
}

// The fields the check reads; the multi-byte ones are little-endian.
IMG_HEAD ReadHead(const uint8_t* bytes) {
    IMG_HEAD head{};
    head.product_type = bytes[offsetof(IMG_HEAD, product_type)];
    head.flash_type = bytes[offsetof(IMG_HEAD, flash_type)];
    std::memcpy(head.build_date, bytes + offsetof(IMG_HEAD, build_date), sizeof(head.build_date));
    head.version = bytes[offsetof(IMG_HEAD, version)];
    head.file_length = byteorder::GetLe64(bytes + offsetof(IMG_HEAD, file_length));
    head.data_checksum = byteorder::GetLe32(bytes + offsetof(IMG_HEAD, data_checksum));
    return head;
}

UniqueFile Open(const std::string& path) { return UniqueFile(std::fopen(path.c_str(), "rbe")); }

}  // namespace

// The camera families and the product group their images name.
int FirmwareImage::ProductGroup(int deviceType) {
    switch (deviceType) {
        case 14:
        case 15:
        case 16:
        case 17: return 11;
        case 18:
        case 19: return 18;
        case 20:
        case 21: return 20;
        default: return 0;
    }
}

FirmwareImage::Result FirmwareImage::Check(const char* oldFW, const char* imgPath, int deviceType, const char* tag) {
    Result result;
    if (oldFW == nullptr || imgPath == nullptr) {
        LOG_DEVICE(tag, "oldFW:%p pImgPath:%p is invalid.", static_cast<const void*>(oldFW),
                   static_cast<const void*>(imgPath));
        return result;
    }
    const std::string cameraText(oldFW, strnlen(oldFW, kFirmwareTextMax));
    Date cameraDate;
    int cameraVersion = 0;
    if (!ReadCameraFirmware(cameraText, cameraDate, cameraVersion)) {
        LOG_DEVICE(tag, "oldFW:%s is invalid.", cameraText.c_str());
        return result;
    }

    const std::string path = DeviceCommonProtocol::customreplace_(imgPath, "\\", "/");
    UniqueFile file = Open(path);
    if (!file) {
        LOG_DEVICE(tag, "pImgPath:%s open failed %d.", path.c_str(), errno);
        return result;
    }
    if (fseeko(file.get(), 0, SEEK_END) != 0) {
        LOG_DEVICE(tag, "pImgPath:%s seek failed %d.", path.c_str(), errno);
        return result;
    }
    const off_t size = ftello(file.get());
    if (size <= static_cast<off_t>(sizeof(IMG_HEAD) - 1)) {
        LOG_DEVICE(tag, "The upgrade file:%s is too small:%lld.", path.c_str(), static_cast<long long>(size));
        return result;
    }
    // The camera takes the length as 32 bits.
    if (static_cast<unsigned long long>(size) > std::numeric_limits<uint32_t>::max()) {
        LOG_DEVICE(tag, "The upgrade file:%s is too large:%lld.", path.c_str(), static_cast<long long>(size));
        return result;
    }

    uint8_t headBytes[sizeof(IMG_HEAD)];
    std::rewind(file.get());
    if (std::fread(headBytes, sizeof(headBytes), 1, file.get()) != 1) {
        LOG_DEVICE(tag, "read IMG_HEAD failed:%d", errno);
        return result;
    }
    const IMG_HEAD head = ReadHead(headBytes);
    Date imageDate;
    if (strnlen(head.build_date, sizeof(head.build_date)) < kDateDigits || !ReadDate(head.build_date, imageDate)) {
        LOG_DEVICE(tag, "build_date of %s is invalid.", path.c_str());
        return result;
    }

    const uint64_t fileSize = static_cast<uint64_t>(size);
    int verdict = status::kOk;
    if (imageDate.Key() < cameraDate.Key() || head.flash_type != 0) {
        LOG_DEVICE(tag, "version or flash type check failed:%lld %lld %d.", imageDate.Midnight(), cameraDate.Midnight(),
                   head.flash_type);
        verdict = status::kImageUnusable;
    } else if (head.product_type != ProductGroup(deviceType)) {
        LOG_DEVICE(tag, "product_type:%d is invalid.", head.product_type);
        verdict = status::kImageUnusable;
    } else if (head.version < cameraVersion) {
        LOG_DEVICE(tag, "Version error  %d, %d", head.version, cameraVersion);
        verdict = head.file_length == fileSize ? status::kOlderFirmware : status::kImageUnusable;
    }
    if (head.file_length != fileSize) {
        LOG_DEVICE(tag, "Upgrade file:%s size mismatch(%llu, %llu).", imgPath,
                   static_cast<unsigned long long>(fileSize), static_cast<unsigned long long>(head.file_length));
        if (verdict == status::kOk) verdict = status::kImageUnusable;
    }
    if (verdict != status::kOk) {
        result.status = verdict;
        return result;
    }

    // The payload follows the header in the file already open.
    const FileSum::Result payload = FileSum::Unsigned(file.get());
    if (!payload.ok) {
        LOG_DEVICE(tag, "read %s failed %d.", path.c_str(), errno);
        return result;
    }
    if (payload.sum != head.data_checksum) {
        LOG_DEVICE(tag, "the checksum of valid data 0x%x != 0x%x is mismatch.", head.data_checksum, payload.sum);
        return result;
    }
    result.status = status::kOk;
    result.fileLen = static_cast<uint32_t>(fileSize);
    result.checksum = payload.sum + FileSum::Unsigned(headBytes, sizeof(headBytes));
    LOG_DEVICE(tag, "m_imgChecksum:0x%0x", result.checksum);
    return result;
}
