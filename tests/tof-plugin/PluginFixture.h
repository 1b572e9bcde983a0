#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "FakeConsumer.h"
#include "IdentityPreProcess.h"
#include "Plugin.h"
#include "Scene.h"
#include "SimCamera.h"
#include "TempDir.h"
#include "ToFRecords.h"

namespace toftest {

using Bytes = std::vector<uint8_t>;

// One command as the plug-in sent it; `payload` holds the bytes a test compares (a prefix).
struct Wire {
    int cmd;
    int type;
    Bytes payload;
};

// A plug-in object from the built library, initialised with a simulated camera, in its own
// working directory.
class PluginFixture : public ::testing::Test {
protected:
    PluginFixture();
    ~PluginFixture() override;

    // The commands sent since the last ClearSent, each payload cut to the expected length,
    // so that a test states only the bytes that matter.
    std::vector<Wire> SentLike(const std::vector<Wire>& expected) const;
    void ExpectSent(const std::vector<Wire>& expected) const;

    // A ToF record of the simulator: computed (0xB6/0xB7) or raw (0xB1/0xB2).
    static Bytes ComputedRecord(const camsim::Scene& scene, bool binned, uint8_t depthRange);
    static Bytes RawRecord(const camsim::Scene& scene, bool binned, uint8_t depthRange);
    // Hands a record to the plug-in as the kit's receive thread does: checked, then taken
    // with the frame kinds the check answered.
    void Feed(Bytes& record, uint32_t frameIndex);
    // Waits (bounded, `polls` queue waits of 200 ms) for the next frame of the type and gives
    // it back after the copy.
    struct FrameCopy {
        bool present = false;
        uint32_t frameIndex = 0;
        int pixelFormat = 0;
        uint16_t width = 0;
        uint16_t height = 0;
        uint32_t hasFrameType = 0;
        Bytes data;
    };
    FrameCopy NextFrame(FrameType type, int polls = 25);

    testsupport::TempDir m_dir;
    testsupport::ScopedWorkingDirectory m_cwd{m_dir.Path()};
    SimCamera m_camera;
    testsupport::FakeConsumer m_consumer;
    testsupport::IdentityPreProcess m_preprocess;
    std::unique_ptr<ToF_API> m_tof;
};

std::ostream& operator<<(std::ostream& out, const Wire& wire);
bool operator==(const Wire& a, const Wire& b);

}  // namespace toftest
