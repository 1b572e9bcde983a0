#include <net/if.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "HostInterfaces.h"

namespace {

const std::vector<HostInterfaceAddress> kInterfaces = {
    {"eth0", "10.0.0.5", "255.255.255.0"},
    {"eth1", "192.168.1.2", "255.255.0.0"},
    {"eth1", "172.16.0.1", "255.255.255.0"},
};

struct SubnetCase {
    const char* name;
    const char* device;
    const char* indexName;
    const char* host;
    bool same;
    const char* mask;
};

TEST(HostInterfacesTest, SubnetMatchTable) {
    const SubnetCase cases[] = {
        {"same subnet", "10.0.0.9", "eth0", "10.0.0.5", true, "255.255.255.0"},
        {"other subnet", "10.0.1.9", "eth0", "10.0.0.5", false, ""},
        {"wider mask", "192.168.7.7", "eth1", "192.168.1.2", true, "255.255.0.0"},
        {"second address of the interface", "172.16.0.9", "eth1", "172.16.0.1", true, "255.255.255.0"},
        {"address on another interface", "10.0.0.9", "eth1", "10.0.0.5", false, ""},
        {"no such host address", "10.0.0.9", "eth0", "10.0.0.6", false, ""},
        {"host not an address", "10.0.0.9", "eth0", "10.0.0", false, ""},
        {"camera not an address", "x", "eth0", "10.0.0.5", false, ""},
    };
    for (const SubnetCase& c : cases) {
        std::string mask;
        std::string name;
        EXPECT_EQ(GetReceivedIP(c.device, c.indexName, c.host, kInterfaces, mask, name), c.same) << c.name;
        EXPECT_EQ(mask, c.mask) << c.name;
        EXPECT_EQ(name, c.same ? c.indexName : "") << c.name;
    }
}

TEST(HostInterfacesTest, LoopbackOfThisHost) {
    std::string mask;
    std::string name;
    EXPECT_TRUE(GetReceivedIP("127.0.0.2", static_cast<int>(if_nametoindex("lo")), "127.0.0.1", mask, name));
    EXPECT_EQ(mask, "255.0.0.0");
    EXPECT_EQ(name, "lo");
    EXPECT_FALSE(GetReceivedIP("127.0.0.2", 9999, "127.0.0.1", mask, name));  // no such interface
    EXPECT_FALSE(GetReceivedIP(nullptr, 1, "127.0.0.1", mask, name));
}

}  // namespace
