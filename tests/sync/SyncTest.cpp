#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

#include "DestinationFrames.h"
#include "FakeColor.h"
#include "FakeToF.h"
#include "Sync.h"

namespace synctest {
namespace {

using Returned = std::vector<std::pair<FrameType, uint32_t>>;

constexpr HasFrameType kDepthAndIR = HAS_DEPTH_FRAME | HAS_IR_FRAME;

HasFrameType BitOf(FrameType type) {
    switch (type) {
        case FRAME_IR: return HAS_IR_FRAME;
        case FRAME_CONFIDENCE: return HAS_CONFIDENCE_FRAME;
        case FRAME_COLOR: return HAS_COLOR_FRAME;
        default: return HAS_DEPTH_FRAME;
    }
}

// Sync driven one pass at a time: each delivery queues a frame in a fake plug-in, announces
// it and runs one pass. Every case ends with every frame back with its plug-in exactly once.
class SyncTest : public ::testing::Test {
protected:
    void SetUp() override { MakeSync(&m_color); }

    void TearDown() override {
        m_sync.reset();
        for (const FakeFrameSource* frames : {&m_tof.frames, &m_color.frames}) {
            EXPECT_EQ(frames->Outstanding(), 0u);
            EXPECT_EQ(frames->BadReturns(), 0u);
        }
    }

    void MakeSync(Color_API* color) {
        m_sync.reset();
        m_sync = std::make_unique<Sync>(m_tof, color, [this] { return m_nowMs; });
        m_sync->SetWaitTime(0);  // a pass without announcements returns at once
        m_sync->SetSyncEnable(true);
    }

    FakeFrameSource& SourceOf(FrameType type) { return type == FRAME_COLOR ? m_color.frames : m_tof.frames; }

    Frame* Deliver(FrameType type, uint32_t index, HasFrameType mask) {
        Frame* frame = SourceOf(type).Queue(type, index, mask);
        Announce(BitOf(type));
        return frame;
    }

    void Announce(HasFrameType bits) {
        m_sync->SetSingleFrameReady(bits);
        m_sync->RunOnce();
    }

    int Request(unsigned short waitMs = 0) {
        m_out = m_dest.Record();
        return m_sync->GetSyncFrame(waitMs, m_out);
    }

    Returned ToFReturned() const { return m_tof.frames.Returned(); }

    FakeToF m_tof;
    FakeColor m_color;
    uint64_t m_nowMs = 50000;
    std::unique_ptr<Sync> m_sync;
    DestinationFrames m_dest;
    SyncFrame m_out{};
};

TEST_F(SyncTest, GroupIsPublishedOnceItsLastKindArrives) {
    const Frame* depth = Deliver(FRAME_DEPTH, 7, kDepthAndIR);
    EXPECT_EQ(Request(), 0);
    const Frame depthHeader = *depth;

    Deliver(FRAME_IR, 7, kDepthAndIR);
    EXPECT_EQ(m_tof.frames.Outstanding(), 2u);
    ASSERT_EQ(Request(), 1);

    EXPECT_EQ(m_out.frameIndex, 7u);
    EXPECT_EQ(m_out.mask, kDepthAndIR);
    EXPECT_EQ(m_out.hasDepth, 1);
    EXPECT_EQ(m_out.hasIR, 1);
    EXPECT_EQ(m_out.hasConfidence, 0);
    EXPECT_EQ(m_out.hasColor, 0);
    // Header and pixels are copied; the destination keeps its own buffer and capacity.
    const Frame& copied = m_dest.Depth();
    EXPECT_EQ(copied.frameIndex, 7u);
    EXPECT_EQ(copied.frameType, FRAME_DEPTH);
    EXPECT_EQ(copied.pixelFormat, depthHeader.pixelFormat);
    EXPECT_EQ(copied.length, depthHeader.length);
    EXPECT_EQ(copied.width, depthHeader.width);
    EXPECT_EQ(copied.height, depthHeader.height);
    EXPECT_EQ(copied.hasFrameType, kDepthAndIR);
    // Packed fields are compared by value: a reference to them would be misaligned.
    EXPECT_EQ(uint64_t{copied.timestamp}, uint64_t{depthHeader.timestamp});
    EXPECT_EQ(copied.depthRange, depthHeader.depthRange);
    EXPECT_FLOAT_EQ(copied.exposureTime, depthHeader.exposureTime);
    EXPECT_EQ(copied.capacity, DestinationFrames::kCapacity);
    EXPECT_EQ(static_cast<Frame*>(m_out.depthFrame), &m_dest.Depth());
    for (uint32_t i = 0; i < copied.length; ++i) {
        ASSERT_EQ(copied.data[i], FakeFrameSource::PixelPattern(FRAME_DEPTH, 7, i)) << i;
    }
    EXPECT_EQ(m_dest.IR().frameType, FRAME_IR);
    EXPECT_TRUE(m_dest.GuardsIntact());

    EXPECT_EQ(m_tof.frames.Outstanding(), 0u);
    EXPECT_EQ(ToFReturned(), (Returned{{FRAME_DEPTH, 7}, {FRAME_IR, 7}}));
    // Each publication is taken once.
    EXPECT_EQ(Request(), 0);
}

TEST_F(SyncTest, NewerCompleteGroupReplacesUnreadOne) {
    Deliver(FRAME_DEPTH, 7, kDepthAndIR);
    Deliver(FRAME_IR, 7, kDepthAndIR);
    Deliver(FRAME_DEPTH, 8, kDepthAndIR);
    Deliver(FRAME_IR, 8, kDepthAndIR);
    EXPECT_EQ(ToFReturned(), (Returned{{FRAME_DEPTH, 7}, {FRAME_IR, 7}}));

    ASSERT_EQ(Request(), 1);
    EXPECT_EQ(m_out.frameIndex, 8u);
    EXPECT_EQ(m_dest.Depth().frameIndex, 8u);
}

TEST_F(SyncTest, IncompleteOlderGroupIsAbandonedByALaterPublication) {
    Deliver(FRAME_DEPTH, 7, kDepthAndIR);
    Deliver(FRAME_DEPTH, 8, kDepthAndIR);
    EXPECT_TRUE(ToFReturned().empty());
    Deliver(FRAME_IR, 8, kDepthAndIR);
    EXPECT_EQ(ToFReturned(), (Returned{{FRAME_DEPTH, 7}}));

    ASSERT_EQ(Request(), 1);
    EXPECT_EQ(m_out.frameIndex, 8u);
    // A late IR frame of the abandoned group finds no group left and goes back at once.
    Deliver(FRAME_IR, 7, kDepthAndIR);
    EXPECT_EQ(m_tof.frames.Outstanding(), 0u);
}

TEST_F(SyncTest, GroupOlderThanAPublicationIsNeverPublished) {
    Deliver(FRAME_DEPTH, 8, kDepthAndIR);
    Deliver(FRAME_IR, 8, kDepthAndIR);
    ASSERT_EQ(Request(), 1);

    // Both frames of group 7 arrive late, after the queue emptied.
    Deliver(FRAME_DEPTH, 7, kDepthAndIR);
    Deliver(FRAME_IR, 7, kDepthAndIR);
    EXPECT_EQ(m_tof.frames.Outstanding(), 0u);
    EXPECT_EQ(Request(), 0);
    // A repeated index of the publication is refused too.
    Deliver(FRAME_DEPTH, 8, HAS_DEPTH_FRAME);
    EXPECT_EQ(Request(), 0);
}

TEST_F(SyncTest, FrameOlderThanTheHeadGroupIsGivenBackAtOnce) {
    Deliver(FRAME_DEPTH, 5, kDepthAndIR);
    Deliver(FRAME_DEPTH, 6, kDepthAndIR);
    Deliver(FRAME_IR, 5, kDepthAndIR);  // publishes 5; the head is now group 6
    const size_t before = ToFReturned().size();

    Deliver(FRAME_DEPTH, 4, kDepthAndIR);
    const Returned returned = ToFReturned();
    ASSERT_EQ(returned.size(), before + 1);
    EXPECT_EQ(returned.back(), std::make_pair(FRAME_DEPTH, 4u));

    // Group 6 still forms.
    Deliver(FRAME_IR, 6, kDepthAndIR);
    ASSERT_EQ(Request(), 1);
    EXPECT_EQ(m_out.frameIndex, 6u);
}

TEST_F(SyncTest, SeventhNewGroupReusesTheOldestSlot) {
    for (uint32_t index = 1; index <= 6; ++index) {
        Deliver(FRAME_DEPTH, index, kDepthAndIR);
    }
    EXPECT_TRUE(ToFReturned().empty());
    Deliver(FRAME_DEPTH, 7, kDepthAndIR);
    EXPECT_EQ(ToFReturned(), (Returned{{FRAME_DEPTH, 1}}));

    // Completing the newest group abandons the five older ones still queued.
    Deliver(FRAME_IR, 7, kDepthAndIR);
    EXPECT_EQ(ToFReturned().size(), 6u);
    ASSERT_EQ(Request(), 1);
    EXPECT_EQ(m_out.frameIndex, 7u);
}

TEST_F(SyncTest, RequestWithNothingPublishedReturnsZero) {
    EXPECT_EQ(Request(0), 0);
    EXPECT_EQ(Request(20), 0);
    Deliver(FRAME_DEPTH, 3, kDepthAndIR);
    EXPECT_EQ(Request(0), 0);
}

TEST_F(SyncTest, AgeOfThePublicationDecidesBetweenFreshAndStale) {
    const struct {
        uint64_t ageMs;
        int expected;
    } cases[] = {{0, 1}, {1000, 1}, {1001, 2}, {1200, 2}};
    uint32_t index = 1;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ageMs);
        Deliver(FRAME_DEPTH, index, HAS_DEPTH_FRAME);
        m_nowMs += c.ageMs;
        EXPECT_EQ(Request(), c.expected);
        EXPECT_EQ(m_out.frameIndex, index);  // a stale group is still copied
        EXPECT_EQ(m_out.hasDepth, 1);
        ++index;
    }
}

TEST_F(SyncTest, StreamOffFlushesQueueAndPublicationOnEveryPass) {
    Deliver(FRAME_DEPTH, 8, kDepthAndIR);
    Deliver(FRAME_IR, 8, kDepthAndIR);  // published, unread
    Deliver(FRAME_DEPTH, 9, kDepthAndIR);

    m_sync->SetStream(false);
    m_sync->RunOnce();
    EXPECT_EQ(m_tof.frames.Outstanding(), 0u);
    EXPECT_EQ(Request(), 0);
    // Frames that arrive while the stream is off go back within the same pass.
    Deliver(FRAME_DEPTH, 10, HAS_DEPTH_FRAME);
    EXPECT_EQ(m_tof.frames.Outstanding(), 0u);
    EXPECT_EQ(Request(), 0);

    m_sync->SetStream(true);
    Deliver(FRAME_DEPTH, 11, HAS_DEPTH_FRAME);
    ASSERT_EQ(Request(), 1);
    EXPECT_EQ(m_out.frameIndex, 11u);
}

TEST_F(SyncTest, RecycleCacheFlushesOnTheNextPass) {
    Deliver(FRAME_DEPTH, 8, HAS_DEPTH_FRAME);
    Deliver(FRAME_DEPTH, 9, kDepthAndIR);
    m_sync->RecycleCache();
    EXPECT_EQ(m_tof.frames.Outstanding(), 2u);
    m_sync->RunOnce();
    EXPECT_EQ(m_tof.frames.Outstanding(), 0u);
    EXPECT_EQ(Request(), 0);
    // The queue starts afresh: a lower index than before forms a group again.
    Deliver(FRAME_DEPTH, 2, HAS_DEPTH_FRAME);
    ASSERT_EQ(Request(), 1);
    EXPECT_EQ(m_out.frameIndex, 2u);
}

TEST_F(SyncTest, SwitchingSynchronisationOnFlushesAndOffTakesNothing) {
    Deliver(FRAME_DEPTH, 8, HAS_DEPTH_FRAME);
    Deliver(FRAME_DEPTH, 9, kDepthAndIR);
    m_sync->SetSyncEnable(true);
    EXPECT_EQ(m_tof.frames.Outstanding(), 0u);

    m_sync->SetSyncEnable(false);
    Deliver(FRAME_DEPTH, 10, HAS_DEPTH_FRAME);
    EXPECT_EQ(m_tof.frames.Outstanding(), 0u);
    EXPECT_EQ(m_tof.frames.QueuedCount(), 1u);
    // The announcement is still pending for the caller that takes frames itself.
    EXPECT_EQ(m_sync->GetSingleFrameReady(), HAS_DEPTH_FRAME);
    EXPECT_EQ(m_sync->GetSingleFrameReady(), 0u);
}

TEST_F(SyncTest, FrameLongerThanItsDestinationIsGivenBackNotPresent) {
    m_dest.IR().capacity = 8;  // the IR frame holds 16 bytes
    Deliver(FRAME_DEPTH, 4, kDepthAndIR);
    Deliver(FRAME_IR, 4, kDepthAndIR);

    ASSERT_EQ(Request(), 1);
    EXPECT_EQ(m_out.hasDepth, 1);
    EXPECT_EQ(m_out.hasIR, 0);
    EXPECT_EQ(m_out.mask, HAS_DEPTH_FRAME);
    for (uint32_t i = 0; i < DestinationFrames::kCapacity; ++i) {
        ASSERT_EQ(m_dest.IR().data[i], DestinationFrames::kGuard) << i;
    }
    EXPECT_EQ(m_dest.IR().capacity, 8u);
    EXPECT_EQ(m_tof.frames.Outstanding(), 0u);
}

TEST_F(SyncTest, KindWithoutDestinationIsGivenBackNotPresent) {
    const HasFrameType mask = HAS_DEPTH_FRAME | HAS_COLOR_FRAME;
    Deliver(FRAME_COLOR, 4, mask);
    Deliver(FRAME_DEPTH, 4, mask);

    m_out = m_dest.Record();
    m_out.colorFrame = nullptr;
    ASSERT_EQ(m_sync->GetSyncFrame(0, m_out), 1);
    EXPECT_EQ(m_out.hasDepth, 1);
    EXPECT_EQ(m_out.hasColor, 0);
    EXPECT_EQ(m_out.mask, HAS_DEPTH_FRAME);
    EXPECT_EQ(m_color.frames.Outstanding(), 0u);
}

TEST_F(SyncTest, FailingGetFrameIsRetriedABoundedNumberOfTimes) {
    m_tof.frames.FailGetFrame(-1);
    Deliver(FRAME_DEPTH, 3, HAS_DEPTH_FRAME);  // the pass must end although the frame stays ready
    EXPECT_EQ(m_tof.frames.GetFrameCalls(), Sync::kGetFrameAttempts);
    EXPECT_EQ(m_tof.frames.QueuedCount(), 1u);

    m_tof.frames.FailGetFrame(1);  // one failure, then the frame comes in the same pass
    Announce(HAS_DEPTH_FRAME);
    EXPECT_EQ(m_tof.frames.QueuedCount(), 0u);
    ASSERT_EQ(Request(), 1);
    EXPECT_EQ(m_out.frameIndex, 3u);
}

TEST_F(SyncTest, RepeatedKindReplacesTheEarlierFrame) {
    const Frame* first = Deliver(FRAME_DEPTH, 7, kDepthAndIR);
    const uint64_t firstStamp = first->timestamp;
    const Frame* second = Deliver(FRAME_DEPTH, 7, kDepthAndIR);
    const uint64_t secondStamp = second->timestamp;
    ASSERT_NE(firstStamp, secondStamp);
    EXPECT_EQ(ToFReturned(), (Returned{{FRAME_DEPTH, 7}}));

    Deliver(FRAME_IR, 7, kDepthAndIR);
    ASSERT_EQ(Request(), 1);
    EXPECT_EQ(uint64_t{m_dest.Depth().timestamp}, secondStamp);
}

TEST_F(SyncTest, ColourAndToFFramesFormOneGroup) {
    const HasFrameType mask = HAS_DEPTH_FRAME | HAS_IR_FRAME | HAS_COLOR_FRAME | HAS_CONFIDENCE_FRAME;
    Deliver(FRAME_COLOR, 12, mask);
    Deliver(FRAME_DEPTH, 12, mask);
    Deliver(FRAME_IR, 12, mask);
    EXPECT_EQ(Request(), 0);
    Deliver(FRAME_CONFIDENCE, 12, mask);

    ASSERT_EQ(Request(), 1);
    EXPECT_EQ(m_out.mask, mask);
    EXPECT_EQ(m_out.hasColor, 1);
    EXPECT_EQ(m_out.hasConfidence, 1);
    EXPECT_EQ(m_dest.Color().frameType, FRAME_COLOR);
    EXPECT_EQ(m_dest.Color().length, FakeFrameSource::kWidth * FakeFrameSource::kHeight * 3u);
    EXPECT_EQ(m_dest.Color().data[5], FakeFrameSource::PixelPattern(FRAME_COLOR, 12, 5));
    EXPECT_EQ(m_color.frames.Returned(), (Returned{{FRAME_COLOR, 12}}));
    EXPECT_EQ(ToFReturned().size(), 3u);
}

TEST_F(SyncTest, SeveralFramesOfAKindAreTakenInOnePass) {
    m_tof.frames.Queue(FRAME_DEPTH, 7, kDepthAndIR);
    m_tof.frames.Queue(FRAME_DEPTH, 8, kDepthAndIR);
    m_tof.frames.Queue(FRAME_IR, 7, kDepthAndIR);
    m_tof.frames.Queue(FRAME_IR, 8, kDepthAndIR);
    Announce(kDepthAndIR);

    EXPECT_EQ(m_tof.frames.QueuedCount(), 0u);
    ASSERT_EQ(Request(), 1);
    EXPECT_EQ(m_out.frameIndex, 8u);
}

TEST_F(SyncTest, ToFOnlyDeviceNeverAsksForColour) {
    MakeSync(nullptr);
    const HasFrameType mask = HAS_DEPTH_FRAME | HAS_COLOR_FRAME;
    m_color.frames.Queue(FRAME_COLOR, 7, mask);
    Deliver(FRAME_DEPTH, 7, mask);
    Announce(HAS_COLOR_FRAME);
    EXPECT_EQ(m_color.frames.GetFrameCalls(), 0);
    EXPECT_EQ(Request(), 0);  // the group waits for colour that never comes

    Deliver(FRAME_DEPTH, 8, HAS_DEPTH_FRAME);
    EXPECT_EQ(ToFReturned(), (Returned{{FRAME_DEPTH, 7}}));
    ASSERT_EQ(Request(), 1);
    EXPECT_EQ(m_out.frameIndex, 8u);
}

TEST_F(SyncTest, FrameOfAnotherKindThanAskedForIsGivenBack) {
    // A plug-in fault: asked for IR it hands out a frame labelled depth.
    Frame* frame = m_tof.frames.Queue(FRAME_IR, 5, HAS_IR_FRAME);
    frame->frameType = FRAME_DEPTH;
    Announce(HAS_IR_FRAME);
    EXPECT_EQ(m_tof.frames.Outstanding(), 0u);
    EXPECT_EQ(Request(), 0);
}

TEST_F(SyncTest, DestructionGivesBackEveryHeldFrame) {
    Deliver(FRAME_COLOR, 3, HAS_COLOR_FRAME | HAS_DEPTH_FRAME);
    Deliver(FRAME_DEPTH, 4, HAS_DEPTH_FRAME);  // published, unread; group 3 abandoned
    Deliver(FRAME_DEPTH, 5, kDepthAndIR);
    Deliver(FRAME_CONFIDENCE, 6, HAS_CONFIDENCE_FRAME | HAS_IR_FRAME);
    m_sync.reset();
    EXPECT_EQ(m_tof.frames.Outstanding(), 0u);
    EXPECT_EQ(m_color.frames.Outstanding(), 0u);
}

struct LengthCase {
    const char* name;
    FrameType type;
    PixelFormat format;
    uint32_t length;
    bool published;
};

class SyncLengthTest : public SyncTest, public ::testing::WithParamInterface<LengthCase> {};

constexpr uint32_t kPixels = FakeFrameSource::kWidth * FakeFrameSource::kHeight;

TEST_P(SyncLengthTest, FrameIsPublishedOnlyWhenItsLengthFitsItsSize) {
    const LengthCase& c = GetParam();
    SourceOf(c.type).Queue(c.type, 9, BitOf(c.type), c.format, c.length);
    Announce(BitOf(c.type));
    EXPECT_EQ(Request(), c.published ? 1 : 0);
    EXPECT_EQ(SourceOf(c.type).Outstanding(), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, SyncLengthTest,
    ::testing::Values(LengthCase{"DepthExact", FRAME_DEPTH, PIXEL_FORMAT_DEPTH_MM16, kPixels * 2, true},
                      LengthCase{"DepthLonger", FRAME_DEPTH, PIXEL_FORMAT_DEPTH_MM16, kPixels * 2 + 1, false},
                      LengthCase{"DepthShorter", FRAME_DEPTH, PIXEL_FORMAT_DEPTH_MM16, kPixels * 2 - 2, false},
                      LengthCase{"ConfidenceExact", FRAME_CONFIDENCE, PIXEL_FORMAT_GRAY16, kPixels * 2, true},
                      LengthCase{"ConfidenceAsGray8", FRAME_CONFIDENCE, PIXEL_FORMAT_GRAY8, kPixels, false},
                      LengthCase{"IRGray8", FRAME_IR, PIXEL_FORMAT_GRAY8, kPixels, true},
                      LengthCase{"IRGray16", FRAME_IR, PIXEL_FORMAT_GRAY16, kPixels * 2, true},
                      LengthCase{"IRGray16Short", FRAME_IR, PIXEL_FORMAT_GRAY16, kPixels, false},
                      LengthCase{"IRRawFormat", FRAME_IR, PIXEL_FORMAT_RAW, kPixels, false},
                      LengthCase{"IRRawFormatEmpty", FRAME_IR, PIXEL_FORMAT_RAW, 0, true},
                      LengthCase{"ColourExact", FRAME_COLOR, PIXEL_FORMAT_RGB, kPixels * 3, true},
                      LengthCase{"ColourShort", FRAME_COLOR, PIXEL_FORMAT_BGR, kPixels * 3 - 1, false}),
    [](const ::testing::TestParamInfo<LengthCase>& info) { return std::string(info.param.name); });

TEST(SyncElementSize, BytesPerPixelOfEachFormat) {
    const struct {
        PixelFormat format;
        uint32_t bytes;
    } cases[] = {{PIXEL_FORMAT_DEPTH_MM16, 2},    {PIXEL_FORMAT_GRAY16, 2}, {PIXEL_FORMAT_GRAY8, 1},
                 {PIXEL_FORMAT_RGB, 3},           {PIXEL_FORMAT_BGR, 3},    {PIXEL_FORMAT_RAW, 0},
                 {static_cast<PixelFormat>(9), 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(Sync::getElementSize(c.format), c.bytes) << c.format;
    }
}

}  // namespace
}  // namespace synctest
