#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

#include "DiscoveryTestSupport.h"
#include "EnumSocketDevice.h"
#include "TempDir.h"

namespace {

using namespace std::chrono_literals;

void Send(const DatagramBytes& d, const char* to) {
    const int s = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(EnumSocketDevice::kDiscoveryPort);
    inet_pton(AF_INET, to, &address.sin_addr);
    sendto(s, d.bytes.data(), d.bytes.size(), 0, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    close(s);
}

// A profile for the cameras of type 0x11.
void WriteProfile(const testsupport::TempDir& dir) {
    mkdir(dir.File("Config").c_str(), 0755);
    testsupport::WriteFile(dir.File("Config/Cam_11.json"),
                           R"({"productName":"Cam","connectType":"socket","toFSensor":[{"type":"halden_tof"}]})");
}

// Sends a camera's datagram until the running discovery has merged a record from it (about 2 s
// at most).
std::vector<std::unique_ptr<DeviceInfo>> HearCamera(EnumSocketDevice& discovery) {
    DatagramBytes d;
    d.Ip("127.0.0.2").Type(0x11).Sn("NET1");
    std::vector<std::unique_ptr<DeviceInfo>> records;
    for (int i = 0; i < 100 && records.empty(); ++i) {
        Send(d, "127.0.0.1");
        std::this_thread::sleep_for(20ms);
        discovery.UpdateDeviceListInfo(records);
    }
    return records;
}

// Runs inside its own network namespace: the datagram goes over loopback only.
TEST(DiscoveryReceiveTest, HearsACameraAndTakesTheHostAddressOfItsInterface) {
    testsupport::TempDir dir;
    WriteProfile(dir);
    EnumSocketDevice discovery(dir.Path());
    discovery.Start();
    const std::vector<std::unique_ptr<DeviceInfo>> records = HearCamera(discovery);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_STREQ(records[0]->hostIP, "127.0.0.1");
    EXPECT_TRUE(records[0]->sameSubnet);
    EXPECT_STREQ(records[0]->ifName, "lo");
    discovery.Stop();
    discovery.Join();
}

TEST(DiscoveryReceiveTest, StopWakesTheReceiveWait) {
    testsupport::TempDir dir;
    EnumSocketDevice discovery(dir.Path());
    discovery.Start();
    std::this_thread::sleep_for(50ms);
    discovery.Stop();
    discovery.Join();  // returns without waiting out the receive time-out
    EXPECT_FALSE(discovery.IsRunning());
}

// A camera just heard: the thread has begun a new receive wait, which lasts a second unless
// Stop wakes it. The bound is far above a wake on a loaded machine and far below that second.
TEST(DiscoveryReceiveTest, StopEndsAFreshReceiveWaitWithinABound) {
    testsupport::TempDir dir;
    WriteProfile(dir);
    EnumSocketDevice discovery(dir.Path());
    discovery.Start();
    ASSERT_EQ(HearCamera(discovery).size(), 1u);
    std::future<void> stopped = std::async(std::launch::async, [&] {
        discovery.Stop();
        discovery.Join();
    });
    EXPECT_TRUE(stopped.wait_for(500ms) == std::future_status::ready) << "Stop did not wake the receive wait";
    stopped.wait();
}

}  // namespace
