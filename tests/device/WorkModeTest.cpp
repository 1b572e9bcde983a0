#include <gtest/gtest.h>

#include <algorithm>

#include "DeviceFixture.h"

namespace {

using devicetest::CameraScript;
using devicetest::DeviceFixture;

class WorkModeTest : public DeviceFixture {
protected:
    bool PausedOneSecond() {
        const auto s = Sleeps();
        return std::find(s.begin(), s.end(), linktiming::milliseconds(1000)) != s.end();
    }
};

TEST_F(WorkModeTest, ConfirmedChangeRecordsFlushesAndPauses) {
    ASSERT_EQ(device->GetWorkModeInternal(), -1);
    ASSERT_EQ(device->SetWorkMode(2), 0);
    EXPECT_EQ(device->GetWorkModeInternal(), 2);
    EXPECT_EQ(camera.workMode, 2);
    EXPECT_TRUE(tof->Called("RecycleCache"));  // the plug-in's and Sync's cached frames go
    EXPECT_TRUE(PausedOneSecond());
}

TEST_F(WorkModeTest, UnconfirmedChangeKeepsTheModeAndCache) {
    ASSERT_EQ(device->SetWorkMode(1), 0);
    tof->ClearCalls();
    {
        std::lock_guard<std::mutex> lock(sleepMutex);
        sleeps.clear();
    }
    camera.confirmWorkMode = false;
    io->ClearSent();
    EXPECT_EQ(device->SetWorkMode(2), -105);
    EXPECT_EQ(device->GetWorkModeInternal(), 1);
    EXPECT_FALSE(tof->Called("RecycleCache"));
    EXPECT_FALSE(PausedOneSecond());
    EXPECT_EQ(Sent(CameraScript::kWorkModeCmd, CMDTYPE_GET).size(), 12u);
}

TEST_F(WorkModeTest, ValuesTheWireCannotCarrySendNothing) {
    for (int mode : {-1, 3, 256}) {
        SCOPED_TRACE(mode);
        EXPECT_EQ(device->SetWorkMode(mode), -15);
    }
    EXPECT_EQ(device->SetFrameRate(-1), -15);
    EXPECT_EQ(device->SetFrameRate(128), -15);
    EXPECT_TRUE(io->SentCommands().empty());
    EXPECT_EQ(device->GetWorkModeInternal(), -1);
    EXPECT_FALSE(tof->Called("RecycleCache"));
}

TEST_F(WorkModeTest, FirstStreamStartReadsTheCamerasMode) {
    camera.workMode = 1;
    ASSERT_EQ(device->Open(), 0);
    EXPECT_EQ(device->GetWorkModeInternal(), 1);
}

}  // namespace
