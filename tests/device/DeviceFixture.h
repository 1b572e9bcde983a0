#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "CameraScript.h"
#include "DeviceTestSupport.h"
#include "FakeToF.h"
#include "IdentityPreProcess.h"
#include "LogCapture.h"
#include "ScriptedIO.h"
#include "tofDevice.h"

namespace devicetest {

// A ToF device over a scripted transport and a fake plug-in, with its pauses recorded
// instead of slept. The objects it hands to the device stay reachable for the test.
class DeviceFixture : public ::testing::Test {
protected:
    explicit DeviceFixture(const DeviceInfo& info = MakeDeviceInfo()) {
        auto ownedIO = std::make_unique<testsupport::ScriptedIO>();
        io = ownedIO.get();
        io->deviceSN = "SN01";
        io->SetResponder(camera.Responder());
        auto ownedToF = std::make_unique<FakeToF>();
        tof = ownedToF.get();
        auto ownedPre = std::make_unique<testsupport::IdentityPreProcess>();
        preProcess = ownedPre.get();
        device = std::make_unique<tofDevice>(info, std::move(ownedToF), std::move(ownedIO), std::move(ownedPre),
                                             [this](linktiming::milliseconds d) {
                                                 std::lock_guard<std::mutex> lock(sleepMutex);
                                                 sleeps.push_back(d);
                                             });
    }

    // Commands sent with this id and kind, by their first payload byte.
    std::vector<uint8_t> Sent(int cmd, CMDTYPE type) const {
        std::vector<uint8_t> firsts;
        for (const auto& s : io->SentCommands())
            if (s.cmd == cmd && s.type == type) firsts.push_back(s.payload.empty() ? 0 : s.payload[0]);
        return firsts;
    }
    std::vector<linktiming::milliseconds> Sleeps() {
        std::lock_guard<std::mutex> lock(sleepMutex);
        return sleeps;
    }

    testsupport::LogCapture log;
    CameraScript camera;
    testsupport::ScriptedIO* io = nullptr;
    FakeToF* tof = nullptr;
    testsupport::IdentityPreProcess* preProcess = nullptr;
    std::mutex sleepMutex;
    std::vector<linktiming::milliseconds> sleeps;
    std::unique_ptr<tofDevice> device;
};

}  // namespace devicetest
