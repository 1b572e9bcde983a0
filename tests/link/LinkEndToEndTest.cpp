#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "CameraSim.h"
#include "DeviceCommonProtocol.h"
#include "SocketCtl.h"

namespace {

class LinkEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        camsim::CameraOptions options;
        options.ip = "127.0.0.2";
        options.announce = false;
        sim = std::make_unique<camsim::CameraSim>(options);
        ASSERT_TRUE(sim->Start());
        auto io = std::make_unique<SocketCtl>("127.0.0.2", "127.0.0.1", 9009, 9008);
        proto = std::make_unique<DeviceCommonProtocol>(std::move(io), [](linktiming::milliseconds) {});
        ASSERT_EQ(proto->SetOpenState(true), 0);
    }
    void TearDown() override {
        if (proto) proto->SetOpenState(false);
        if (sim) sim->Stop();
    }

    std::unique_ptr<camsim::CameraSim> sim;
    std::unique_ptr<DeviceCommonProtocol> proto;
};

TEST_F(LinkEndToEnd, StreamHeartbeatModeAndRate) {
    EXPECT_EQ(proto->SetStreamState(true), 0);
    EXPECT_TRUE(sim->State().streamOn);
    std::vector<unsigned char> buf(8235454);  // the receive path's buffer
    int len = 0;
    int frames = 0;
    for (int i = 0; i < 20 && frames == 0; ++i) {
        if (proto->ReadData(buf.data(), int(buf.size()), &len) == 0 && len > 0) ++frames;
    }
    EXPECT_GT(frames, 0);
    EXPECT_EQ(proto->SetStreamState(false), 0);
    EXPECT_FALSE(sim->State().streamOn);
    EXPECT_EQ(proto->HeartbeatCheck(), 0);
    EXPECT_EQ(proto->SetWorkMode(2), 0);
    int mode = -1;
    EXPECT_EQ(proto->GetWorkMode(&mode), 0);
    EXPECT_EQ(mode, 2);
    EXPECT_EQ(proto->SetSoftwareSlaveTrigger(), 0);
    EXPECT_EQ(proto->SetFrameRate(15), 0);
    EXPECT_EQ(sim->State().frameRate, 15);
}

TEST_F(LinkEndToEnd, CalibrationRoundTrip) {
    const double k[9] = {500.5, 501.25, 320.125, 240.0625, 1, 0, 0, 0, 1};
    const double d[8] = {0.1, -0.2, 0.003, -0.004, 0.5, 0.6, 0.7, 0.8};
    ASSERT_EQ(proto->SetCameraIntrinsic(SENSOR_TYPE_TOF, k), 0);
    ASSERT_EQ(proto->SetCameraDistortion(SENSOR_TYPE_COLOR, d), 0);
    double k2[9] = {};
    double d2[8] = {};
    ASSERT_EQ(proto->GetCameraIntrinsic(SENSOR_TYPE_TOF, k2), 0);
    ASSERT_EQ(proto->GetCameraDistortion(SENSOR_TYPE_COLOR, d2), 0);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(k2[i], k[i]);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(d2[i], d[i]);
}

TEST_F(LinkEndToEnd, IdentityNetworkFactoryAndTrigger) {
    char text[64] = {};
    ASSERT_EQ(proto->GetFirmwareVersion(text, sizeof(text)), 0);
    EXPECT_EQ(std::string(text), sim->State().firmwareVersion);
    ASSERT_EQ(proto->SetMACAddress("02:11:22:33:44:55", 18), 0);
    ASSERT_EQ(proto->GetMACAddress(text, 18), 0);
    EXPECT_STREQ(text, "02:11:22:33:44:55");
    char sn[] = "TOFNEW0042";
    EXPECT_EQ(proto->SetSN(sn, 10), 0);
    EXPECT_EQ(sim->State().sensorSerial, "TOFNEW0042");
    ASSERT_EQ(proto->GetSubnetMask(text, 16), 0);
    EXPECT_EQ(std::string(text), sim->State().subnetMask);

    const FactoryMode fm{1, 1, 0, 1, 0};
    EXPECT_EQ(proto->SetFactoryMode(fm), 0);
    FactoryMode got{};
    EXPECT_EQ(proto->GetFactoryMode(&got), 0);
    EXPECT_EQ(got.mode, 1);
    EXPECT_EQ(got.bDepthSwitch, 1);

    EXPECT_EQ(proto->SetMCUParameters(MCUParameters{2, 1, 300, 40}), 0);
    MCUParameters p{2, 0, 0, 0};
    EXPECT_EQ(proto->GetMCUParameters(&p), 0);
    EXPECT_EQ(p.width, 300);
    EXPECT_EQ(p.intervalOrDelay, 40);
}

}  // namespace
