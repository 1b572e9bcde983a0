// Calibration-file transfers end to end: the plug-in's transfer over the kit's command link
// against the simulated camera, which fetches or posts over HTTP.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "CameraSim.h"
#include "DeviceCommonProtocol.h"
#include "LogCapture.h"
#include "Protocol.h"
#include "SocketCtl.h"
#include "TempDir.h"
#include "TransferFile.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

constexpr auto kOutcomeWait = 10s;

// What the callback saw, in order.
struct Poll {
    int type;
    int number;
    int status;
};

class Recorder {
public:
    static void Callback(int type, int number, int status, void* userData) {
        static_cast<Recorder*>(userData)->Add(Poll{type, number, status});
    }

    void Add(const Poll& poll) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_polls.push_back(poll);
        }
        m_changed.notify_all();
        if (onPoll) onPoll(poll);
    }

    // Waits, bounded, for the first poll that reports done or failed.
    bool WaitFinal() {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, kOutcomeWait, [this] {
            return !m_polls.empty() && (m_polls.back().status == 0 || m_polls.back().status == 1);
        });
    }

    bool WaitAny() {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, kOutcomeWait, [this] { return !m_polls.empty(); });
    }

    std::vector<Poll> Polls() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_polls;
    }

    // Runs on the transfer worker after each poll is recorded; set before the start.
    std::function<void(const Poll&)> onPoll;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Poll> m_polls;
};

bool HostServerListens() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(8080);
    inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
    const bool connected = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    close(fd);
    return connected;
}

Bytes Pattern(size_t size, uint8_t seed) {
    Bytes out(size);
    for (size_t i = 0; i < size; ++i) out[i] = static_cast<uint8_t>(seed + i * 7 + i / 251);
    return out;
}

uint8_t Sum(const Bytes& bytes) {
    unsigned sum = 0;
    for (uint8_t b : bytes) sum += b;
    return static_cast<uint8_t>(sum);
}

// Checks that each poll but the last reported running and all name the file.
void ExpectRunningThen(const std::vector<Poll>& polls, int type, int number, int final) {
    ASSERT_FALSE(polls.empty());
    for (size_t i = 0; i < polls.size(); ++i) {
        EXPECT_EQ(polls[i].type, type) << i;
        EXPECT_EQ(polls[i].number, number) << i;
        EXPECT_EQ(polls[i].status, i + 1 == polls.size() ? final : 2) << i;
    }
}

class CalibrationTransfer : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(mkdir(dir.File("Config").c_str(), 0755), 0);
        camsim::CameraOptions options;
        options.ip = "127.0.0.2";
        options.announce = false;
        sim = std::make_unique<camsim::CameraSim>(options);
        ASSERT_TRUE(sim->Start());
        auto io = std::make_unique<SocketCtl>("127.0.0.2", "127.0.0.1", 9009, 9008);
        device = std::make_unique<DeviceCommonProtocol>(std::move(io), [](linktiming::milliseconds) {});
        ASSERT_EQ(device->SetOpenState(true), 0);
        protocol.SetCommonControl(device.get());
        protocol.SetOpenState(true);
        transfer = std::make_unique<TransferFile>(protocol);
    }

    void TearDown() override {
        transfer.reset();
        if (device) device->SetOpenState(false);
        if (sim) sim->Stop();
    }

    FileTransferParams Request(int type, const std::string& name, uint8_t direction, uint8_t number = 0) {
        FileTransferParams p{};
        p.type = type;
        std::strncpy(p.fileName, name.c_str(), sizeof(p.fileName) - 1);
        p.direction = direction;
        p.number = number;
        p.callback = &Recorder::Callback;
        p.userData = &recorder;
        return p;
    }

    FileTransferParams HostFile(int type, const Bytes& content, uint8_t number = 0) {
        const std::string path = dir.File("offered.bin");
        testsupport::WriteFile(path, std::string(content.begin(), content.end()));
        FileTransferParams p = Request(type, path, 0, number);
        p.fileLength = static_cast<uint32_t>(content.size());
        p.checkSum = Sum(content);
        return p;
    }

    // The worker ends shortly after its last callback; bounded.
    bool WaitWorkerEnd() {
        for (int i = 0; i < 500 && transfer->IsRunning(); ++i) std::this_thread::sleep_for(10ms);
        return !transfer->IsRunning();
    }

    // Sets get no reply: a get answered on the same connection shows that the camera has
    // read every command before it.
    size_t TransferCommands() const {
        EXPECT_EQ(device->HeartbeatCheck(), 0);
        size_t count = 0;
        for (const auto& c : sim->CommandLog()) count += c.id == 0x1D;
        return count;
    }

    testsupport::LogCapture log;
    testsupport::TempDir dir;
    testsupport::ScopedWorkingDirectory cwd{dir.Path()};
    std::unique_ptr<camsim::CameraSim> sim;
    std::unique_ptr<DeviceCommonProtocol> device;
    Protocol protocol{[](linktiming::milliseconds) {}};
    Recorder recorder;
    std::unique_ptr<TransferFile> transfer;
};

TEST_F(CalibrationTransfer, HostToCameraIsFetchedAndVerified) {
    const Bytes content = Pattern(614400, 3);
    FileTransferParams p = HostFile(5, content, 2);
    ASSERT_EQ(transfer->Start(p), 0);
    ASSERT_TRUE(recorder.WaitFinal());
    ExpectRunningThen(recorder.Polls(), 5, 2, 1);
    ASSERT_TRUE(WaitWorkerEnd());
    const auto files = sim->State().calibrationFiles;
    ASSERT_EQ(files.count({5, 2}), 1u);
    EXPECT_TRUE(files.at({5, 2}) == content);
    EXPECT_FALSE(HostServerListens()) << "the worker stops the server";
    EXPECT_TRUE(log.Contains("transfer OK")) << log.Text();
    EXPECT_TRUE(log.Contains("exit"));
}

TEST_F(CalibrationTransfer, HostFileWithWrongChecksumFails) {
    const Bytes content = Pattern(1000, 9);
    FileTransferParams p = HostFile(4, content);
    p.checkSum = static_cast<uint8_t>(p.checkSum + 1);
    ASSERT_EQ(transfer->Start(p), 0);
    ASSERT_TRUE(recorder.WaitFinal());
    ExpectRunningThen(recorder.Polls(), 4, 0, 0);
    ASSERT_TRUE(WaitWorkerEnd());
    EXPECT_EQ(sim->State().calibrationFiles.count({4, 0}), 0u);
    EXPECT_TRUE(log.Contains("transfer NG"));
}

struct Upload {
    int type;
    uint8_t number;
    size_t size;
    const char* stored;
};

class CameraToHost : public CalibrationTransfer, public ::testing::WithParamInterface<Upload> {};

TEST_P(CameraToHost, IsStoredUnderConfigWithoutTheCameraTag) {
    const Upload& u = GetParam();
    const Bytes content = Pattern(u.size, 1);
    sim->SetCalibrationChunkSize(4096);
    sim->UpdateState([&](camsim::CameraState& s) {
        s.calibrationFiles[{static_cast<uint8_t>(u.type), u.number}] = content;
    });
    testsupport::WriteFile(dir.File(std::string("Config/") + u.stored), "an older file that is replaced");
    FileTransferParams p = Request(u.type, sim->State().sensorSerial, 1, u.number);
    ASSERT_EQ(transfer->Start(p), 0);
    ASSERT_TRUE(recorder.WaitFinal());
    ExpectRunningThen(recorder.Polls(), u.type, u.type == 5 || u.type == 6 ? u.number : 0, 1);
    ASSERT_TRUE(WaitWorkerEnd());
    const std::string stored = testsupport::ReadFile(dir.File(std::string("Config/") + u.stored));
    EXPECT_TRUE(stored == std::string(content.begin(), content.end())) << stored.size();
}

INSTANTIATE_TEST_SUITE_P(Files, CameraToHost,
                         ::testing::Values(Upload{6, 3, 14992, "rangeOffset_3.bin"},
                                           Upload{4, 0, 10000, "intrinsic.bin"},
                                           Upload{8, 0, 100, "ConfidenceFactor.bin"}));

TEST_F(CalibrationTransfer, UploadUnderAnotherNameIsRefusedAndReportedFailed) {
    sim->UpdateState([](camsim::CameraState& s) { s.calibrationFiles[{7, 0}] = Bytes(64, 1); });
    FileTransferParams p = Request(7, "NOT-THIS-CAMERA", 1);
    ASSERT_EQ(transfer->Start(p), 0);
    ASSERT_TRUE(recorder.WaitFinal());
    EXPECT_EQ(recorder.Polls().back().status, 0);
    ASSERT_TRUE(WaitWorkerEnd());
    EXPECT_TRUE(testsupport::ReadFile(dir.File("Config/ir_background.bin")).empty());
}

TEST_F(CalibrationTransfer, StopWhileRunningWaitsForTheWorker) {
    sim->SetCalibrationDelay(30s);
    FileTransferParams p = HostFile(4, Pattern(100, 1));
    ASSERT_EQ(transfer->Start(p), 0);
    ASSERT_TRUE(recorder.WaitAny());
    transfer->StopAndWait();
    EXPECT_FALSE(transfer->IsRunning());
    const size_t seen = recorder.Polls().size();
    EXPECT_EQ(recorder.Polls().back().status, 2);
    EXPECT_FALSE(HostServerListens());
    EXPECT_TRUE(log.Contains("exit"));
    EXPECT_EQ(recorder.Polls().size(), seen) << "no callback after the stop returned";
}

TEST_F(CalibrationTransfer, ClosingThePlugInEndsTheWorker) {
    sim->SetCalibrationDelay(30s);
    FileTransferParams p = HostFile(4, Pattern(100, 1));
    ASSERT_EQ(transfer->Start(p), 0);
    ASSERT_TRUE(recorder.WaitAny());
    protocol.SetOpenState(false);
    EXPECT_TRUE(WaitWorkerEnd());
    EXPECT_FALSE(HostServerListens());
}

TEST_F(CalibrationTransfer, CallbackThatStopsFromTheWorkerDoesNotWaitForItself) {
    sim->SetCalibrationDelay(30s);
    recorder.onPoll = [this](const Poll&) { transfer->StopAndWait(); };
    FileTransferParams p = HostFile(4, Pattern(100, 1));
    ASSERT_EQ(transfer->Start(p), 0);
    ASSERT_TRUE(recorder.WaitAny());
    ASSERT_TRUE(WaitWorkerEnd());
    EXPECT_EQ(recorder.Polls().size(), 1u);
    EXPECT_FALSE(HostServerListens());
}

TEST_F(CalibrationTransfer, CallbackThatClosesThePlugInEndsAfterItsPoll) {
    sim->SetCalibrationDelay(30s);
    recorder.onPoll = [this](const Poll&) {
        protocol.SetOpenState(false);
        transfer->StopAndWait();
    };
    FileTransferParams p = HostFile(4, Pattern(100, 1));
    ASSERT_EQ(transfer->Start(p), 0);
    ASSERT_TRUE(recorder.WaitAny());
    ASSERT_TRUE(WaitWorkerEnd());
    EXPECT_EQ(recorder.Polls().size(), 1u);
}

TEST_F(CalibrationTransfer, SecondTransferWhileOneRunsIsRefused) {
    sim->SetCalibrationDelay(30s);
    FileTransferParams first = HostFile(4, Pattern(100, 1));
    ASSERT_EQ(transfer->Start(first), 0);
    FileTransferParams second = Request(6, "SN", 1, 1);
    EXPECT_EQ(transfer->Start(second), -1);
    EXPECT_EQ(TransferCommands(), 1u);
    EXPECT_TRUE(transfer->IsRunning());
    EXPECT_TRUE(HostServerListens()) << "the running transfer keeps its server";
}

TEST_F(CalibrationTransfer, NextTransferAfterOneEndedRuns) {
    FileTransferParams p = HostFile(4, Pattern(500, 1));
    ASSERT_EQ(transfer->Start(p), 0);
    ASSERT_TRUE(recorder.WaitFinal());
    ASSERT_TRUE(WaitWorkerEnd());
    Recorder second;
    const Bytes content = Pattern(800, 5);
    FileTransferParams q = HostFile(7, content);
    q.userData = &second;
    ASSERT_EQ(transfer->Start(q), 0);
    ASSERT_TRUE(second.WaitFinal());
    EXPECT_EQ(second.Polls().back().status, 1);
    ASSERT_TRUE(WaitWorkerEnd());
    EXPECT_TRUE(sim->State().calibrationFiles.at({7, 0}) == content);
}

TEST_F(CalibrationTransfer, NotOpenSendsTheStartAndEndsAtOnce) {
    protocol.SetOpenState(false);
    FileTransferParams p = HostFile(4, Pattern(100, 1));
    ASSERT_EQ(transfer->Start(p), 0);
    ASSERT_TRUE(WaitWorkerEnd());
    EXPECT_TRUE(recorder.Polls().empty());
    EXPECT_EQ(TransferCommands(), 1u);
    EXPECT_FALSE(HostServerListens());
}

struct Refused {
    const char* name;
    int type;
    std::string fileName;
    uint8_t direction;
};

void PrintTo(const Refused& r, std::ostream* os) { *os << r.name; }

class RefusedRequest : public CalibrationTransfer, public ::testing::WithParamInterface<Refused> {};

TEST_P(RefusedRequest, NothingSentAndServerUntouched) {
    FileTransferParams p = Request(GetParam().type, GetParam().fileName, GetParam().direction);
    EXPECT_EQ(transfer->Start(p), -15);
    EXPECT_EQ(TransferCommands(), 0u);
    EXPECT_FALSE(HostServerListens());
    EXPECT_FALSE(transfer->IsRunning());
}

INSTANTIATE_TEST_SUITE_P(Requests, RefusedRequest,
                         ::testing::Values(Refused{"firmwareType", 1, "/tmp/x.bin", 0}, Refused{"jsonType", 3, "x", 1},
                                           Refused{"typeAbove", 9, "x", 1}, Refused{"bareName", 4, "intrinsic.bin", 0},
                                           Refused{"nameTooLong", 4, "/tmp/" + std::string(40, 'n') + ".bin", 0}),
                         [](const ::testing::TestParamInfo<Refused>& info) { return std::string(info.param.name); });

TEST_F(CalibrationTransfer, ServerThatCannotListenGivesMinus22) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    const int yes = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof(yes));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(8080);
    inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(listen(fd, 1), 0);
    FileTransferParams p = HostFile(4, Pattern(100, 1));
    EXPECT_EQ(transfer->Start(p), -22);
    EXPECT_EQ(TransferCommands(), 0u);
    close(fd);
}

TEST_F(CalibrationTransfer, RefusedStartCommandStopsTheServer) {
    device->SetOpenState(false);  // the start command cannot go out
    FileTransferParams p = HostFile(4, Pattern(100, 1));
    EXPECT_NE(transfer->Start(p), 0);
    EXPECT_FALSE(HostServerListens());
    EXPECT_FALSE(transfer->IsRunning());
}

TEST(CalibrationTransferWithoutControl, RefusedWithMinusOne) {
    Protocol protocol;
    TransferFile transfer(protocol);
    FileTransferParams p{};
    p.type = 4;
    p.direction = 1;
    EXPECT_EQ(transfer.Start(p), -1);
}

}  // namespace
