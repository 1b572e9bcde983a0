#include <linux/netlink.h>
#include <net/if.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>

#include "DeviceDetect.h"
#include "RecordingNotifier.h"
#include "TempDir.h"

namespace {

using namespace std::chrono_literals;

constexpr uint16_t kVendor = 0x1A2B;
constexpr uint16_t kFirst = 0x0101;
constexpr uint16_t kSecond = 0x0202;

// The namespace that netns-run makes holds loopback alone; links are added only there.
bool InPrivateNetworkNamespace() {
    struct if_nameindex* links = if_nameindex();
    if (links == nullptr) {
        return false;
    }
    bool onlyLoopback = true;
    for (const struct if_nameindex* entry = links; entry->if_index != 0; ++entry) {
        onlyLoopback = onlyLoopback && std::string(entry->if_name) == "lo";
    }
    if_freenameindex(links);
    return onlyLoopback;
}

// User-space uevent sockets of this namespace that listen to the kernel's group.
int CountUeventListeners() {
    std::ifstream table("/proc/net/netlink");
    std::string line;
    std::getline(table, line);  // header
    int count = 0;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string sk;
        int protocol = -1;
        long long pid = 0;
        std::string groups;
        if (fields >> sk >> protocol >> pid >> groups && protocol == NETLINK_KOBJECT_UEVENT && pid != 0 &&
            (std::strtoul(groups.c_str(), nullptr, 16) & 1u) != 0) {
            ++count;
        }
    }
    return count;
}

bool WaitForUeventListeners(int count) {
    const auto deadline = std::chrono::steady_clock::now() + 3s;
    while (CountUeventListeners() < count) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

int UeventSocket(uint32_t groups) {
    const int fd = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_KOBJECT_UEVENT);
    if (fd < 0) {
        return -1;
    }
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    local.nl_groups = groups;
    if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof(local)) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// A watcher over temporary roots whose /dev holds one node of the maker's second product,
// so that any arrival the watcher accepts ends in a report.
class DeviceDetectNetlink : public ::testing::Test {
protected:
    DeviceDetectNetlink() {
        testsupport::WriteFile(mDev.File("hidraw0"), "");
        DeviceDetect::Options options;
        options.ids = {kVendor, kFirst, kSecond};
        options.sysRoot = mSys.Path();
        options.devRoot = mDev.Path();
        const std::string node = mDev.File("hidraw0");
        options.probeHidraw = [node](const std::string& path, HidrawIds* ids) {
            ids->vendorId = kVendor;
            ids->productId = kSecond;
            return path == node;
        };
        mDetect = std::make_unique<DeviceDetect>(options);
        mDetect->Initialize(&mNotifier);
    }

    testsupport::TempDir mSys;
    testsupport::TempDir mDev;
    RecordingNotifier mNotifier;
    std::unique_ptr<DeviceDetect> mDetect;
};

TEST_F(DeviceDetectNetlink, IgnoresUeventsForgedFromUserSpace) {
    if (!InPrivateNetworkNamespace()) {
        GTEST_SKIP() << "adds links and sends uevents: run through netns-run";
    }
    // A second listener shows that the forged message does reach the group.
    const int control = UeventSocket(1);
    ASSERT_GE(control, 0);
    const int before = CountUeventListeners();
    mDetect->Start();
    ASSERT_TRUE(WaitForUeventListeners(before + 1));

    const int forger = UeventSocket(0);
    ASSERT_GE(forger, 0);
    // Accepted, this would be reported as the removal of video3.
    const std::string forged = std::string("remove@/devices/usb1/1-2/1-2:1.0/video4linux/video3") + '\0' +
                               "ACTION=remove" + '\0' + "SUBSYSTEM=video4linux" + '\0';
    sockaddr_nl group{};
    group.nl_family = AF_NETLINK;
    group.nl_groups = 1;
    ASSERT_EQ(sendto(forger, forged.data(), forged.size(), 0, reinterpret_cast<sockaddr*>(&group), sizeof(group)),
              static_cast<ssize_t>(forged.size()));

    pollfd readable{control, POLLIN, 0};
    ASSERT_EQ(poll(&readable, 1, 3000), 1);
    char received[256] = {};
    sockaddr_nl sender{};
    socklen_t senderLength = sizeof(sender);
    ASSERT_GT(recvfrom(control, received, sizeof(received) - 1, 0, reinterpret_cast<sockaddr*>(&sender), &senderLength),
              0);
    EXPECT_STREQ(received, "remove@/devices/usb1/1-2/1-2:1.0/video4linux/video3");
    EXPECT_NE(sender.nl_pid, 0u);

    // The kernel's own events, queued after the forged one, are acted on: a new link is an
    // arrival of another subsystem, which finds the node in /dev.
    ASSERT_EQ(std::system("ip link add usbw0 type veth peer name usbw1"), 0);
    ASSERT_TRUE(mNotifier.WaitForReports(1, 5s));
    mDetect->Stop();
    mDetect->Join();

    DetectParams hid;
    hid.action = DetectParams::kAdded;
    hid.kind = DetectParams::kHid;
    hid.vendorId = kVendor;
    hid.productId = kSecond;
    hid.devicePath = mDev.File("hidraw0");
    EXPECT_EQ(mNotifier.Reports(), std::vector<DetectParams>({hid}));
    EXPECT_EQ(std::system("ip link del usbw0"), 0);
    close(forger);
    close(control);
}

TEST_F(DeviceDetectNetlink, StopsPromptly) {
    const int before = CountUeventListeners();
    mDetect->Start();
    ASSERT_TRUE(mDetect->IsRunning());
    ASSERT_TRUE(WaitForUeventListeners(before + 1));

    const auto begin = std::chrono::steady_clock::now();
    mDetect->Stop();
    mDetect->Join();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 300ms);
    EXPECT_FALSE(mDetect->IsRunning());
    // The socket went with the thread.
    EXPECT_EQ(CountUeventListeners(), before);
}

// A watcher can be started again after Stop and Join, and its destructor ends a running one.
TEST_F(DeviceDetectNetlink, RestartsAndEndsInItsDestructor) {
    const int before = CountUeventListeners();
    mDetect->Start();
    ASSERT_TRUE(WaitForUeventListeners(before + 1));
    mDetect->Stop();
    mDetect->Join();
    mDetect->Start();
    ASSERT_TRUE(WaitForUeventListeners(before + 1));
    const auto begin = std::chrono::steady_clock::now();
    mDetect.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 300ms);
    EXPECT_EQ(CountUeventListeners(), before);
}

}  // namespace
