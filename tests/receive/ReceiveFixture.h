#pragma once
#include <atomic>
#include <cstdint>
#include <memory>

#include <gtest/gtest.h>

#include "DeviceCommonProtocol.h"
#include "FeedIO.h"
#include "IdentityPreProcess.h"
#include "ImageProc_ToF.h"
#include "LogCapture.h"
#include "RecordingToF.h"

namespace receivetest {

// A ToF receive path over a fed transport, a recording plug-in, the identity preprocessing
// object and a clock the test moves.
class ReceiveFixture : public ::testing::Test {
protected:
    ReceiveFixture() {
        auto feed = std::make_unique<FeedIO>();
        io = feed.get();
        control = std::make_unique<DeviceCommonProtocol>(std::move(feed));
        auto pre = std::make_unique<testsupport::IdentityPreProcess>();
        preProcess = pre.get();
        path = std::make_unique<ImageProc_ToF>(*control, tof, std::move(pre), [this] { return now.load(); });
    }
    // As the device closes: the transport is shut down before the path goes.
    ~ReceiveFixture() override {
        io->Shutdown();
        path.reset();
    }

    testsupport::LogCapture log;
    std::atomic<uint64_t> now{100000};
    RecordingToF tof;
    FeedIO* io = nullptr;
    std::unique_ptr<DeviceCommonProtocol> control;
    testsupport::IdentityPreProcess* preProcess = nullptr;
    std::unique_ptr<ImageProc_ToF> path;
};

}  // namespace receivetest
