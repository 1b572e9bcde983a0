#include "PublicDeviceInfo.h"

#include <cstring>

namespace {

// Copies the text of a record's field into a zeroed field, leaving its last byte zero.
template <size_t To, size_t From>
void CopyText(char (&to)[To], const char (&from)[From]) {
    constexpr size_t limit = To - 1 < From ? To - 1 : From;
    std::memcpy(to, from, strnlen(from, limit));
}

}  // namespace

QlDeviceInfo ToQlDeviceInfo(const DeviceInfo& record) {
    QlDeviceInfo info;
    std::memset(&info, 0, sizeof(info));
    CopyText(info.productName, record.productName);
    CopyText(info.uri, record.uri);
    CopyText(info.alias, record.alias);
    CopyText(info.serialNumber, record.serialNumber);
    CopyText(info.ip, record.ip);
    info.status = record.status;
    return info;
}
