#include <gtest/gtest.h>

#include <string>

#include "Discovery.h"

namespace camsim {
namespace {

std::string TextAt(const DiscoveryDatagram& d, size_t offset, size_t width) {
    std::string text;
    for (size_t i = offset; i < offset + width && d[i] != 0; ++i) {
        text.push_back(static_cast<char>(d[i]));
    }
    return text;
}

DiscoveryInfo Camera(AnnouncedState state) {
    DiscoveryInfo info;
    info.tof = 1;
    info.rgb = -1;
    info.ip = "127.0.0.7";
    info.deviceType = 0x0B;
    info.serialNumber = "SN-0042";
    info.state = state;
    info.peerIp = "127.0.0.1";
    info.alias = "bench";
    return info;
}

class DiscoveryFields : public ::testing::TestWithParam<std::pair<AnnouncedState, int8_t>> {};

TEST_P(DiscoveryFields, EveryFieldAtItsOffset) {
    const DiscoveryDatagram d = BuildDiscoveryDatagram(Camera(GetParam().first));
    ASSERT_EQ(d.size(), 89u);
    EXPECT_EQ(d[0], 0xAA);
    EXPECT_EQ(d[2], 89);
    EXPECT_EQ(static_cast<int8_t>(d[3]), 1);
    EXPECT_EQ(static_cast<int8_t>(d[4]), -1);
    EXPECT_EQ(TextAt(d, 5, 16), "127.0.0.7");
    EXPECT_EQ(d[21], 0x0B);
    EXPECT_EQ(TextAt(d, 22, 30), "SN-0042");
    EXPECT_EQ(static_cast<int8_t>(d[52]), GetParam().second);
    EXPECT_EQ(TextAt(d, 53, 16), "127.0.0.1");
    EXPECT_EQ(TextAt(d, 69, 20), "bench");
    uint8_t x = 0;
    for (uint8_t byte : d) {
        x ^= byte;
    }
    EXPECT_EQ(x, 0) << "bcc makes the XOR of the whole datagram zero";
}

INSTANTIATE_TEST_SUITE_P(States, DiscoveryFields,
                         ::testing::Values(std::make_pair(AnnouncedState::Normal, int8_t{0}),
                                           std::make_pair(AnnouncedState::Leaving, int8_t{2}),
                                           std::make_pair(AnnouncedState::UpgradeWaiting, int8_t{3})));

TEST(Discovery, OverLongTextsAreCutAndKeepTheirTerminator) {
    DiscoveryInfo info = Camera(AnnouncedState::Normal);
    info.ip = std::string(40, '1');
    info.serialNumber = std::string(40, 'S');
    info.peerIp = std::string(40, '2');
    info.alias = std::string(40, 'A');
    const DiscoveryDatagram d = BuildDiscoveryDatagram(info);
    struct Field {
        size_t offset, width;
        char fill;
    };
    for (const Field& f : {Field{5, 16, '1'}, Field{22, 30, 'S'}, Field{53, 16, '2'}, Field{69, 20, 'A'}}) {
        EXPECT_EQ(TextAt(d, f.offset, f.width), std::string(f.width - 1, f.fill));
        EXPECT_EQ(d[f.offset + f.width - 1], 0) << "field at " << f.offset;
    }
    // Neighbouring single-byte fields are untouched.
    EXPECT_EQ(d[21], 0x0B);
    EXPECT_EQ(d[52], 0);
}

TEST(Discovery, EmptyTextsAreAllZero) {
    DiscoveryInfo info;
    const DiscoveryDatagram d = BuildDiscoveryDatagram(info);
    for (size_t i = 69; i < 89; ++i) {
        EXPECT_EQ(d[i], 0) << i;
    }
    EXPECT_EQ(TextAt(d, 22, 30), "");
}

}  // namespace
}  // namespace camsim
