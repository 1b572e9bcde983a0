#pragma once
#include <string>
#include <vector>

// One IPv4 address of a host interface.
struct HostInterfaceAddress {
    std::string name;
    std::string address;
    std::string netmask;
};

// The host's IPv4 interface addresses; false when they cannot be read.
bool ReadHostInterfaces(std::vector<HostInterfaceAddress>& out);

// Whether a camera heard on an interface lies in that interface's subnet. On true the
// interface's mask and name are written. The second form takes the interface list and the
// index's name, so tests need not depend on the host.
bool GetReceivedIP(const char* deviceIP, int ifIndex, const char* receivedIP, std::string& subnetMask,
                   std::string& ifName);
bool GetReceivedIP(const char* deviceIP, const std::string& indexName, const char* receivedIP,
                   const std::vector<HostInterfaceAddress>& interfaces, std::string& subnetMask, std::string& ifName);
