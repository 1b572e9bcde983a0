#include <gtest/gtest.h>

#include <string>

#include "DiscoveryDatagram.h"
#include "DiscoveryTestSupport.h"

namespace {

TEST(DiscoveryDatagramTest, ReadsEveryField) {
    DatagramBytes d;
    d.bytes[0] = 0xAA;
    d.bytes[1] = 0x12;
    d.bytes[2] = 89;
    d.bytes[3] = 0xFF;  // signed
    d.bytes[4] = 1;
    d.Ip("192.168.1.20").Type(0x11).Sn("SN123").State(3).PeerIp("192.168.1.1").Alias("hall");
    const DiscoveryDatagram parsed = ParseDiscoveryDatagram(d.bytes.data(), d.bytes.size());
    EXPECT_EQ(parsed.header, 0xAA);
    EXPECT_EQ(parsed.bcc, 0x12);
    EXPECT_EQ(parsed.len, 89);
    EXPECT_EQ(parsed.tof, -1);
    EXPECT_EQ(parsed.rgb, 1);
    EXPECT_STREQ(parsed.ip, "192.168.1.20");
    EXPECT_EQ(parsed.deviceType, 0x11);
    EXPECT_STREQ(parsed.sn, "SN123");
    EXPECT_EQ(parsed.camerastate, 3);
    EXPECT_STREQ(parsed.peerip, "192.168.1.1");
    EXPECT_STREQ(parsed.alias, "hall");
}

struct LengthCase {
    const char* name;
    size_t size;
    const char* alias;
    const char* sn;
};

TEST(DiscoveryDatagramTest, ShortDatagramsReadAsZeroPadded) {
    DatagramBytes d;
    d.Sn("SN1").Alias("abc");
    const LengthCase cases[] = {
        {"whole", 89, "abc", "SN1"},  {"alias cut", 70, "a", "SN1"}, {"no alias", 69, "", "SN1"},
        {"serial cut", 24, "", "SN"}, {"empty", 0, "", ""},
    };
    for (const LengthCase& c : cases) {
        const DiscoveryDatagram parsed = ParseDiscoveryDatagram(d.bytes.data(), c.size);
        EXPECT_STREQ(parsed.alias, c.alias) << c.name;
        EXPECT_STREQ(parsed.sn, c.sn) << c.name;
    }
    EXPECT_STREQ(ParseDiscoveryDatagram(nullptr, 89).sn, "");
}

TEST(DiscoveryDatagramTest, UnterminatedTextsStayWithinTheirFields) {
    DatagramBytes d;
    d.Ip(std::string(16, '1')).Sn(std::string(30, 'S')).PeerIp(std::string(16, '2')).Alias(std::string(20, 'A'));
    d.bytes[21] = 0x11;
    d.bytes[52] = 0;
    const DiscoveryDatagram parsed = ParseDiscoveryDatagram(d.bytes.data(), d.bytes.size());
    EXPECT_EQ(std::string(parsed.ip), std::string(16, '1'));
    EXPECT_EQ(std::string(parsed.sn), std::string(30, 'S'));
    EXPECT_EQ(std::string(parsed.peerip), std::string(16, '2'));
    EXPECT_EQ(std::string(parsed.alias), std::string(20, 'A'));
}

TEST(DiscoveryDatagramTest, BytesAfterTheLastFieldAreIgnored) {
    DatagramBytes d;
    d.Alias(std::string(20, 'A'));
    d.bytes.resize(200, 'X');
    EXPECT_EQ(std::string(ParseDiscoveryDatagram(d.bytes.data(), d.bytes.size()).alias), std::string(20, 'A'));
}

}  // namespace
