#include <sys/stat.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "DiscoveryTestSupport.h"
#include "EnumSocketDevice.h"
#include "LogCapture.h"
#include "TempDir.h"

namespace {

using Records = std::vector<std::unique_ptr<DeviceInfo>>;

std::string Profile(const std::string& name) {
    return R"({"productName":")" + name + R"(","connectType":"socket","toFSensor":[{"type":"halden_tof"}]})";
}

// A module folder with its Config/ and Drivers/ listings; discovery is fed datagrams directly.
class MergeTest : public ::testing::Test {
protected:
    MergeTest() {
        mkdir(dir.File("Config").c_str(), 0755);
        mkdir(dir.File("Drivers").c_str(), 0755);
        testsupport::WriteFile(dir.File("Config/Alpha_11.json"), Profile("Alpha"));
        testsupport::WriteFile(dir.File("Config/Beta_11.json"), Profile("Beta"));  // later in name order: wins
        testsupport::WriteFile(dir.File("Config/Gamma_1A.json"), Profile("Gamma"));
        testsupport::WriteFile(dir.File("Config/Bad_FF.json"), Profile("Bad"));
        testsupport::WriteFile(dir.File("Config/notes.txt"), "x");
        testsupport::WriteFile(dir.File("Drivers/libhalden_tof.so"), "");
        testsupport::WriteFile(dir.File("Drivers/librc1720.so"), "");
        discovery = std::make_unique<EnumSocketDevice>(dir.Path());
        discovery->SetSubnetMatcher([this](const char*, int, const char* host, std::string& mask, std::string& name) {
            lastHost = host;
            mask = "255.0.0.0";
            name = "lo";
            return sameSubnet;
        });
    }
    void Hear(DatagramBytes d, const std::string& hostIP = "127.0.0.1", int ifIndex = 1) {
        discovery->AcceptDatagram(ParseDiscoveryDatagram(d.bytes.data(), d.bytes.size()), ifIndex, hostIP);
    }
    static DatagramBytes Camera(const std::string& sn, int8_t state = 0) {
        DatagramBytes d;
        d.Ip("127.0.0.2").Type(0x11).Sn(sn).State(state);
        return d;
    }
    void Merge() { discovery->UpdateDeviceListInfo(records); }
    DeviceInfo* Find(const std::string& sn) {
        for (auto& r : records) {
            if (sn == r->serialNumber) return r.get();
        }
        return nullptr;
    }

    testsupport::LogCapture log;
    testsupport::TempDir dir;
    std::unique_ptr<EnumSocketDevice> discovery;
    Records records;
    bool sameSubnet = true;
    std::string lastHost;
};

TEST_F(MergeTest, ListingsBesideTheModule) {
    EXPECT_EQ(discovery->Profiles().size(), 4u);
    EXPECT_EQ(discovery->Profiles().front(), dir.File("Config/Alpha_11.json"));
    ASSERT_EQ(EnumSocketDevice::m_driverlist.size(), 2u);
    EXPECT_EQ(EnumSocketDevice::m_driverlist[0], dir.File("Drivers/libhalden_tof.so"));
    EXPECT_EQ(discovery->DeviceTypes(), (std::vector<uint8_t>{0x11, 0x11, 0x1A}));
    EXPECT_TRUE(log.Contains("json:" + dir.File("Config/Bad_FF.json") + " is invalid"));
    EXPECT_FALSE(discovery->IsProductProfileEmpty());
}

TEST_F(MergeTest, DeviceTypesAndProfiles) {
    EXPECT_TRUE(discovery->IsValidDeviceType(0x0B));
    EXPECT_TRUE(discovery->IsValidDeviceType(0x13));
    EXPECT_TRUE(discovery->IsValidDeviceType(0x1A));  // added by a profile
    EXPECT_FALSE(discovery->IsValidDeviceType(0x14));
    EXPECT_FALSE(discovery->IsValidDeviceType(0xFF));
    EXPECT_EQ(discovery->matchJsonFile(0x11), dir.File("Config/Beta_11.json"));
    EXPECT_EQ(discovery->matchJsonFile(0x1A), dir.File("Config/Gamma_1A.json"));
    EXPECT_EQ(discovery->matchJsonFile(0x12), "");
}

TEST(DiscoveryListingTest, FolderNamesDoNotAddDeviceTypes) {
    testsupport::TempDir dir;
    const std::string module = dir.File("kit_1B");
    mkdir(module.c_str(), 0755);
    mkdir((module + "/Config").c_str(), 0755);
    testsupport::WriteFile(module + "/Config/plain.json", Profile("P"));
    testsupport::WriteFile(module + "/Config/Cam_00.json", Profile("Z"));
    EnumSocketDevice discovery(module);
    EXPECT_TRUE(discovery.DeviceTypes().empty());
    EXPECT_FALSE(discovery.IsValidDeviceType(0x1B));
}

TEST(DiscoveryListingTest, EmptyModuleFolder) {
    testsupport::TempDir dir;
    EnumSocketDevice discovery(dir.Path());
    EXPECT_TRUE(discovery.IsProductProfileEmpty());
    EXPECT_TRUE(EnumSocketDevice::m_driverlist.empty());
}

TEST_F(MergeTest, NewCameraGetsARecordWithAnAppearancePending) {
    Hear(Camera("SN1").Alias("front"));
    Merge();
    ASSERT_EQ(records.size(), 1u);
    const DeviceInfo& r = *records[0];
    EXPECT_EQ(r.deviceType, 0x11);
    EXPECT_STREQ(r.productName, "Beta");
    EXPECT_STREQ(r.uri, "Beta:SN1");
    EXPECT_STREQ(r.alias, "front");
    EXPECT_STREQ(r.ip, "127.0.0.2");
    EXPECT_STREQ(r.hostIP, "127.0.0.1");
    EXPECT_TRUE(r.sameSubnet);
    EXPECT_STREQ(r.subnetMask, "255.0.0.0");
    EXPECT_STREQ(r.ifName, "lo");
    EXPECT_EQ(r.status, QlDeviceAvailable);
    EXPECT_EQ(r.pendingEvent, 0);
    EXPECT_EQ(r.config.GetConfigFilePath(), dir.File("Config/Beta_11.json"));
}

TEST_F(MergeTest, AliasDefaultsToTheSerialNumberAndLegacyTypeIsRecordedAs11) {
    Hear(Camera("SN2").Type(0x0B));
    Merge();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_STREQ(records[0]->alias, "SN2");
    EXPECT_EQ(records[0]->deviceType, 0x11);
}

TEST_F(MergeTest, UnsupportedTypeIsDropped) {
    Hear(Camera("SN3").Type(0x14));
    Merge();
    EXPECT_TRUE(records.empty());
    EXPECT_TRUE(log.Contains("error header:0x0"));
}

TEST_F(MergeTest, SupportedTypeWithoutProfileIsRetriedEveryPass) {
    Hear(Camera("SN4").Type(0x12));
    Merge();
    Merge();
    EXPECT_TRUE(records.empty());
    const std::string text = log.Text();
    const std::string line = "<SN4> deviceType:18 is invalid.";
    EXPECT_NE(text.find(line), std::string::npos);
    EXPECT_NE(text.find(line, text.find(line) + 1), std::string::npos);
}

TEST_F(MergeTest, FirstHeardInUpgradeStateIsListedThenFollowsTheState) {
    Hear(Camera("SN5", 3));
    Merge();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0]->status, QlDeviceAvailable);
    Hear(Camera("SN5", 3));
    Merge();
    EXPECT_EQ(records[0]->status, QlUpgradeUnconnected);
}

TEST_F(MergeTest, OtherFirstStatesGetNoRecord) {
    for (int8_t state : {1, 2, 4, -3}) {
        Hear(Camera("SN-" + std::to_string(state), state));
    }
    Merge();
    EXPECT_TRUE(records.empty());
}

TEST_F(MergeTest, SilentCameraWithoutDeviceIsGoneOnTheThirdPass) {
    Hear(Camera("SN6"));
    Merge();
    Merge();
    Merge();
    EXPECT_EQ(records[0]->status, QlDeviceAvailable);
    Merge();
    EXPECT_EQ(records[0]->status, QlDeviceGone);
    EXPECT_EQ(records[0]->pendingEvent, 0);  // no loss is reported for it
    // Heard again: listed again.
    Hear(Camera("SN6"));
    Merge();
    EXPECT_EQ(records[0]->status, QlDeviceAvailable);
}

TEST_F(MergeTest, SilentCameraWithDeviceIsNeverDropped) {
    Hear(Camera("SN7"));
    Merge();
    records[0]->device = reinterpret_cast<BaseDevice*>(0x1);  // only its presence counts here
    records[0]->status = QlDeviceOpened;
    for (int i = 0; i < 5; ++i) Merge();
    EXPECT_EQ(records[0]->status, QlDeviceOpened);
    records[0]->device = nullptr;
}

TEST_F(MergeTest, UnopenedCameraLeavingHasALossPending) {
    Hear(Camera("SN8"));
    Merge();
    records[0]->pendingEvent = -1;
    records[0]->reportedEvent = 0;  // its appearance was reported
    Hear(Camera("SN8", 2));
    Merge();
    EXPECT_EQ(records[0]->status, QlDeviceRemoving);
    EXPECT_EQ(records[0]->pendingEvent, 1);
    EXPECT_TRUE(log.Contains("<SN8> setCallBackStatus remove"));
}

struct StateCase {
    const char* name;
    QlDeviceStatus before;
    bool device;
    int pending;
    int reported;
    int8_t state;
    QlDeviceStatus after;
    int pendingAfter;
};

TEST_F(MergeTest, AnnouncedStateTable) {
    const StateCase cases[] = {
        {"normal while opened", QlDeviceOpened, true, -1, 0, 0, QlDeviceOpened, -1},
        {"normal after removing, appearance reported", QlDeviceRemoving, false, -1, 0, 0, QlDeviceAvailable, -1},
        {"normal after a reported loss", QlDeviceGone, false, -1, 1, 0, QlDeviceAvailable, 0},
        {"normal, nothing ever reported", QlDeviceAvailable, false, -1, -1, 0, QlDeviceAvailable, 0},
        {"normal, appearance pending", QlDeviceAvailable, false, 0, -1, 0, QlDeviceAvailable, 0},
        {"normal with device, loss reported", QlDeviceRemoving, true, -1, 1, 0, QlDeviceAvailable, 0},
        {"normal with device, appearance reported", QlDeviceAvailable, true, -1, 0, 0, QlDeviceAvailable, -1},
        {"unchanged", QlDeviceRemoving, false, -1, 0, 1, QlDeviceRemoving, -1},
        {"leaving when gone", QlDeviceGone, false, -1, 1, 2, QlDeviceGone, -1},
        {"leaving, loss already reported", QlDeviceAvailable, false, -1, 1, 2, QlDeviceRemoving, -1},
        {"upgrade", QlDeviceOpened, true, -1, 0, 3, QlUpgradeUnconnected, -1},
        {"state four", QlDeviceAvailable, false, -1, 0, 4, QlDeviceCameraState4, -1},
        {"unknown state", QlDeviceAvailable, false, -1, 0, 9, QlDeviceRemoving, -1},
    };
    int n = 0;
    for (const StateCase& c : cases) {
        const std::string sn = "T" + std::to_string(n++);
        Hear(Camera(sn));
        Merge();
        DeviceInfo* r = Find(sn);
        ASSERT_NE(r, nullptr) << c.name;
        r->status = c.before;
        r->device = c.device ? reinterpret_cast<BaseDevice*>(0x1) : nullptr;
        r->pendingEvent = c.pending;
        r->reportedEvent = c.reported;
        Hear(Camera(sn, c.state));
        Merge();
        EXPECT_EQ(r->status, c.after) << c.name;
        EXPECT_EQ(r->pendingEvent, c.pendingAfter) << c.name;
        r->device = nullptr;
    }
}

TEST_F(MergeTest, AddressChangeRecomputesTheSubnetOnTheNextDatagram) {
    Hear(Camera("SN9"));
    Merge();
    Hear(Camera("SN9").Ip("127.0.0.9"));
    Merge();
    EXPECT_STREQ(records[0]->ip, "127.0.0.9");
    EXPECT_STREQ(records[0]->hostIP, "");
    sameSubnet = false;
    Hear(Camera("SN9").Ip("127.0.0.9"), "127.0.0.1");
    Merge();
    EXPECT_STREQ(records[0]->hostIP, "127.0.0.1");
    EXPECT_FALSE(records[0]->sameSubnet);
    EXPECT_TRUE(log.Contains("<SN9> peerip  != 127.0.0.1"));
}

TEST_F(MergeTest, AliasChangesButAnEmptyAliasKeepsTheOld) {
    Hear(Camera("SNA").Alias("one"));
    Merge();
    Hear(Camera("SNA").Alias("two"));
    Merge();
    EXPECT_STREQ(records[0]->alias, "two");
    Hear(Camera("SNA"));
    Merge();
    EXPECT_STREQ(records[0]->alias, "two");
}

TEST_F(MergeTest, FullWidthTextsStayBounded) {
    const std::string sn(30, 'S');
    Hear(Camera(sn).Alias(std::string(20, 'A')).Ip(std::string(16, '7')));
    Merge();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(std::string(records[0]->serialNumber), sn);
    EXPECT_EQ(std::string(records[0]->alias), std::string(20, 'A'));
    EXPECT_EQ(std::string(records[0]->ip), std::string(15, '7'));  // the record's field holds 15
    EXPECT_EQ(std::string(records[0]->uri), "Beta:" + sn);
}

TEST_F(MergeTest, SpoofedSerialNumbersAreCapped) {
    for (size_t i = 0; i < EnumSocketDevice::kMaxCameras + 20; ++i) Hear(Camera("X" + std::to_string(i)));
    Merge();
    EXPECT_EQ(records.size(), EnumSocketDevice::kMaxCameras);
    EXPECT_TRUE(log.Contains("ignored"));
}

}  // namespace
