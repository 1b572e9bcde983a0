// Firmware upgrade and JSON-file exchange through the exported functions, against the simulated
// camera, which fetches, posts and checks the files and reboots at the end.
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <utility>
#include <vector>

#include "E2eSupport.h"
#include "Eventually.h"
#include "FirmwareImageFile.h"
#include "WireProbes.h"

namespace {

using namespace apie2e;
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;
using Report = std::pair<int, int>;
using testsupport::U32At;

constexpr uint16_t kFileServerPort = 8080;
constexpr uint8_t kHeartbeatId = 0x9C;
constexpr uint8_t kTransferId = 0x1D;
constexpr uint8_t kFirmwareType = 1;
constexpr uint8_t kJsonType = 3;
constexpr uint8_t kChecksumStep = 2;

using testsupport::Eventually;

uint32_t UnsignedSum(const std::string& bytes) {
    uint32_t sum = 0;
    for (char c : bytes) sum += static_cast<uint8_t>(c);
    return sum;
}

int32_t SignedSum(const std::string& bytes) {
    uint32_t sum = 0;
    for (char c : bytes) sum += static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(c)));
    return static_cast<int32_t>(sum);
}

// What the application's callbacks got, on one timeline: the transfer reports (status,
// parameter) and the hot-plug reports (camera status, message).
class Timeline {
public:
    enum Source { kTransfer, kHotPlug };
    struct Event {
        Source source;
        Report report;
        bool operator==(const Event& o) const { return source == o.source && report == o.report; }
    };

    static void Transfer(int status, int params, void* self) {
        static_cast<Timeline*>(self)->Add({kTransfer, {status, params}});
    }
    static void HotPlug(const QlDeviceInfo* info, int message, void* self) {
        static_cast<Timeline*>(self)->Add({kHotPlug, {Val(info->status), message}});
    }

    std::vector<Report> Of(Source source) const {
        std::lock_guard<std::mutex> guard(m_lock);
        std::vector<Report> out;
        for (const Event& e : m_events)
            if (e.source == source) out.push_back(e.report);
        return out;
    }
    bool WaitFor(Event event, std::chrono::milliseconds bound = 30s) const {
        std::unique_lock<std::mutex> lock(m_lock);
        return m_arrived.wait_for(lock, bound, [&] { return Find(event) != m_events.end(); });
    }
    // How often `event` came before the first `mark` (all of them when no mark came).
    size_t CountBefore(Event event, Event mark) const {
        std::lock_guard<std::mutex> guard(m_lock);
        return static_cast<size_t>(std::count(m_events.begin(), Find(mark), event));
    }

private:
    void Add(Event event) {
        std::lock_guard<std::mutex> guard(m_lock);
        m_events.push_back(event);
        m_arrived.notify_all();
    }
    std::vector<Event>::const_iterator Find(const Event& event) const {
        return std::find(m_events.begin(), m_events.end(), event);
    }

    mutable std::mutex m_lock;
    mutable std::condition_variable m_arrived;
    std::vector<Event> m_events;
};

Timeline::Event TransferReport(int status, int params) { return {Timeline::kTransfer, {status, params}}; }
const Timeline::Event kRemoved{Timeline::kHotPlug, {QlDeviceGone, 1}};
const Timeline::Event kAdded{Timeline::kHotPlug, {QlDeviceAvailable, 0}};

class Transfer : public KitWithCamera {
protected:
    void SetUp() override {
        ASSERT_EQ(mkdir(work.File("host").c_str(), 0755), 0);
        // The camera's JSON file goes to the Config folder of the working directory, which the
        // kit does not create.
        ASSERT_EQ(mkdir(work.File("Config").c_str(), 0755), 0);
    }
    void TearDown() override {
        // The kit's log tells where a transfer stalled.
        if (HasFailure()) {
            const std::string text = LogText();
            constexpr size_t kTail = 20000;
            std::fprintf(stderr, "%s\n", text.substr(text.size() > kTail ? text.size() - kTail : 0).c_str());
        }
        KitWithCamera::TearDown();
        cwd.reset();
    }

    void OpenWatchedCamera(const camsim::CameraOptions& options) {
        OpenCamera(options);
        ASSERT_EQ(QL_SetHotPlugStatusCallback(&Timeline::HotPlug, &events), 0);
    }

    size_t Heartbeats() const { return Commands(kHeartbeatId).size(); }
    std::vector<Bytes> Commands(uint8_t id) const {
        std::vector<Bytes> out;
        for (const camsim::LoggedCommand& c : sim->CommandLog())
            if (c.id == id) out.push_back(c.payload);
        return out;
    }
    // The {checksum step, checksum, length} records the kit sent for a transfer type.
    std::vector<Bytes> ChecksumRecords(uint8_t type) const {
        std::vector<Bytes> out;
        for (const Bytes& p : Commands(kTransferId))
            if (p.size() == 10 && p[0] == type && p[1] == kChecksumStep) out.push_back(p);
        return out;
    }
    // The camera handles the reboot command on its own thread, a moment after the report.
    bool Rebooted(int times) {
        return Eventually([&] { return sim->State().reboots >= times; }, 5s);
    }

    testsupport::TempDir work;
    std::unique_ptr<testsupport::ScopedWorkingDirectory> cwd =
        std::make_unique<testsupport::ScopedWorkingDirectory>(work.Path());
    Timeline events;
};

TEST_F(Transfer, FirmwareUpgradeEndsAndTheRebootedCameraStreamsAgain) {
    const camsim::CameraOptions options = ToFOnlyCamera();
    OpenWatchedCamera(options);
    const std::string image = ImageForTheCamera();
    const std::string path = work.File("host/Firmware.img");
    testsupport::WriteFile(path, image);
    ASSERT_EQ(QL_SetUpgradeStatusCallback(handle, &Timeline::Transfer, &events), 0);

    ASSERT_EQ(QL_StartUpgradeFirmWare(handle, path.c_str()), 0);
    const size_t heartbeatsAtStart = Heartbeats();
    ASSERT_TRUE(events.WaitFor(TransferReport(8, 1))) << "reports so far: " << events.Of(Timeline::kTransfer).size();
    EXPECT_EQ(Heartbeats(), heartbeatsAtStart) << "no heartbeats during the upgrade";
    EXPECT_EQ(events.CountBefore(kRemoved, TransferReport(8, 1)), 0u) << "no removal during the upgrade";
    EXPECT_EQ(events.Of(Timeline::kTransfer),
              (std::vector<Report>{{1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 50}, {5, 100}, {6, 1}, {7, 1}, {8, 1}}));

    const camsim::CameraState state = sim->State();
    EXPECT_TRUE(state.upgrade.received == Bytes(image.begin(), image.end())) << "the camera fetched the image";
    const std::vector<Bytes> sent = ChecksumRecords(kFirmwareType);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(U32At(sent[0], 2), UnsignedSum(image));
    EXPECT_EQ(U32At(sent[0], 6), image.size());
    EXPECT_FALSE(testsupport::Connects("127.0.0.1", kFileServerPort)) << "the file server stops with the transfer";
    ASSERT_TRUE(Rebooted(1));

    // The rebooting camera is reported gone, then back, and opens again by IP.
    ASSERT_TRUE(events.WaitFor(kRemoved, 10s));
    ASSERT_TRUE(events.WaitFor(kAdded, 10s));
    EXPECT_EQ(events.CountBefore(kAdded, kRemoved), 0u);
    ASSERT_EQ(QL_CloseDevice(&handle), 0);
    ASSERT_TRUE(WaitForListed(options.serialNumber, QlDeviceAvailable));
    ASSERT_EQ(QL_OpenDeviceByIP(options.ip.c_str(), &handle), 0);
    EXPECT_NE(NextGroup(FRAME_READY_DEPTH), 0u) << "the reopened camera streams";
    const size_t heartbeatsAfterReopen = Heartbeats();
    EXPECT_TRUE(Eventually([&] { return Heartbeats() > heartbeatsAfterReopen; }, 5s)) << "heartbeats resume";
}

TEST_F(Transfer, JsonFilesBothWays) {
    OpenWatchedCamera(ToFOnlyCamera());
    const std::string cameraFile = "{\"range\":2,\"name\":\"camera\"}\n";
    sim->UpdateState([&](camsim::CameraState& s) { s.jsonFile = cameraFile; });
    // Bytes above 0x7F: the kit's sum takes them as signed.
    const std::string hostFile = "{\"gain\":\"\xC3\xA9\xFF\"}\n" + std::string(3000, 'x');
    const std::string path = work.File("host/params.json");
    testsupport::WriteFile(path, hostFile);

    ASSERT_EQ(QL_SetUpgradeJsonStatusCallback(handle, &Timeline::Transfer, &events), 0);
    ASSERT_TRUE(events.WaitFor(TransferReport(1, 0)));
    EXPECT_EQ(testsupport::ReadFile(work.File("Config/config.json")), cameraFile);

    ASSERT_EQ(QL_SetProperty(handle, "Py_JsonPath", path.c_str(), static_cast<int>(path.size() + 1)), 0);
    ASSERT_TRUE(events.WaitFor(TransferReport(6, 1)));
    EXPECT_EQ(events.Of(Timeline::kTransfer), (std::vector<Report>{{1, 0}, {4, 1}, {5, 50}, {5, 100}, {6, 1}}));
    EXPECT_EQ(events.CountBefore(kRemoved, TransferReport(6, 1)), 0u) << "no removal during the transfer";

    EXPECT_TRUE(sim->State().json.received == Bytes(hostFile.begin(), hostFile.end())) << "the camera fetched the file";
    const std::vector<Bytes> sent = ChecksumRecords(kJsonType);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(static_cast<int32_t>(U32At(sent[0], 2)), SignedSum(hostFile));
    EXPECT_EQ(U32At(sent[0], 6), hostFile.size());
    EXPECT_TRUE(Rebooted(1));
    EXPECT_FALSE(testsupport::Connects("127.0.0.1", kFileServerPort));

    // A transfer that has ended leaves nothing for the shut-down to reboot.
    ASSERT_EQ(QL_Shutdown(), 0);
    initialised = false;
    handle = nullptr;
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(sim->State().reboots, 1);
}

// A transfer still under way when the application shuts the kit down: the shut-down does not
// wait out the transfer's polls, reboots the camera, and nothing calls back afterwards.
struct ShutdownCase {
    const char* name;
    bool json;
    Report reached;  // the report after which the kit is shut down
};

class ShutdownDuring : public Transfer, public ::testing::WithParamInterface<ShutdownCase> {};

TEST_P(ShutdownDuring, ReturnsPromptlyAndNothingCallsBack) {
    const ShutdownCase& c = GetParam();
    OpenCamera(ToFOnlyCamera());
    if (c.json) {
        ASSERT_EQ(QL_SetUpgradeJsonStatusCallback(handle, &Timeline::Transfer, &events), 0);
    } else {
        // The camera never reports ready: the controller would poll for a minute.
        sim->SetUpgradeFault(camsim::TransferFault::NeverReady);
        const std::string path = work.File("host/Firmware.img");
        testsupport::WriteFile(path, ImageForTheCamera());
        ASSERT_EQ(QL_SetUpgradeStatusCallback(handle, &Timeline::Transfer, &events), 0);
        ASSERT_EQ(QL_StartUpgradeFirmWare(handle, path.c_str()), 0);
    }
    ASSERT_TRUE(events.WaitFor({Timeline::kTransfer, c.reached}));

    const auto start = Clock::now();
    ASSERT_EQ(QL_Shutdown(), 0);
    initialised = false;
    // Far below the transfer's own time-outs (a minute, or none at all while waiting for the
    // file).
    EXPECT_LT(Clock::now() - start, 5s);
    const size_t reportsAtShutdown = events.Of(Timeline::kTransfer).size();
    EXPECT_TRUE(Rebooted(1)) << "the camera is not left in its transfer state";
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(events.Of(Timeline::kTransfer).size(), reportsAtShutdown) << "a report after the shut-down";
    handle = nullptr;  // gone with the kit
}

INSTANTIATE_TEST_SUITE_P(Cases, ShutdownDuring,
                         ::testing::Values(ShutdownCase{"Firmware", false, {2, 1}}, ShutdownCase{"Json", true, {1, 0}}),
                         [](const auto& info) { return info.param.name; });

// An application that shuts the kit down from its callback, on the report of success.
std::atomic<int> g_shutdownResult{1};

void ShutDownOnSuccess(int status, int params, void* timeline) {
    Timeline::Transfer(status, params, timeline);
    if (status == 8 && params == 1) g_shutdownResult = QL_Shutdown();
}

TEST_F(Transfer, ShutdownFromTheLastReport) {
    OpenCamera(ToFOnlyCamera());
    const std::string path = work.File("host/Firmware.img");
    testsupport::WriteFile(path, ImageForTheCamera());
    g_shutdownResult = 1;
    ASSERT_EQ(QL_SetUpgradeStatusCallback(handle, &ShutDownOnSuccess, &events), 0);
    ASSERT_EQ(QL_StartUpgradeFirmWare(handle, path.c_str()), 0);
    ASSERT_TRUE(Eventually([] { return g_shutdownResult != 1; }, 30s));
    initialised = false;
    handle = nullptr;  // gone with the kit
    EXPECT_EQ(g_shutdownResult, 0);
    const size_t reports = events.Of(Timeline::kTransfer).size();
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(events.Of(Timeline::kTransfer).size(), reports);
    EXPECT_EQ(sim->State().reboots, 1) << "the finished transfer is not rebooted again";
    // The kit starts again afterwards.
    ASSERT_EQ(QL_InitializeWithLogPath(logs.Path().c_str()), 0);
    initialised = true;
}

}  // namespace
