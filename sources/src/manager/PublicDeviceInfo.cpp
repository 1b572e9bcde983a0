#include "PublicDeviceInfo.h"

#include <cstring>

#include "TerminatedText.h"

QlDeviceInfo ToQlDeviceInfo(const DeviceInfo& record) {
    QlDeviceInfo info;
    std::memset(&info, 0, sizeof(info));
    CopyTerminatedText(info.productName, record.productName);
    CopyTerminatedText(info.uri, record.uri);
    CopyTerminatedText(info.alias, record.alias);
    CopyTerminatedText(info.serialNumber, record.serialNumber);
    CopyTerminatedText(info.ip, record.ip);
    info.status = record.status;
    return info;
}
