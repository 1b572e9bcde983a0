#include "HostInterfaces.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <cerrno>
#include <cstring>

#include "log.h"

namespace {

bool ParseIPv4(const char* text, in_addr& out) { return text != nullptr && inet_pton(AF_INET, text, &out) == 1; }

std::string AddressText(const sockaddr* address) {
    char text[INET_ADDRSTRLEN] = {};
    if (address == nullptr || address->sa_family != AF_INET) return "";
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, text, sizeof(text));
    return text;
}

}  // namespace

bool ReadHostInterfaces(std::vector<HostInterfaceAddress>& out) {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return false;
    out.clear();
    for (ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) continue;
        out.push_back(
            {entry->ifa_name ? entry->ifa_name : "", AddressText(entry->ifa_addr), AddressText(entry->ifa_netmask)});
    }
    freeifaddrs(list);
    return true;
}

bool GetReceivedIP(const char* deviceIP, int ifIndex, const char* receivedIP, std::string& subnetMask,
                   std::string& ifName) {
    in_addr parsed{};
    if (!ParseIPv4(receivedIP, parsed)) {
        LOG_PRINTF("pReceivedIP:%s is invalid", receivedIP ? receivedIP : "null");
        return false;
    }
    if (!ParseIPv4(deviceIP, parsed)) {
        LOG_PRINTF("pDeviceIP:%s is invalid", deviceIP ? deviceIP : "null");
        return false;
    }
    std::vector<HostInterfaceAddress> interfaces;
    if (!ReadHostInterfaces(interfaces)) {
        LOG_PRINTF("getifaddrs is failed");
        return false;
    }
    char name[IF_NAMESIZE] = {};
    if (if_indextoname(static_cast<unsigned>(ifIndex), name) == nullptr) {
        const int error = errno;
        LOG_PRINTF("if_indextoname() failed with errno =  %d %s \n", error, strerror(error));
        return false;
    }
    return GetReceivedIP(deviceIP, name, receivedIP, interfaces, subnetMask, ifName);
}

bool GetReceivedIP(const char* deviceIP, const std::string& indexName, const char* receivedIP,
                   const std::vector<HostInterfaceAddress>& interfaces, std::string& subnetMask, std::string& ifName) {
    in_addr host{};
    in_addr device{};
    if (!ParseIPv4(receivedIP, host)) {
        LOG_PRINTF("pReceivedIP:%s is invalid", receivedIP ? receivedIP : "null");
        return false;
    }
    if (!ParseIPv4(deviceIP, device)) {
        LOG_PRINTF("pDeviceIP:%s is invalid", deviceIP ? deviceIP : "null");
        return false;
    }
    for (const HostInterfaceAddress& entry : interfaces) {
        in_addr address{};
        in_addr mask{};
        if (entry.name != indexName || !ParseIPv4(entry.address.c_str(), address) || address.s_addr != host.s_addr ||
            !ParseIPv4(entry.netmask.c_str(), mask)) {
            continue;
        }
        if (((host.s_addr ^ device.s_addr) & mask.s_addr) != 0) {
            LOG_PRINTF("ifa_name:%s, deviceIP:%s, addressIP:%s, subnetMask:%s is mismatch.", entry.name.c_str(),
                       deviceIP, entry.address.c_str(), entry.netmask.c_str());
            return false;
        }
        subnetMask = entry.netmask;
        ifName = entry.name;
        return true;
    }
    return false;
}
