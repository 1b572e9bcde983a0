#pragma once
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>

#include "DeviceManager.h"
#include "DiscoveryTestSupport.h"
#include "FakeDevice.h"
#include "HotplugRecorder.h"
#include "LogCapture.h"
#include "TempDir.h"

namespace managertest {

// A manager over a module folder with one product profile (type 0x11, "Test"), fed
// datagrams directly and run one pass at a time. Its devices are fakes, one per serial
// number; hot-plug reports go to `reports`.
// Its members are public, so that tables of cases can arrange them.
class ManagerFixture : public ::testing::Test {
public:
    ManagerFixture() {
        mkdir(dir.File("Config").c_str(), 0755);
        mkdir(dir.File("Drivers").c_str(), 0755);
        testsupport::WriteFile(dir.File("Config/Test_11.json"),
                               R"({"productName":"Test","connectType":"socket","toFSensor":[{"type":"halden_tof"}]})");
        manager = std::make_unique<DeviceManager>(dir.Path(), [this](DeviceInfo& info) { return Build(info); });
        manager->Discovery().SetSubnetMatcher(
            [this](const char* deviceIP, int, const char*, std::string& mask, std::string& ifName) {
                mask = "255.0.0.0";
                ifName = "lo";
                return offSubnet.count(deviceIP) == 0;
            });
        manager->SetHotPlugStatusCallback(&HotplugRecorder::Callback, &reports);
    }
    ~ManagerFixture() override {
        if (kitCaller.joinable()) kitCaller.join();
        manager.reset();
    }

    FakeCamera& Camera(const std::string& sn) {
        auto& camera = cameras[sn];
        if (!camera) camera = std::make_shared<FakeCamera>();
        return *camera;
    }

    // The camera announces itself from now on, once before each pass.
    void Hear(const std::string& sn, const std::string& ip, int8_t state = 0, const std::string& alias = "",
              const std::string& hostIP = "127.0.0.1") {
        DatagramBytes d;
        d.Ip(ip).Type(0x11).Sn(sn).State(state).Alias(alias);
        announcing[sn] = {ParseDiscoveryDatagram(d.bytes.data(), d.bytes.size()), hostIP};
        Announce(announcing[sn]);
    }
    void FallSilent(const std::string& sn) { announcing.erase(sn); }
    // One pass of the main loop after every announcing camera was heard again.
    std::chrono::milliseconds Pass() {
        for (const auto& [sn, announcement] : announcing) Announce(announcement);
        return manager->RunOnce();
    }
    // Hears a camera and runs the pass that reports its appearance.
    void Appear(const std::string& sn, const std::string& ip, const std::string& alias = "") {
        Hear(sn, ip, 0, alias);
        Pass();
    }
    BaseDevice* OpenByIP(const std::string& ip) {
        int status = 0;
        BaseDevice* device = manager->OpenDeviceByIP(ip.c_str(), status);
        EXPECT_EQ(status, 0);
        return device;
    }
    // Ends the manager; it returns once every hot-plug report has returned.
    void Shutdown() { manager.reset(); }
    // Runs `call` on another thread, as the application would while this thread waits for a
    // camera; false when it has not returned within 2 s (a list lock held meanwhile).
    bool ReturnsMeanwhile(std::function<void()> call) {
        if (kitCaller.joinable()) kitCaller.join();
        auto done = std::make_shared<std::promise<void>>();
        std::future<void> returned = done->get_future();
        kitCaller = std::thread([call = std::move(call), done] {
            call();
            done->set_value();
        });
        return returned.wait_for(std::chrono::seconds(2)) == std::future_status::ready;
    }

    testsupport::LogCapture log;
    testsupport::TempDir dir;
    std::map<std::string, std::shared_ptr<FakeCamera>> cameras;
    struct Announcement {
        DiscoveryDatagram datagram;
        std::string hostIP;
    };
    std::map<std::string, Announcement> announcing;
    std::set<std::string> offSubnet;    // camera addresses outside every host subnet
    std::set<std::string> unbuildable;  // serial numbers whose device cannot be built
    HotplugRecorder reports;
    std::thread kitCaller;  // a device worker's call into the kit, joined before the manager goes
    std::unique_ptr<DeviceManager> manager;

private:
    void Announce(const Announcement& a) { manager->Discovery().AcceptDatagram(a.datagram, 1, a.hostIP); }
    std::unique_ptr<BaseDevice> Build(DeviceInfo& info) {
        if (unbuildable.count(info.serialNumber) != 0) return nullptr;
        Camera(info.serialNumber);
        return std::make_unique<FakeDevice>(info, cameras[info.serialNumber]);
    }
};

}  // namespace managertest
