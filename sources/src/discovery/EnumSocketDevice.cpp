#include "EnumSocketDevice.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "HostInterfaces.h"
#include "log.h"
#include "pathtools.h"

std::vector<std::string> EnumSocketDevice::m_driverlist;

namespace {

constexpr int kReceiveWaitMs = 1000;     // a stop is noticed within about this long
constexpr size_t kReceiveBuffer = 1024;  // room for any datagram, far above a camera's 89 bytes
// Older cameras of one model still announce its former type.
constexpr uint8_t kAnnouncedLegacyType = 0x0B;
constexpr uint8_t kLegacyTypeRecordedAs = 0x11;
// The products the kit takes without a profile of their type in "/Config/".
constexpr uint8_t kBuiltInTypes[] = {0x0B, 0x0E, 0x0F, 0x10, 0x11, 0x12, 0x13};

constexpr int kStateNormal = 0;
constexpr int kStateUnchanged = 1;
constexpr int kStateLeaving = 2;
constexpr int kStateUpgrade = 3;
constexpr int kStateFour = 4;

// Copies a text into a fixed field, cut to fit and NUL-terminated.
template <size_t N>
void CopyField(char (&field)[N], const char* text) {
    const size_t length = strnlen(text, N - 1);
    std::memmove(field, text, length);
    field[length] = '\0';
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void LogDatagram(const char* lead, const DiscoveryDatagram& d) {
    LOG_PRINTF(
        "%s0x%x, bcc:0x%x, len:%d, tof:%d, rgb:%d, ip:%s, deviceType:%d, sn:%s, camerastate:%d, peerip:%s, "
        "alias:%s",
        lead, d.header, d.bcc, d.len, d.tof, d.rgb, d.ip, d.deviceType, d.sn, d.camerastate, d.peerip, d.alias);
}

}  // namespace

void getFiles(const std::string& folder, std::vector<std::string>& list, const std::string& suffix) {
    list.clear();
    dirent** entries = nullptr;
    const int count = scandir(folder.c_str(), &entries, nullptr, alphasort);
    for (int i = 0; i < count; ++i) {
        const std::string name = entries[i]->d_name;
        if (name.size() >= suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
            const std::string path = folder + name;
            LOG_PRINTF("fullFileName:%s", path.c_str());
            list.push_back(path);
        }
        free(entries[i]);
    }
    free(entries);
}

EnumSocketDevice::EnumSocketDevice(const std::string& moduleDir)
    : StoppableThread("EnumSocketDevice"),
      m_socket(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)),
      m_wakeFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)),
      m_subnetMatcher([](const char* deviceIP, int ifIndex, const char* hostIP, std::string& mask,
                         std::string& ifName) { return GetReceivedIP(deviceIP, ifIndex, hostIP, mask, ifName); }) {
    const std::string folder = moduleDir.empty() ? Path_GetModuleDir() : moduleDir;
    LOG_PRINTF("moduleDir:%s", folder.c_str());
    getFiles(folder + "/Config/", m_profiles, ".json");
    getFiles(folder + "/Drivers/", m_driverlist, ".so");
    InitDeviceTypeVec(m_profiles);
}

EnumSocketDevice::~EnumSocketDevice() {
    Stop();
    Join();
    if (m_socket >= 0) close(m_socket);
    m_socket = 0;
    if (m_wakeFd >= 0) close(m_wakeFd);
}

void EnumSocketDevice::Stop() {
    StoppableThread::Stop();
    if (m_wakeFd >= 0) {
        const uint64_t one = 1;
        if (write(m_wakeFd, &one, sizeof(one)) < 0) LOG_PRINTF("wake write failed: %s", strerror(errno));
    }
}

void EnumSocketDevice::InitDeviceTypeVec(const std::vector<std::string>& profiles) {
    for (const std::string& path : profiles) {
        // The type is read from the file's own name, so a folder with '_' in it cannot change it.
        const std::string name = BaseName(path);
        const size_t underscore = name.rfind('_');
        std::string text = underscore == std::string::npos ? name : name.substr(underscore + 1);
        const size_t dot = text.rfind('.');
        if (dot != std::string::npos) text.resize(dot);
        unsigned value = 0;
        if (std::sscanf(text.c_str(), "%x", &value) != 1) value = 0;
        if (value >= 1 && value <= 254) {  // fits the datagram's type byte; 0 and 0xFF are refused
            m_deviceTypes.push_back(static_cast<uint8_t>(value));
            LOG_PRINTF("support deviceType:%d", value);
        } else {
            LOG_PRINTF("json:%s is invalid", path.c_str());
        }
    }
}

bool EnumSocketDevice::IsProductProfileEmpty() const {
    if (!m_profiles.empty()) return false;
    LOG_PRINTF("product profile is empty!");
    return true;
}

bool EnumSocketDevice::IsValidDeviceType(uint8_t type) const {
    for (uint8_t known : kBuiltInTypes) {
        if (known == type) return true;
    }
    for (uint8_t known : m_deviceTypes) {
        if (known == type) return true;
    }
    return false;
}

std::string EnumSocketDevice::matchJsonFile(int type) const {
    char ending[16];
    std::snprintf(ending, sizeof(ending), "%02X.json", type & 0xFF);
    const size_t length = std::strlen(ending);
    std::string match;
    for (const std::string& path : m_profiles) {
        if (path.size() > length && path.compare(path.size() - length, length, ending) == 0) match = path;
    }
    return match;
}

void EnumSocketDevice::AcceptDatagram(const DiscoveryDatagram& datagram, int ifIndex, const std::string& hostIP) {
    if (!IsValidDeviceType(datagram.deviceType)) {
        LogDatagram("error header:", datagram);
        return;
    }
    const int deviceType = datagram.deviceType == kAnnouncedLegacyType ? kLegacyTypeRecordedAs : datagram.deviceType;
    LockGuard lock(m_lock);
    for (auto& entry : m_devices) {
        if (std::strncmp(entry->sn, datagram.sn, DiscoveryDatagram::kSnWidth) != 0) continue;
        if (entry->camerastate != datagram.camerastate) {
            LogDatagram(" camerastate change:", datagram);
            entry->camerastate = datagram.camerastate;
        }
        entry->ifIndex = ifIndex;
        if (!hostIP.empty()) CopyField(entry->hostIP, hostIP.c_str());
        if (std::strcmp(entry->alias, datagram.alias) != 0) {
            LOG_PRINTF("%s alias: %s -> %s", entry->sn, entry->alias, datagram.alias);
            CopyField(entry->alias, datagram.alias);
        }
        if (std::strcmp(entry->ip, datagram.ip) != 0)
            LOG_PRINTF("%s ip change: %s -> %s", entry->sn, entry->ip, datagram.ip);
        CopyField(entry->ip, datagram.ip);
        entry->updated = true;
        return;
    }
    if (m_devices.size() >= kMaxCameras) {
        if (!m_capLogged) LOG_PRINTF("sn:%s ignored: %zu cameras are known already", datagram.sn, m_devices.size());
        m_capLogged = true;
        return;
    }
    LogDatagram(" new device:", datagram);
    auto entry = std::make_unique<SocKetDevice>();
    entry->tof = datagram.tof;
    entry->rgb = datagram.rgb;
    CopyField(entry->ip, datagram.ip);
    entry->deviceType = deviceType;
    CopyField(entry->sn, datagram.sn);
    entry->camerastate = datagram.camerastate;
    CopyField(entry->alias, datagram.alias);
    entry->ifIndex = ifIndex;
    CopyField(entry->hostIP, hostIP.c_str());
    entry->updated = true;
    m_devices.push_back(std::move(entry));
}

void EnumSocketDevice::UpdateSubnet(const SocKetDevice& entry, DeviceInfo& record) {
    std::string mask;
    std::string ifName;
    record.sameSubnet = m_subnetMatcher(entry.ip, entry.ifIndex, record.hostIP, mask, ifName);
    if (record.sameSubnet) {
        CopyField(record.subnetMask, mask.c_str());
        CopyField(record.ifName, ifName.c_str());
    }
}

void EnumSocketDevice::CreateRecord(SocKetDevice& entry, std::vector<std::unique_ptr<DeviceInfo>>& list) {
    size_t withoutDevice = 0;
    for (const auto& record : list) {
        if (record->device == nullptr && record->status != QlDeviceGone) ++withoutDevice;
    }
    if (withoutDevice >= kMaxCameras) {
        if (!m_capLogged) LOG_PRINTF("<%s> ignored: %zu cameras are listed already", entry.sn, withoutDevice);
        m_capLogged = true;
        return;
    }
    const std::string path = matchJsonFile(entry.deviceType);
    LOG_PRINTF("<%s> deviceType:0x%X, ip:%s, alias:%s jsonPath:%s", entry.sn, entry.deviceType, entry.ip, entry.alias,
               path.c_str());
    if (path.empty()) {
        LOG_PRINTF("<%s> deviceType:%d is invalid.", entry.sn, entry.deviceType);
        return;  // the entry stays updated: the next pass tries again
    }
    auto record = std::make_unique<DeviceInfo>();
    record->deviceType = entry.deviceType;
    record->pendingEvent = 0;
    CopyField(record->hostIP, entry.hostIP);
    record->ifIndex = entry.ifIndex;
    UpdateSubnet(entry, *record);
    record->config.Init(path);
    const std::string& productName = record->config.GetProductName();
    std::snprintf(record->uri, sizeof(record->uri), "%s:%s", productName.c_str(), entry.sn);
    CopyField(record->alias, entry.alias[0] != '\0' ? entry.alias : entry.sn);
    CopyField(record->productName, productName.c_str());
    CopyField(record->serialNumber, entry.sn);
    CopyField(record->ip, entry.ip);
    entry.updated = false;
    list.push_back(std::move(record));
}

void EnumSocketDevice::FollowEntry(SocKetDevice& entry, DeviceInfo& record) {
    const char* sn = record.serialNumber;
    if (std::strncmp(entry.hostIP, record.hostIP, sizeof(record.hostIP)) != 0) {
        LOG_PRINTF("<%s> peerip %s != %s", sn, record.hostIP, entry.hostIP);
        CopyField(record.hostIP, entry.hostIP);
        UpdateSubnet(entry, record);
    }
    if (record.status != QlDeviceGone) record.missCount = 0;
    if (entry.alias[0] != '\0' && std::strcmp(entry.alias, record.alias) != 0) {
        LOG_PRINTF("<%s> alias: %s -> %s", sn, record.alias, entry.alias);
        CopyField(record.alias, entry.alias);
    }
    if (std::strcmp(entry.ip, record.ip) != 0) {
        LOG_PRINTF("<%s> ip: %s -> %s", sn, record.ip, entry.ip);
        record.hostIP[0] = '\0';  // the next merge takes the host address again
        CopyField(record.ip, entry.ip);
    }
    switch (entry.camerastate) {
        case kStateNormal:
            if (record.status == QlDeviceOpened) {
                LOG_PRINTF("<%s> wait for  remove first Opened", sn);
            } else if (record.status == QlDeviceRemoving && record.reportedEvent == 0) {
                record.status = QlDeviceAvailable;
            } else {
                record.status = QlDeviceAvailable;
                const bool announce =
                    record.device == nullptr
                        ? record.reportedEvent == 1 || (record.pendingEvent == -1 && record.reportedEvent == -1)
                        : record.pendingEvent == -1 && record.reportedEvent != 0;
                if (announce) {
                    LOG_PRINTF("<%s> setCallBackStatus add", sn);
                    record.pendingEvent = 0;
                }
            }
            break;
        case kStateUnchanged: break;
        case kStateLeaving:
            if (record.status == QlDeviceGone) break;
            record.status = QlDeviceRemoving;
            if (record.reportedEvent != 0 || record.pendingEvent == 1) {
                LOG_PRINTF("<%s> %d %d ", sn, record.pendingEvent, record.reportedEvent);
            } else {
                LOG_PRINTF("<%s> setCallBackStatus remove", sn);
                record.pendingEvent = 1;
            }
            break;
        case kStateUpgrade: record.status = QlUpgradeUnconnected; break;
        case kStateFour: record.status = QlDeviceCameraState4; break;
        default: record.status = QlDeviceRemoving; break;
    }
    entry.updated = false;
}

void EnumSocketDevice::UpdateDeviceListInfo(std::vector<std::unique_ptr<DeviceInfo>>& list) {
    LockGuard lock(m_lock);
    for (auto& entry : m_devices) {
        DeviceInfo* record = nullptr;
        for (auto& candidate : list) {
            if (std::strncmp(candidate->serialNumber, entry->sn, sizeof(candidate->serialNumber)) == 0) {
                record = candidate.get();
                break;
            }
        }
        if (record == nullptr) {
            if (entry->camerastate == kStateNormal || entry->camerastate == kStateUpgrade) CreateRecord(*entry, list);
        } else if (entry->updated) {
            FollowEntry(*entry, *record);
        } else if (record->status != QlDeviceGone && record->device == nullptr) {
            if (record->missCount > 1) {
                LOG_PRINTF("<%s> has no udp ", record->serialNumber);
                record->missCount = 0;
                record->status = QlDeviceGone;
            } else {
                ++record->missCount;
            }
        }
    }
}

bool EnumSocketDevice::OpenSocket() {
    const int on = 1;
    if (setsockopt(m_socket, SOL_SOCKET, SO_BROADCAST, &on, sizeof(on)) != 0) {
        LOG_PRINTF("Error in setting Broadcast option");
        close(m_socket);
        m_socket = -1;
        return false;
    }
    const timeval timeout{1, 0};
    if (setsockopt(m_socket, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout)) != 0) {
        LOG_PRINTF("Error in setting Broadcast option  timeout");
    }
    if (setsockopt(m_socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on)) != 0) {
        LOG_PRINTF("setsockopt() error, errno[%d], info: %s", errno, strerror(errno));
    }
    if (setsockopt(m_socket, IPPROTO_IP, IP_PKTINFO, &on, sizeof(on)) != 0) {
        LOG_PRINTF("setsockopt() error, errno[%d], info: %s", errno, strerror(errno));
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(kDiscoveryPort);
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    if (bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        LOG_PRINTF("Error in BINDING:%d ,info: %s", errno, strerror(errno));
        close(m_socket);
        m_socket = -1;
        return false;
    }
    return true;
}

void EnumSocketDevice::ReceiveOne() {
    pollfd fds[2] = {{m_socket, POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
    if (poll(fds, 2, kReceiveWaitMs) <= 0 || !(fds[0].revents & POLLIN)) return;
    uint8_t buffer[kReceiveBuffer] = {};
    uint8_t control[kReceiveBuffer] = {};
    iovec io{buffer, sizeof(buffer)};
    msghdr message{};
    message.msg_iov = &io;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof(control);
    const ssize_t received = recvmsg(m_socket, &message, MSG_DONTWAIT);
    if (received < 0) return;
    for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
        if (c->cmsg_level != IPPROTO_IP || c->cmsg_type != IP_PKTINFO) continue;
        in_pktinfo info{};
        std::memcpy(&info, CMSG_DATA(c), sizeof(info));
        // The host's own address on the interface; for a broadcast ipi_addr is the
        // broadcast address itself.
        char hostIP[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &info.ipi_spec_dst, hostIP, sizeof(hostIP));
        AcceptDatagram(ParseDiscoveryDatagram(buffer, static_cast<size_t>(received)), info.ipi_ifindex, hostIP);
        return;
    }
}

void EnumSocketDevice::Run() {
    if (m_socket < 0 || !OpenSocket()) return;
    while (IsRunning()) ReceiveOne();
}
