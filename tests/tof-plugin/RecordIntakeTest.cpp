#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "PluginFixture.h"

namespace toftest {
namespace {

// A record head alone: the check reads nothing else.
Bytes Head(uint8_t type, uint32_t length) {
    return Bytes{type, uint8_t(length), uint8_t(length >> 8), uint8_t(length >> 16), 0};
}

struct CheckCase {
    const char* name;
    uint8_t type;
    int lengthDelta;  // from the type's length
    bool depth, ir, confidence;
    int expected;
};

class CheckImgDataTest : public PluginFixture, public ::testing::WithParamInterface<CheckCase> {};

uint32_t LengthOf(uint8_t type) {
    switch (type) {
        case 0xB1: return 4945920;
        case 0xB2: return 1244160;
        case 0xB6: return 1536000;
        case 0xB7: return 384000;
        default: return 1000;
    }
}

TEST_P(CheckImgDataTest, AnswersTheFrameKindsTheRecordMakes) {
    const CheckCase& c = GetParam();
    ASSERT_EQ(0, m_tof->SetFrameEnable(FRAME_DEPTH, c.depth));
    ASSERT_EQ(0, m_tof->SetFrameEnable(FRAME_IR, c.ir));
    ASSERT_EQ(0, m_tof->SetFrameEnable(FRAME_CONFIDENCE, c.confidence));
    Bytes head = Head(c.type, LengthOf(c.type) + c.lengthDelta);
    EXPECT_EQ(c.expected, m_tof->CheckImgData(head.data(), static_cast<int>(head.size())));
}

INSTANTIATE_TEST_SUITE_P(Records, CheckImgDataTest,
                         ::testing::Values(CheckCase{"B1Default", 0xB1, 0, true, true, false, 3},
                                           CheckCase{"B2Default", 0xB2, 0, true, true, false, 3},
                                           CheckCase{"B6Default", 0xB6, 0, true, true, false, 3},
                                           CheckCase{"B7Default", 0xB7, 0, true, true, false, 3},
                                           CheckCase{"B6IrOnly", 0xB6, 0, false, true, false, 3},
                                           CheckCase{"B6DepthOnly", 0xB6, 0, true, false, false, 3},
                                           CheckCase{"B6ConfidenceAlone", 0xB6, 0, false, false, true, 11},
                                           CheckCase{"B1AllOn", 0xB1, 0, true, true, true, 11},
                                           CheckCase{"B7AllOff", 0xB7, 0, false, false, false, 0},
                                           CheckCase{"B1OneShort", 0xB1, -1, true, true, false, -1},
                                           CheckCase{"B2OneLong", 0xB2, 1, true, true, false, -1},
                                           CheckCase{"B6Short", 0xB6, -1000, false, false, true, -1},
                                           CheckCase{"B7AllOffWrongLength", 0xB7, 5, false, false, false, -1},
                                           CheckCase{"ForeignType", 0x34, 0, true, true, false, -255},
                                           CheckCase{"ColourType", 0xB3, 0, true, true, true, -255}),
                         [](const ::testing::TestParamInfo<CheckCase>& info) { return std::string(info.param.name); });

class RecordCheckTest : public PluginFixture {};

TEST_F(RecordCheckTest, RecordShorterThanItsHeadIsRefused) {
    // Exactly sized buffers, so that a read past them is caught by the sanitizer build.
    for (int size = 0; size < 5; ++size) {
        std::unique_ptr<uint8_t[]> record(new uint8_t[size + 1]);
        std::memset(record.get(), 0xB6, size + 1);
        EXPECT_EQ(-1, m_tof->CheckImgData(record.get(), size)) << "size " << size;
    }
    EXPECT_EQ(-1, m_tof->CheckImgData(nullptr, 5));
}

TEST_F(RecordCheckTest, FrameEnableReadsBackTheSwitches) {
    bool on = true;
    EXPECT_EQ(0, m_tof->GetFrameEnable(FRAME_CONFIDENCE, &on));
    EXPECT_FALSE(on);
    EXPECT_EQ(0, m_tof->SetFrameEnable(FRAME_CONFIDENCE, true));
    EXPECT_EQ(0, m_tof->GetFrameEnable(FRAME_CONFIDENCE, &on));
    EXPECT_TRUE(on);
    // Other types have no switch.
    EXPECT_EQ(0, m_tof->SetFrameEnable(FRAME_COLOR, true));
    EXPECT_EQ(0, m_tof->GetFrameEnable(FRAME_COLOR, &on));
    EXPECT_FALSE(on);
    EXPECT_EQ(-12, m_tof->GetFrameEnable(FRAME_DEPTH, nullptr));
}

// Records through the decoder: what a record queues shows in the frames that come out.
class IntakeTest : public PluginFixture {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_tof);
        ASSERT_EQ(0, m_tof->SetOpenState(true));
        ASSERT_EQ(0, m_tof->SetStream(true));
    }
    // A good record after the one under test: the first frame out tells what was queued.
    void ExpectNextFrameIs(uint32_t frameIndex) {
        Bytes good = ComputedRecord(camsim::Scene::Wall(1000), true, 2);
        Feed(good, frameIndex);
        const FrameCopy depth = NextFrame(FRAME_DEPTH);
        ASSERT_TRUE(depth.present);
        EXPECT_EQ(frameIndex, depth.frameIndex);
    }
};

TEST_F(IntakeTest, ComputedRecordComesOutAsDepthAndIrWithTheirNotices) {
    const camsim::Scene scene = camsim::Scene::Box(1500, 900);
    Bytes record = ComputedRecord(scene, false, 2);
    Feed(record, 7);

    const FrameCopy depth = NextFrame(FRAME_DEPTH);
    const FrameCopy ir = NextFrame(FRAME_IR);
    ASSERT_TRUE(depth.present);
    ASSERT_TRUE(ir.present);
    EXPECT_EQ(7u, depth.frameIndex);
    EXPECT_EQ(3u, depth.hasFrameType);
    EXPECT_EQ(640, depth.width);
    EXPECT_EQ(480, depth.height);
    ASSERT_EQ(640u * 480 * 2, depth.data.size());
    uint16_t centre = 0;
    std::memcpy(&centre, depth.data.data() + 2 * (240 * 640 + 320), 2);
    EXPECT_EQ(scene.DepthAt(320, 240, 640, 480), centre);
    EXPECT_EQ(7u, ir.frameIndex);
    // Confidence is off: it is decoded but neither queued nor announced. A frame is queued
    // just before its notice, so wait for the notice rather than race it.
    ASSERT_TRUE(m_consumer.WaitForNotices(2, std::chrono::seconds(5)));
    EXPECT_EQ((std::vector<HasFrameType>{HAS_DEPTH_FRAME, HAS_IR_FRAME}), m_consumer.Notices());
    EXPECT_FALSE(m_tof->IsFrameReady(FRAME_CONFIDENCE));
}

TEST_F(IntakeTest, ConfidenceSwitchedOnAddsItsFrameAndNotice) {
    ASSERT_EQ(0, m_tof->SetFrameEnable(FRAME_CONFIDENCE, true));
    Bytes record = ComputedRecord(camsim::Scene::Wall(800), true, 1);
    Feed(record, 3);
    const FrameCopy confidence = NextFrame(FRAME_CONFIDENCE);
    ASSERT_TRUE(confidence.present);
    EXPECT_EQ(3u, confidence.frameIndex);
    EXPECT_EQ(11u, confidence.hasFrameType);
    EXPECT_EQ(320, confidence.width);
    ASSERT_TRUE(m_consumer.WaitForNotices(3, std::chrono::seconds(5)));
    EXPECT_EQ((std::vector<HasFrameType>{HAS_DEPTH_FRAME, HAS_IR_FRAME, HAS_CONFIDENCE_FRAME}), m_consumer.Notices());
}

TEST_F(IntakeTest, RawRecordIsDecodedByThePlugin) {
    const camsim::Scene scene = camsim::Scene::Wall(1200);
    Bytes record = RawRecord(scene, true, 2);
    Feed(record, 11);
    const FrameCopy depth = NextFrame(FRAME_DEPTH);
    ASSERT_TRUE(depth.present);
    EXPECT_EQ(11u, depth.frameIndex);
    EXPECT_EQ(320, depth.width);
    EXPECT_EQ(240, depth.height);
}

struct SizeCase {
    const char* name;
    Bytes head;  // the record's first bytes
    int size;    // the size handed over; the buffer holds exactly max(size, head) bytes
};

class ProcessDataSizeTest : public IntakeTest, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(ProcessDataSizeTest, RecordThatDoesNotFitIsDroppedAndNothingQueued) {
    const SizeCase& c = GetParam();
    Bytes record = c.head;
    record.resize(std::max<size_t>(record.size(), static_cast<size_t>(std::max(c.size, 0))), 0);
    const FrameSyncInfo info{1, 3, 0};
    EXPECT_EQ(-1, m_tof->ProcessData(record.data(), c.size, info));
    ExpectNextFrameIs(2);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ProcessDataSizeTest,
                         ::testing::Values(
                             // The length field says more than the record holds.
                             SizeCase{"B6InHundredBytes", Head(0xB6, 1536000), 100},
                             SizeCase{"B7OneByteShort", Head(0xB7, 384000), 384004},
                             // Shorter than a head: nothing is read beyond the size.
                             SizeCase{"ThreeBytes", Bytes{0xB6, 0, 0}, 3}, SizeCase{"Empty", Bytes{}, 0},
                             SizeCase{"NegativeSize", Head(0xB6, 0), -5},
                             // Fits, but is not a length the type has.
                             SizeCase{"B6WrongLength", Head(0xB6, 1000), 1005},
                             SizeCase{"ForeignType", Head(0x34, 20), 25}),
                         [](const ::testing::TestParamInfo<SizeCase>& info) { return std::string(info.param.name); });

TEST_F(IntakeTest, DataSizeLineNamesTheShortRecord) {
    Bytes record = Head(0xB6, 1536000);
    record.resize(100, 0);
    m_tof->ProcessData(record.data(), 100, FrameSyncInfo{1, 3, 0});
    EXPECT_NE(std::string::npos,
              Plugin::Get().LogText().find("dataSize:100 typeId:182 dataLenth.lenth:1536000   unUsed:95   >"));
}

TEST_F(IntakeTest, StreamSwitchedOffQueuesNothing) {
    ASSERT_EQ(0, m_tof->SetStream(false));
    Bytes record = ComputedRecord(camsim::Scene::Wall(1000), true, 2);
    Feed(record, 1);
    ASSERT_EQ(0, m_tof->SetStream(true));
    // The decoder may still be flushing when the stream comes back and drop a record or
    // two more; record 1, taken while it was off, never comes out.
    FrameCopy depth;
    for (uint32_t index = 2; index < 8 && !depth.present; ++index) {
        Feed(record, index);
        depth = NextFrame(FRAME_DEPTH, 3);
    }
    ASSERT_TRUE(depth.present);
    EXPECT_GE(depth.frameIndex, 2u);
}

TEST_F(IntakeTest, NullRecordIsDropped) {
    EXPECT_EQ(-1, m_tof->ProcessData(nullptr, 100, FrameSyncInfo{1, 3, 0}));
    ExpectNextFrameIs(2);
}

// The raw dump writes into the working directory, with or without the decoder.
class RawDumpTest : public PluginFixture {};

bool Exists(const std::string& path, off_t* size = nullptr) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return false;
    if (size != nullptr) *size = info.st_size;
    return true;
}

TEST_F(RawDumpTest, OneArmingDumpsThreeRecords) {
    EXPECT_EQ(0, m_tof->SetProperty("Py_SaveRawToFImg", nullptr, 0));
    Bytes record = ComputedRecord(camsim::Scene::Wall(1000), true, 0);
    for (uint32_t index = 1; index <= 4; ++index) {
        Feed(record, index);
    }
    for (uint32_t index = 1; index <= 3; ++index) {
        off_t size = 0;
        EXPECT_TRUE(Exists(m_dir.File("raw_TOF_" + std::to_string(index) + "d.bin"), &size)) << index;
        EXPECT_EQ(384000, size) << "the payload, without the head";
    }
    EXPECT_FALSE(Exists(m_dir.File("raw_TOF_4d.bin")));
    const std::string first = testsupport::ReadFile(m_dir.File("raw_TOF_1d.bin"));
    EXPECT_EQ(0, std::memcmp(first.data(), record.data() + 5, 384000));
}

TEST_F(RawDumpTest, RecordsThatAreNotDumpedStillCount) {
    EXPECT_EQ(0, m_tof->SetProperty("Py_SaveRawToFImg", nullptr, 0));
    Bytes foreign = Head(0x34, 0);
    m_tof->ProcessData(foreign.data(), 5, FrameSyncInfo{1, 0, 0});
    m_tof->ProcessData(foreign.data(), 5, FrameSyncInfo{2, 0, 0});
    Bytes record = ComputedRecord(camsim::Scene::Wall(1000), true, 0);
    Feed(record, 3);
    Feed(record, 4);
    EXPECT_TRUE(Exists(m_dir.File("raw_TOF_3d.bin")));
    EXPECT_FALSE(Exists(m_dir.File("raw_TOF_4d.bin")));
}

TEST_F(RawDumpTest, NothingIsDumpedUnarmed) {
    Bytes record = ComputedRecord(camsim::Scene::Wall(1000), true, 0);
    Feed(record, 1);
    EXPECT_FALSE(Exists(m_dir.File("raw_TOF_1d.bin")));
}

}  // namespace
}  // namespace toftest
