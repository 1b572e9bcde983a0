// The firmware-upgrade and JSON-transfer controllers end to end: the kit's command link and
// HTTP server against the simulated camera, which fetches, posts and checks the files.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "CameraSim.h"
#include "DeviceCommonProtocol.h"
#include "DeviceInfo.h"
#include "Eventually.h"
#include "FirmwareImageSpec.h"
#include "JsonCtl.h"
#include "LogCapture.h"
#include "SocketCtl.h"
#include "TempDir.h"
#include "TransferReports.h"
#include "Upgrade.h"
#include "WireProbes.h"

namespace {

using namespace std::chrono_literals;
using transfertest::Report;
using transfertest::Reports;
using Bytes = std::vector<uint8_t>;
using testsupport::Connects;
using testsupport::U32At;

constexpr const char* kCameraIp = "127.0.0.2";
constexpr const char* kCameraFirmware = "FW_20240115_V5";
constexpr auto kPoll = 10ms;
using testsupport::Eventually;

std::string Pattern(size_t size) {
    std::string out(size, '\0');
    for (size_t i = 0; i < size; ++i) out[i] = static_cast<char>(i * 31 + i / 253);
    return out;
}

// The discovery datagrams the camera sends to the host, as the device manager hears them.
class DiscoveryListener {
public:
    DiscoveryListener() {
        m_fd = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(9007);
        inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
        bound = bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
        timeval timeout{0, 200000};
        setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
    }
    ~DiscoveryListener() { close(m_fd); }

    // True once a datagram of the camera carries `state`.
    bool WaitState(camsim::AnnouncedState state) {
        constexpr size_t kIpOffset = 5;
        constexpr size_t kStateOffset = 52;
        return Eventually([&] {
            uint8_t datagram[128];
            const ssize_t n = recv(m_fd, datagram, sizeof(datagram), 0);
            return n == static_cast<ssize_t>(camsim::kDiscoveryDatagramSize) &&
                   std::strcmp(reinterpret_cast<char*>(datagram + kIpOffset), kCameraIp) == 0 &&
                   datagram[kStateOffset] == static_cast<uint8_t>(state);
        });
    }

    bool bound = false;

private:
    int m_fd = -1;
};

class TransferEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(mkdir(dir.File("Config").c_str(), 0755), 0);
        ASSERT_EQ(mkdir(dir.File("host").c_str(), 0755), 0);
        ASSERT_TRUE(discovery.bound);
        camsim::CameraOptions options;
        options.ip = kCameraIp;
        options.deviceType = 16;
        sim = std::make_unique<camsim::CameraSim>(options);
        ASSERT_TRUE(sim->Start());
        auto io = std::make_unique<SocketCtl>(kCameraIp, "127.0.0.1", 9009, 9008);
        device = std::make_unique<DeviceCommonProtocol>(std::move(io), [](linktiming::milliseconds) {});
        ASSERT_EQ(device->SetOpenState(true), 0);
    }

    void TearDown() override {
        if (device) device->SetOpenState(false);
        if (sim) sim->Stop();
    }

    // Refused reconnects: the camera's ports are closed before the controller tries them.
    void RefuseReconnects() {
        sim->RefuseReconnects(true);
        ASSERT_TRUE(Eventually([] { return !Connects(kCameraIp, 9008) && !Connects(kCameraIp, 9009); }));
    }

    std::vector<Bytes> TransferRecords(uint8_t type, uint8_t step) const {
        std::vector<Bytes> out;
        for (const camsim::LoggedCommand& c : sim->CommandLog())
            if (c.id == 0x1D && c.payload.size() == 10 && c.payload[0] == type && c.payload[1] == step)
                out.push_back(c.payload);
        return out;
    }

    testsupport::LogCapture log;
    testsupport::TempDir dir;
    testsupport::ScopedWorkingDirectory cwd{dir.Path()};
    DiscoveryListener discovery;
    std::unique_ptr<camsim::CameraSim> sim;
    std::unique_ptr<DeviceCommonProtocol> device;
    Reports reports;
};

struct FirmwareCase {
    const char* name;
    camsim::TransferFault fault;
    bool refuseReconnects;
    std::vector<Report> expected;
    int reboots;
    bool checksumSent;
    int waitLimit = Upgrade::kWaitLimit;
};

void PrintTo(const FirmwareCase& c, std::ostream* os) { *os << c.name; }

class FirmwareUpgrade : public TransferEndToEnd, public ::testing::WithParamInterface<FirmwareCase> {};

TEST_P(FirmwareUpgrade, AgainstTheCamera) {
    const FirmwareCase& c = GetParam();
    transfertest::ImageSpec spec;
    spec.payload = Pattern(300000);
    const std::string image = spec.Bytes();
    const std::string path = dir.File("host/Firmware.img");
    testsupport::WriteFile(path, image);
    sim->SetUpgradeFault(c.fault);

    Upgrade upgrade(TransferController::Timing{kPoll, c.waitLimit});
    DeviceInfo info;
    info.deviceType = 16;
    ASSERT_EQ(upgrade.CheckFirmwareVersion(kCameraFirmware, path.c_str(), &info), 0);
    ASSERT_EQ(device->StartUpgradeFirmWare(path.c_str()), 0);
    device->SetOpenState(false);  // the device closes itself once the camera is told
    ASSERT_TRUE(discovery.WaitState(camsim::AnnouncedState::UpgradeWaiting));
    if (c.refuseReconnects) RefuseReconnects();

    upgrade.SetUpgradeStatusCallback(&Reports::Callback, &reports);
    upgrade.SetTransferHooks(nullptr, [this] { reports.Ended(); });
    upgrade.SetImgPath(path.c_str(), device.get());
    upgrade.SetStatus(1);
    upgrade.SetDetectParams_P();
    ASSERT_TRUE(reports.WaitEnded());
    upgrade.Shutdown();

    EXPECT_EQ(reports.Got(), c.expected);
    // The camera handles the reboot command on its own thread, a moment after the report.
    Eventually([&] { return sim->State().reboots >= c.reboots; }, 2s);
    const camsim::CameraState state = sim->State();
    EXPECT_TRUE(state.upgrade.received == Bytes(image.begin(), image.end())) << "the camera fetched the image";
    EXPECT_EQ(state.reboots, c.reboots);
    if (c.reboots > 0) {
        EXPECT_FALSE(Connects("127.0.0.1", 8080)) << "the controller stops the server";
        EXPECT_TRUE(discovery.WaitState(camsim::AnnouncedState::Normal));
    }
    const std::vector<Bytes> sent = TransferRecords(1, 2);
    ASSERT_EQ(sent.size(), c.checksumSent ? 1u : 0u);
    if (c.checksumSent) {
        EXPECT_EQ(U32At(sent[0], 2), spec.WholeSum());
        EXPECT_EQ(U32At(sent[0], 6), image.size());
    }
}

const std::vector<Report> kConnected = {{1, 1}, {2, 1}, {3, 1}};

std::vector<Report> Connected(std::vector<Report> tail) {
    std::vector<Report> all = kConnected;
    all.insert(all.end(), tail.begin(), tail.end());
    return all;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FirmwareUpgrade,
    ::testing::Values(
        FirmwareCase{"success", camsim::TransferFault::None, false,
                     Connected({{4, 1}, {5, 50}, {5, 100}, {6, 1}, {7, 1}, {8, 1}}), 1, true},
        FirmwareCase{"check_fails", camsim::TransferFault::CheckFails, false, Connected({{4, -1}}), 1, true},
        FirmwareCase{"bad_state", camsim::TransferFault::BadState, false, Connected({{9, -1}}), 0, true},
        FirmwareCase{"never_ready", camsim::TransferFault::NeverReady, false, {{1, 1}, {2, 1}, {2, -1}}, 1, false, 20},
        FirmwareCase{"refused_reconnects", camsim::TransferFault::None, true, {{1, 1}, {2, -1}}, 0, false}),
    [](const ::testing::TestParamInfo<FirmwareCase>& info) { return std::string(info.param.name); });

struct JsonCase {
    const char* name;
    camsim::TransferFault fault;
    std::vector<Report> afterPath;
};

void PrintTo(const JsonCase& c, std::ostream* os) { *os << c.name; }

class JsonTransfer : public TransferEndToEnd, public ::testing::WithParamInterface<JsonCase> {};

TEST_P(JsonTransfer, BothHalvesAgainstTheCamera) {
    const JsonCase& c = GetParam();
    const std::string cameraFile = "{\"range\":2,\"name\":\"camera\"}\n";
    sim->UpdateState([&](camsim::CameraState& s) { s.jsonFile = cameraFile; });
    sim->SetJsonFault(c.fault);
    // Bytes above 0x7F: the host's sum takes them as signed.
    const std::string hostFile = "{\"gain\":\"\xC3\xA9\xFF\"}\n" + Pattern(5000);
    const std::string path = dir.File("host/params.json");
    testsupport::WriteFile(path, hostFile);

    JsonCtl json(TransferController::Timing{kPoll, JsonCtl::kWaitLimit});
    ASSERT_EQ(device->SetToJsonMode_P(), 0);
    json.SetUpgradeJsonStatusCallback(&Reports::Callback, &reports, device.get());
    json.SetTransferHooks(nullptr, [this] { reports.Ended(); });
    json.SetStatus(1);
    ASSERT_TRUE(discovery.WaitState(camsim::AnnouncedState::UpgradeWaiting));
    json.SetDetectParams_P();
    ASSERT_TRUE(reports.WaitReport({1, 0}));
    EXPECT_EQ(testsupport::ReadFile(dir.File("Config/config.json")), cameraFile);

    json.SetImgPath(path.c_str(), device.get());
    ASSERT_TRUE(reports.WaitEnded());
    json.Shutdown();

    std::vector<Report> expected = {{1, 0}};
    expected.insert(expected.end(), c.afterPath.begin(), c.afterPath.end());
    EXPECT_EQ(reports.Got(), expected);
    Eventually([&] { return sim->State().reboots >= 1; }, 2s);
    const camsim::CameraState state = sim->State();
    EXPECT_TRUE(state.json.received == Bytes(hostFile.begin(), hostFile.end())) << "the camera fetched the file";
    EXPECT_EQ(state.reboots, 1);
    EXPECT_FALSE(Connects("127.0.0.1", 8080)) << "the controller stops the server";
    const std::vector<Bytes> sent = TransferRecords(3, 2);
    ASSERT_EQ(sent.size(), 1u);
    int32_t signedSum = 0;
    for (char ch : hostFile) signedSum += static_cast<signed char>(ch);
    EXPECT_EQ(static_cast<int32_t>(U32At(sent[0], 2)), signedSum);
    EXPECT_EQ(U32At(sent[0], 6), hostFile.size());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, JsonTransfer,
    ::testing::Values(JsonCase{"success", camsim::TransferFault::None, {{4, 1}, {5, 50}, {5, 100}, {6, 1}}},
                      JsonCase{"check_fails", camsim::TransferFault::CheckFails, {{4, -1}}}),
    [](const ::testing::TestParamInfo<JsonCase>& info) { return std::string(info.param.name); });

}  // namespace
