#include <functional>

#include "CommandTestSupport.h"

namespace {

using namespace linktest;

constexpr CMDTYPE SET = CMDTYPE_SET;
constexpr CMDTYPE GET = CMDTYPE_GET;

class IdentityCommandsTest : public CommandFixture {};

struct TextGetCase {
    const char* name;
    std::function<int(DeviceCommonProtocol&, char*, int)> get;
    int cmd;
    uint8_t sub;
};

TEST_F(IdentityCommandsTest, TextGetsAreBoundedAndTerminated) {
    const TextGetCase cases[] = {
        {"firmware version", &DeviceCommonProtocol::GetFirmwareVersion, 19, 3},
        {"sensor serial number", &DeviceCommonProtocol::GetSensorSN, 19, 2},
        {"device serial number", [](DeviceCommonProtocol& p, char* b, int l) { return p.GetDeviceSN(b, l); }, 24, 0x12},
        {"MAC address", &DeviceCommonProtocol::GetMACAddress, 24, 0x13},
        {"IP address", &DeviceCommonProtocol::GetDeviceIPAddr, 24, 0x15},
        {"subnet mask", &DeviceCommonProtocol::GetSubnetMask, 24, 0x16},
    };
    for (const TextGetCase& c : cases) {
        SCOPED_TRACE(c.name);
        io->ClearSent();
        char out[8];
        std::memset(out, 'x', sizeof(out));
        io->Push(0, Text(0, "ABC"));
        EXPECT_EQ(c.get(*proto, out, 6), 0);
        EXPECT_STREQ(out, "ABC");
        EXPECT_EQ(out[6], 'x');  // nothing past the caller's length
        ASSERT_EQ(Sent().size(), 1u);
        EXPECT_EQ(Sent()[0], (Wire{c.cmd, GET, {c.sub}}));
        EXPECT_EQ(io->SentCommands()[0].bufSize, 7);

        // A reply that fills every byte still leaves a terminated text.
        std::memset(out, 'x', sizeof(out));
        io->Push(0, Text(0, "LONGTEXT"));
        EXPECT_EQ(c.get(*proto, out, 6), 0);
        EXPECT_STREQ(out, "LONGT");
        EXPECT_EQ(out[6], 'x');

        // A failed get leaves the text (the firmware version alone clears it).
        std::strcpy(out, "old");
        io->Push(-104);
        EXPECT_EQ(c.get(*proto, out, 6), -104);
        EXPECT_STREQ(out, c.cmd == 19 && c.sub == 3 ? "" : "old");
    }
    EXPECT_TRUE(log.Contains("<SN01> fwVer:\n") || log.Contains("<SN01> fwVer:"));
    EXPECT_TRUE(log.Contains("<SN01> macAddr:ABC"));
    EXPECT_TRUE(log.Contains("<SN01> subnetMask:ABC"));
}

TEST_F(IdentityCommandsTest, HardwareVersionPrimesWithASet) {
    char out[8] = {};
    io->Push(0);
    io->Push(0, Text(0, "HW2"));
    EXPECT_EQ(proto->GetHWVer(out, 4), 0);
    EXPECT_STREQ(out, "HW2");
    EXPECT_EQ(Sent(), (std::vector<Wire>{{19, SET, {4, 0, 0, 0, 0}}, {19, GET, {4}}}));
}

TEST_F(IdentityCommandsTest, MACAddressIsCheckedBeforeAnythingIsSent) {
    const char sixteen[] = "AA:BB:CC:DD:EE:F";
    EXPECT_EQ(proto->SetMACAddress(sixteen, 18), -15);
    EXPECT_EQ(proto->SetMACAddress("AA:BB:CC:DD:EE:FF", 16), -15);
    EXPECT_EQ(proto->SetMACAddress(nullptr, 18), -15);
    EXPECT_TRUE(Sent().empty());
    EXPECT_TRUE(log.Contains("<SN01> length:18 pMACAddress:AA:BB:CC:DD:EE:F len:16 is invalid."));
}

TEST_F(IdentityCommandsTest, MACAddressSendsWithinTheCallersBuffer) {
    const std::string mac = "AA:BB:CC:DD:EE:FF";
    // Exactly 17 bytes: no terminating zero is read or sent.
    char exact[17];
    std::memcpy(exact, mac.data(), 17);
    io->Push(0);
    io->Push(0, Text(0, mac));
    EXPECT_EQ(proto->SetMACAddress(exact, 17), 0);
    EXPECT_EQ(Sent()[0], (Wire{24, SET, Text(3, mac)}));
    EXPECT_EQ(Sent()[1], (Wire{24, GET, {0x13}}));

    // A length beyond the text sends the zero and no more.
    io->ClearSent();
    io->Push(0);
    io->Push(0, Text(0, mac + std::string(1, '\0') + std::string(40, 'Z')));
    EXPECT_EQ(proto->SetMACAddress(mac.c_str(), 60), 0);
    Bytes withZero = Text(3, mac);
    withZero.push_back(0);
    EXPECT_EQ(Sent()[0], (Wire{24, SET, withZero}));
}

TEST_F(IdentityCommandsTest, TextSetsReadBackAndRefuseWhatTheyCannotCarry) {
    char sn[64];
    std::memset(sn, 'S', sizeof(sn));
    EXPECT_EQ(proto->SetSN(sn, 64), -15);
    EXPECT_EQ(proto->SetDeviceIPAddr(sn, 64), -15);
    EXPECT_TRUE(Sent().empty());

    // The longest that fits goes out whole and is compared whole.
    io->SetResponder([&](const testsupport::ScriptedIO::Sent& s) {
        return s.type == CMDTYPE_GET ? Reply{0, Text(0, std::string(sn, 63))} : Reply{};
    });
    EXPECT_EQ(proto->SetSN(sn, 63), 0);
    EXPECT_EQ(Sent()[0], (Wire{19, SET, Text(2, std::string(sn, 63))}));
    EXPECT_EQ(Sent()[1], (Wire{19, GET, {2}}));

    io->ClearSent();
    io->SetResponder([](const testsupport::ScriptedIO::Sent&) { return Reply{0, Text(0, "OTHER")}; });
    char mine[] = "MINE";
    EXPECT_EQ(proto->SetDeviceSN(mine, 4), -105);
    EXPECT_EQ(Sent()[0], (Wire{24, SET, Text(2, "MINE")}));
    EXPECT_EQ(Sent()[1], (Wire{24, GET, {0x12}}));
    EXPECT_EQ(Sent().size(), 6u);
    EXPECT_TRUE(log.Contains("<SN01> Set deviceSn:MINE; Get DeviceSN:OTHE."));
}

TEST_F(IdentityCommandsTest, NetworkAndFactorySetsSendTheirPayload) {
    unsigned char dhcp = 9;
    io->Push(0);
    io->Push(0);
    io->Push(0);
    io->Push(0);
    io->Push(0, Bytes{0, 1});
    EXPECT_EQ(proto->SetDeviceIPAddr("10.0.0.7", 8), 0);
    EXPECT_EQ(proto->SetSubnetMask("255.0.0.0", 9), 0);
    EXPECT_EQ(proto->SetDHCPState(1), 0);
    EXPECT_EQ(proto->Reboot(), 0);
    EXPECT_EQ(proto->GetDHCPState(dhcp), 0);
    EXPECT_EQ(dhcp, 1);
    EXPECT_EQ(Sent(), (std::vector<Wire>{{24, SET, Text(5, "10.0.0.7")},
                                         {24, SET, Text(6, "255.0.0.0")},
                                         {24, SET, {7, 1}},
                                         {18, SET, {8}},
                                         {24, GET, {0x17, 0}}}));
    EXPECT_TRUE(log.Contains("<SN01> Set subnetMask:255.0.0.0"));
}

TEST_F(IdentityCommandsTest, FactoryModeRoundTrip) {
    const FactoryMode want{2, 1, 0, 1, 2};
    const auto bytes = [](const FactoryMode& fm) {
        Bytes b(sizeof(fm));
        std::memcpy(b.data(), &fm, sizeof(fm));
        return b;
    };
    io->Push(0);
    io->Push(0, bytes(want));
    EXPECT_EQ(proto->SetFactoryMode(want), 0);
    EXPECT_EQ(Sent()[0], (Wire{18, SET, {2, 1, 0, 1, 2, 0}}));
    EXPECT_EQ(Sent()[1], (Wire{18, GET, Bytes(20, 0)}));

    // A switch other than 0 or 1 goes out as 1 and is compared as asked.
    io->ClearSent();
    io->SetResponder([&](const testsupport::ScriptedIO::Sent& s) {
        return s.type == CMDTYPE_GET ? Reply{0, bytes(FactoryMode{1, 1, 1, 0, 1})} : Reply{};
    });
    EXPECT_EQ(proto->SetFactoryMode(FactoryMode{1, 5, 1, 0, 4}), -105);
    EXPECT_EQ(Sent()[0], (Wire{18, SET, {1, 1, 1, 0, 1, 0}}));
    EXPECT_TRUE(
        log.Contains("Set FactoryMode bAudioSwitch:1 bDepthSwitch:0 bImuSwitch:5 bRGBSwitch:4 mode:1 ;\tGet "
                     "FactoryMode bAudioSwitch:1 bDepthSwitch:0 bImuSwitch:1 bRGBSwitch:1 mode:1 "));

    io->SetResponder(nullptr);
    io->ClearSent();
    FactoryMode held{3, 0, 0, 0, 0};
    io->Push(-104);
    EXPECT_EQ(proto->GetFactoryMode(&held), -104);
    EXPECT_EQ(held.mode, 3);
    EXPECT_EQ(Sent()[0].payload, bytes(FactoryMode{3, 0, 0, 0, 0}));
}

TEST_F(IdentityCommandsTest, TriggerSignalRecords) {
    MCUParameters p{2, 9, 9, 9};
    io->Push(0, Bytes{1, 1, 0x10, 0x00, 0x20, 0x00});
    EXPECT_EQ(proto->GetMCUParameters(&p), 0);
    EXPECT_EQ(p.polarity, 9);  // the camera answered for the other signal
    EXPECT_EQ(Sent()[0], (Wire{35, GET, {2, 0, 0, 0, 0, 0}}));

    io->Push(0, Bytes{2, 1, 0x34, 0x12, 0x78, 0x56});
    EXPECT_EQ(proto->GetMCUParameters(&p), 0);
    EXPECT_EQ(p.polarity, 1);
    EXPECT_EQ(p.width, 0x1234);
    EXPECT_EQ(p.intervalOrDelay, 0x5678);

    io->ClearSent();
    io->Push(0);
    io->Push(0, Bytes{1, 0, 0x34, 0x12, 0x78, 0x56});
    EXPECT_EQ(proto->SetMCUParameters(MCUParameters{1, 0, 0x1234, 0x5678}), 0);
    EXPECT_EQ(Sent(), (std::vector<Wire>{{35, SET, {1, 0, 0x34, 0x12, 0x78, 0x56}}, {35, GET, {1, 0, 0, 0, 0, 0}}}));

    io->SetResponder([](const testsupport::ScriptedIO::Sent&) { return Reply{0, Bytes{1, 0, 1, 0, 1, 0}}; });
    EXPECT_EQ(proto->SetMCUParameters(MCUParameters{1, 1, 2, 3}), -105);
    EXPECT_TRUE(log.Contains("Set MCUParameters param:1 1 2 3; Get :1 0 1 1."));
}

}  // namespace
