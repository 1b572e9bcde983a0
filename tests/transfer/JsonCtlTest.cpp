#include <gtest/gtest.h>
#include <sys/stat.h>

#include "JsonCtl.h"
#include "TempDir.h"
#include "TransferRig.h"
#include "WebServer.h"

namespace {

using namespace transfertest;

CameraScript Json(std::vector<std::pair<int, int>> states) {
    CameraScript s;
    s.kind = 3;
    s.states = std::move(states);
    return s;
}

class JsonCtlTest : public ::testing::Test {
protected:
    JsonCtlTest() : cwd(dir.Path()) {
        mkdir("cfg", 0755);
        testsupport::WriteFile("cfg/p.json", "abc");
    }
    ~JsonCtlTest() override { WebServer::getInstance()->stop(); }

    void Begin(JsonCtl& json, ScriptedCamera& camera, bool callback = true) {
        if (callback)
            json.SetUpgradeJsonStatusCallback(&Reports::Callback, &reports, camera.protocol.get());
        else
            json.SetUpgradeJsonStatusCallback(nullptr, nullptr, camera.protocol.get());
        json.SetTransferHooks(nullptr, [this] { reports.Ended(); });
        json.SetStatus(1);
        json.SetDetectParams_P();
    }
    // The camera posted its file and waits in JSON mode; the host's file goes out.
    void HandOver(JsonCtl& json, ScriptedCamera& camera, const char* path = "cfg/p.json") {
        for (int i = 0; i < 1000 && json.Status() != 3; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        ASSERT_EQ(json.Status(), 3);
        json.SetImgPath(path, camera.protocol.get());
    }

    testsupport::LogCapture log;
    testsupport::TempDir dir;
    testsupport::ScopedWorkingDirectory cwd;
    Reports reports;
};

struct Row {
    const char* name;
    CameraScript camera;
    std::vector<Report> expected;
    bool rebooted;
    const char* path = "cfg/p.json";
};

TEST_F(JsonCtlTest, Table) {
    CameraScript goOnFails = Json({{0, 1}, {0, 1}, {2, 1}});
    goOnFails.goOnResult = -1;
    CameraScript checksumFails = Json({{0, 1}, {0, 1}});
    checksumFails.checksumResult = -1;
    const Row rows[] = {
        {"success",
         Json({{0, 1}, {0, 1}, {1, 0}, {2, 1}, {3, 40}, {4, 1}}),
         {{1, 0}, {4, 1}, {5, 40}, {5, 100}, {6, 1}},
         true},
        {"check failed", Json({{0, 1}, {0, 1}, {1, 0}, {2, 0}}), {{1, 0}, {4, -1}}, true},
        {"check failed with a code", Json({{0, 1}, {0, 1}, {2, 7}}), {{1, 0}, {4, 7}}, true},
        {"go on fails", goOnFails, {{1, 0}, {4, -1}}, true},
        {"checksum send fails", checksumFails, {{1, 0}, {4, -1}}, true},
        {"json NG", Json({{0, 1}, {0, 1}, {2, 1}, {4, 2}}), {{1, 0}, {4, 1}, {6, 2}}, true},
        {"camera state 5", Json({{0, 1}, {0, 1}, {5, 0}}), {{1, 0}, {7, -1}}, false},
        {"still ready after the checksum", Json({{0, 1}, {0, 1}, {0, 1}}), {{1, 0}, {2, -1}}, false},
        // State 0 with parameter 0 after the checksum is no progress: the transfer times out.
        {"no progress after the checksum", Json({{0, 1}, {0, 1}, {0, 0}}), {{1, 0}, {2, -1}}, true},
        {"missing file", Json({{0, 1}, {0, 1}}), {{1, 0}, {4, -1}}, true, "cfg/none.json"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        reports.Reset();
        ScriptedCamera camera(row.camera);
        JsonCtl json(Quick(JsonCtl::kWaitLimit));
        Begin(json, camera);
        HandOver(json, camera, row.path);
        ASSERT_TRUE(reports.WaitEnded());
        json.Shutdown();
        EXPECT_EQ(reports.Got(), row.expected);
        EXPECT_EQ(camera.Count(kCmdReboot), row.rebooted ? 1 : 0);
        EXPECT_EQ(reports.EndedCount(), 1);
    }
}

TEST_F(JsonCtlTest, SendsTheSignedByteSumAndLength) {
    testsupport::WriteFile("cfg/ff.json", std::string(5, '\xff'));
    struct Case {
        const char* path;
        uint32_t sum;
        uint32_t len;
    } cases[] = {{"cfg/p.json", 294, 3}, {"cfg/ff.json", static_cast<uint32_t>(-5), 5}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        reports.Reset();
        ScriptedCamera camera(Json({{0, 1}, {0, 1}, {4, 1}}));
        JsonCtl json(Quick(JsonCtl::kWaitLimit));
        Begin(json, camera);
        HandOver(json, camera, c.path);
        ASSERT_TRUE(reports.WaitEnded());
        json.Shutdown();
        EXPECT_EQ(camera.Sets(2), (std::vector<Bytes>{StateRecord(3, 2, c.sum, c.len)}));
    }
}

TEST_F(JsonCtlTest, EmptyFileIsRefused) {
    testsupport::WriteFile("cfg/empty.json", "");
    ScriptedCamera camera(Json({{0, 1}, {0, 1}}));
    JsonCtl json(Quick(JsonCtl::kWaitLimit));
    Begin(json, camera);
    HandOver(json, camera, "cfg/empty.json");
    ASSERT_TRUE(reports.WaitEnded());
    EXPECT_EQ(reports.Got().back(), (Report{4, -1}));
    EXPECT_TRUE(camera.Sets(2).empty());
    EXPECT_TRUE(log.Contains("read IMG_HEAD failed:0"));
}

TEST_F(JsonCtlTest, EndsWithoutProgress) {
    struct Case {
        const char* name;
        CameraScript camera;
        bool handOver;
        Report last;
    } cases[] = {
        {"never ready in JSON mode", Json({{0, 0}}), false, {2, -1}},
        {"never ready for the file", Json({{0, 1}, {0, 0}}), true, {2, -1}},
        {"stuck in progress", Json({{0, 1}, {0, 1}, {3, 20}}), true, {5, -1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reports.Reset();
        ScriptedCamera camera(c.camera);
        JsonCtl json(Quick(4));
        Begin(json, camera);
        if (c.handOver) HandOver(json, camera);
        ASSERT_TRUE(reports.WaitEnded());
        json.Shutdown();
        EXPECT_EQ(reports.Got().back(), c.last);
        EXPECT_EQ(camera.Count(kCmdReboot), 1);
    }
}

// While it waits for the file, a camera that stops answering is connected again.
TEST_F(JsonCtlTest, FailedHeartbeatsWhileWaitingReconnect) {
    CameraScript script = Json({{0, 1}});
    script.heartbeatResult = -104;
    ScriptedCamera camera(script);
    JsonCtl json(Quick(JsonCtl::kWaitLimit));
    Begin(json, camera);
    ASSERT_TRUE(reports.WaitReport({1, 0}));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    json.Shutdown();
    EXPECT_GT(camera.io().opens, 1) << "the reconnect opened once, the failed heartbeats again";
    EXPECT_EQ(reports.Got(), (std::vector<Report>{{1, 0}})) << "no time-out while waiting for the file";
}

TEST_F(JsonCtlTest, WaitsForTheFileWithHeartbeats) {
    ScriptedCamera camera(Json({{0, 1}}));
    JsonCtl json(Quick(2));
    Begin(json, camera);
    ASSERT_TRUE(reports.WaitReport({1, 0}));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));  // many polls beyond the limit
    EXPECT_EQ(json.Status(), 3);
    EXPECT_EQ(reports.EndedCount(), 0);
    json.Shutdown();  // the transfer still runs: the camera is rebooted
    EXPECT_GT(camera.Count(kCmdHeartbeat), 2);
    EXPECT_EQ(camera.io().opens, 1) << "answered heartbeats leave the connection alone";
    EXPECT_EQ(camera.Count(kCmdReboot), 1);
    EXPECT_EQ(reports.EndedCount(), 1);
}

TEST_F(JsonCtlTest, ThreeFailedReconnects) {
    ScriptedCamera camera(Json({{0, 1}}));
    camera.io().openResult = -1;
    JsonCtl json(Quick(JsonCtl::kWaitLimit));
    Begin(json, camera);
    ASSERT_TRUE(reports.WaitEnded());
    EXPECT_EQ(reports.Got(), (std::vector<Report>{{2, -1}}));
    EXPECT_EQ(camera.io().opens, 3);
    EXPECT_EQ(camera.Count(kCmdReboot), 0);
}

TEST_F(JsonCtlTest, WithoutCallbackEachReportIsLogged) {
    ScriptedCamera camera(Json({{0, 1}, {0, 1}, {4, 1}}));
    JsonCtl json(Quick(JsonCtl::kWaitLimit));
    Begin(json, camera, false);
    HandOver(json, camera);
    for (int i = 0; i < 1000 && json.Status() != 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    json.Shutdown();
    EXPECT_EQ(camera.Count(kCmdReboot), 1);
    EXPECT_TRUE(log.Contains("<CAM1> m_pCallback is NULL!"));
    EXPECT_TRUE(log.Contains("Json OK."));
}

TEST_F(JsonCtlTest, DeviceDetachedWhileWaitingForTheFile) {
    auto camera = std::make_unique<ScriptedCamera>(Json({{0, 1}}));
    JsonCtl json(Quick(JsonCtl::kWaitLimit));
    Begin(json, *camera);
    ASSERT_TRUE(reports.WaitReport({1, 0}));
    json.Detach(camera->protocol.get());
    EXPECT_EQ(reports.Got().back(), (Report{3, -1}));
    camera.reset();
    json.Shutdown();
    EXPECT_EQ(reports.EndedCount(), 1);
}

TEST_F(JsonCtlTest, StopEndsTheWaitAtOnce) {
    ScriptedCamera camera(Json({{0, 1}}));
    JsonCtl json(TransferController::Timing{std::chrono::hours(1), JsonCtl::kWaitLimit});
    Begin(json, camera);
    ASSERT_TRUE(reports.WaitReport({1, 0}));
    json.Shutdown();  // would take an hour if the poll were not woken
    EXPECT_FALSE(json.IsRunning());
}

// The host's file is for the camera whose transfer waits for it.
TEST_F(JsonCtlTest, PathFromAnotherCameraIsRefused) {
    ScriptedCamera camera(Json({{0, 1}}));
    ScriptedCamera other(Json({{0, 1}}));
    JsonCtl json(Quick(JsonCtl::kWaitLimit));
    Begin(json, camera);
    ASSERT_TRUE(reports.WaitReport({1, 0}));
    EXPECT_EQ(json.SetImgPath("cfg/p.json", other.protocol.get()), -2);
    EXPECT_TRUE(other.io().SentCommands().empty());
    EXPECT_EQ(json.Status(), 3);
    json.Shutdown();
}

}  // namespace
