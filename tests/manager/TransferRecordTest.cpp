// The main loop while a transfer is recorded, and the record's end with the controller's.
#include <utility>
#include <vector>

#include "Eventually.h"
#include "JsonCtl.h"
#include "ManagerFixture.h"
#include "ManagerTiming.h"
#include "TransferRecord.h"
#include "TransferReports.h"
#include "Upgrade.h"

namespace managertest {
namespace {

constexpr int8_t kUpgradeWaiting = 3;

using testsupport::Eventually;
using transfertest::Reports;

class TransferRecord : public ManagerFixture {
protected:
    ~TransferRecord() override {
        // Each test gets controllers of its own; their workers end before the manager.
        Upgrade::Release();
        JsonCtl::Release();
    }
    // The record clears before the final report is made.
    std::vector<std::pair<int, int>> ReportsOnceIn(size_t count) {
        Eventually([&] { return transferReports.Got().size() >= count; });
        return transferReports.Got();
    }
    bool RecordBecomes(int value) {
        return Eventually([&] { return manager->GetUpgradeState() == value; });
    }
    Reports transferReports;
};

struct RecordCase {
    const char* name;
    int record;
    bool appearanceReported;
};

class WhileRecorded : public TransferRecord, public ::testing::WithParamInterface<RecordCase> {};

TEST_P(WhileRecorded, OpenedCamerasGetNoHeartbeatsAndAreNotDropped) {
    Appear("SN1", "127.0.0.2");
    ASSERT_NE(OpenByIP("127.0.0.2"), nullptr);
    manager->SetUpgradeState(GetParam().record);
    Camera("SN1").heartbeatResult = -104;
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Pass(), managertiming::kBetweenPasses);
    EXPECT_EQ(Camera("SN1").Count("HeartbeatCheck"), 0);
    EXPECT_EQ(Camera("SN1").Count("Close"), 0);
    EXPECT_TRUE(manager->checkOpenedByURI("Test:SN1"));

    // The transfer over, the next pass watches the camera again.
    manager->SetUpgradeState(transferrecord::kNone);
    Pass();
    EXPECT_EQ(Camera("SN1").Count("HeartbeatCheck"), 1);
}

TEST_P(WhileRecorded, OpenedCameraThatLeavesIsStillToldAndReported) {
    Appear("SN1", "127.0.0.2");
    ASSERT_NE(OpenByIP("127.0.0.2"), nullptr);
    manager->SetUpgradeState(GetParam().record);
    Hear("SN1", "127.0.0.2", 2);
    Pass();
    EXPECT_EQ(Camera("SN1").Count("OnMessage:1"), 1);
    ASSERT_TRUE(reports.WaitFor(2));
    EXPECT_EQ(reports.Of(MessageRemoved).size(), 1u);
}

TEST_P(WhileRecorded, AppearanceIsReportedOnlyOutsideAFirmwareUpgrade) {
    manager->SetUpgradeState(GetParam().record);
    Appear("SN1", "127.0.0.2");
    Pass();
    Shutdown();
    EXPECT_EQ(reports.Of(MessageAdded).size(), GetParam().appearanceReported ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Records, WhileRecorded,
                         ::testing::Values(RecordCase{"Firmware", transferrecord::kFirmware, false},
                                           RecordCase{"Json", transferrecord::kJson, true}),
                         [](const auto& info) { return info.param.name; });

// The device handed its command set over and went; the worker that the camera's detection
// starts finds none and ends the transfer, which clears the record.
TEST_F(TransferRecord, FirmwareRecordClearsWhenTheWorkerEnds) {
    Upgrade* upgrade = Upgrade::GetInstance();
    upgrade->SetUpgradeStatusCallback(&Reports::Callback, &transferReports);
    upgrade->SetStatus(1);
    EXPECT_EQ(manager->GetUpgradeState(), transferrecord::kFirmware) << "recorded as it starts";
    Appear("SN1", "127.0.0.2");  // detected: the worker starts
    ASSERT_TRUE(RecordBecomes(transferrecord::kNone));
    EXPECT_EQ(ReportsOnceIn(1), (std::vector<std::pair<int, int>>{{1, -1}}));
    EXPECT_TRUE(log.Contains("SetDetectParams_P"));
    // Reported again from the next pass on.
    Pass();
    ASSERT_TRUE(reports.WaitFor(1));
    EXPECT_EQ(reports.Of(MessageAdded).size(), 1u);
}

TEST_F(TransferRecord, JsonRecordClearsWhenTheWorkerEnds) {
    JsonCtl* json = JsonCtl::GetInstance();
    json->SetUpgradeJsonStatusCallback(&Reports::Callback, &transferReports, nullptr);
    json->SetStatus(1);
    EXPECT_EQ(manager->GetUpgradeState(), transferrecord::kJson) << "recorded as it starts";
    Appear("SN1", "127.0.0.2");
    Hear("SN1", "127.0.0.2", kUpgradeWaiting);
    Pass();  // the camera waits in its transfer state: the worker starts
    ASSERT_TRUE(RecordBecomes(transferrecord::kNone));
    EXPECT_EQ(ReportsOnceIn(1), (std::vector<std::pair<int, int>>{{1, -1}}));
    EXPECT_TRUE(log.Contains("JsonCtl::SetDetectParams_P"));
}

// A JSON transfer begun while an upgrade runs keeps its record when the upgrade ends.
TEST_F(TransferRecord, AnEndClearsOnlyItsOwnKind) {
    Upgrade* upgrade = Upgrade::GetInstance();
    upgrade->SetUpgradeStatusCallback(&Reports::Callback, &transferReports);
    upgrade->SetStatus(1);
    JsonCtl::GetInstance()->SetStatus(1);
    ASSERT_EQ(manager->GetUpgradeState(), transferrecord::kJson);
    upgrade->SetDetectParams_P();
    ASSERT_EQ(ReportsOnceIn(1).size(), 1u);
    Upgrade::Release();  // joins the worker, whose last act is the end hook
    EXPECT_EQ(manager->GetUpgradeState(), transferrecord::kJson);
}

}  // namespace
}  // namespace managertest
