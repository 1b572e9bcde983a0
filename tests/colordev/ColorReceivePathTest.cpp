#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "DeviceCommonProtocol.h"
#include "FakeColor.h"
#include "FeedIO.h"
#include "IdentityPreProcess.h"
#include "ImageProc_ToFAndColor.h"
#include "LogCapture.h"
#include "Payload.h"
#include "RecordingToF.h"

namespace colordevtest {
namespace {

using receivetest::Payload;
using std::chrono::milliseconds;

constexpr uint8_t kToFRecord = 0xB7;
constexpr uint8_t kColorRecord = '4';
constexpr uint8_t kForeignRecord = 0x40;

int CountOf(const std::string& text, const std::string& what) {
    int count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
    return count;
}

template <typename T>
T Val(T value) {
    return value;
}

// The identity library, or one whose mappings answer as a test sets.
class MappingPreProcess : public testsupport::IdentityPreProcess {
public:
    int mapResult = 0;
    int32_t claimedWidth = 0;  // when set, the size the mappings report
    int MapDepthToColor(const PreProcImage* color, const PreProcImage* depth, PreProcImage* out) override {
        return Answer(IdentityPreProcess::MapDepthToColor(color, depth, out), out);
    }
    int MapColorToDepth(const PreProcImage* depth, const PreProcImage* color, PreProcImage* out) override {
        return Answer(IdentityPreProcess::MapColorToDepth(depth, color, out), out);
    }
    int MapDepthPointToColor(QlDepthVector3 point, QlVector2u16 size, QlVector2u16* out) override {
        IdentityPreProcess::MapDepthPointToColor(point, size, out);
        return mapResult;
    }

private:
    int Answer(int made, PreProcImage* out) {
        if (claimedWidth != 0) out->width = claimedWidth;
        return mapResult != 0 ? mapResult : made;
    }
};

struct DepthFrame {
    DepthFrame(uint32_t index, HasFrameType mask) : pixels(kWidth * kHeight * 2, 0x11) {
        frame = Frame{index,
                      FRAME_DEPTH,
                      PIXEL_FORMAT_DEPTH_MM16,
                      pixels.data(),
                      uint32_t(pixels.size()),
                      uint32_t(pixels.size()),
                      1.5f,
                      3,
                      kWidth,
                      kHeight,
                      mask,
                      777};
    }
    static constexpr uint16_t kWidth = 4;
    static constexpr uint16_t kHeight = 2;
    std::vector<uint8_t> pixels;
    Frame frame;
};

class ColorReceivePathTest : public ::testing::Test {
protected:
    explicit ColorReceivePathTest(bool withPreProcess = true, int32_t deviceType = 0x12) {
        auto feed = std::make_unique<receivetest::FeedIO>();
        io = feed.get();
        control = std::make_unique<DeviceCommonProtocol>(std::move(feed));
        std::unique_ptr<MappingPreProcess> pre;
        if (withPreProcess) {
            pre = std::make_unique<MappingPreProcess>();
            preProcess = pre.get();
        }
        path = std::make_unique<ImageProc_ToFAndColor>(*control, tof, color, deviceType, std::move(pre),
                                                       [this] { return now; });
    }
    ~ColorReceivePathTest() override {
        io->Shutdown();
        path.reset();
    }

    void Walk(Payload& payload) { path->ProcessData(int(payload.bytes.size()), payload.bytes.data()); }

    // A depth frame and, when `withColor`, a colour frame of data frame `index`, taken by Sync.
    void PublishGroup(uint32_t index, bool withColor) {
        const HasFrameType mask = HAS_DEPTH_FRAME | (withColor ? HAS_COLOR_FRAME : 0);
        depths.push_back(std::make_unique<DepthFrame>(index, mask));
        tof.QueueFrame(&depths.back()->frame);
        tof.consumer->SetSingleFrameReady(HAS_DEPTH_FRAME);
        ASSERT_TRUE(tof.WaitUntilDrained(FRAME_DEPTH, milliseconds(2000)));
        if (withColor) color.Produce(index, mask, DepthFrame::kWidth, DepthFrame::kHeight, 0x5A);
    }
    FrameReady Prepare() {
        FrameReady ready = 0;
        EXPECT_EQ(path->PrepareNextFrame(2000, &ready), 0);
        return ready;
    }

    testsupport::LogCapture log;
    uint64_t now = 100000;
    receivetest::RecordingToF tof;
    FakeColor color;
    receivetest::FeedIO* io = nullptr;
    std::unique_ptr<DeviceCommonProtocol> control;
    MappingPreProcess* preProcess = nullptr;
    std::unique_ptr<ImageProc_ToFAndColor> path;
    std::vector<std::unique_ptr<DepthFrame>> depths;
};

TEST_F(ColorReceivePathTest, BothPlugInsGetTheCommandSetSyncAndPreprocessing) {
    EXPECT_EQ(color.control, control.get());
    EXPECT_EQ(color.consumer, tof.consumer);
    EXPECT_NE(color.consumer, nullptr);
    EXPECT_EQ(color.preProcess, preProcess);
    EXPECT_EQ(tof.preProcess, preProcess);
}

TEST_F(ColorReceivePathTest, ColourAndDepthRecordsOfOneDataFrameShareTheirInfo) {
    tof.Answer(kToFRecord, HAS_DEPTH_FRAME | HAS_IR_FRAME);
    color.Answer(kColorRecord, HAS_COLOR_FRAME);
    Payload payload;
    payload.Timestamp(42).Computed(1500).Record(kColorRecord, 100);
    Walk(payload);

    const auto tofGot = tof.Deliveries();
    const auto colorGot = color.Deliveries();
    ASSERT_EQ(tofGot.size(), 1u);
    ASSERT_EQ(colorGot.size(), 1u);
    EXPECT_EQ(tofGot[0].record, payload.RecordBytes(0));
    EXPECT_EQ(colorGot[0].record, payload.RecordBytes(1));
    for (const auto& info : {tofGot[0].info, colorGot[0].info}) {
        EXPECT_EQ(info.frameIndex, 1u);
        EXPECT_EQ(info.hasFrameType, HAS_DEPTH_FRAME | HAS_IR_FRAME | HAS_COLOR_FRAME);
        EXPECT_EQ(info.timestamp, 42u);
    }
}

struct AnswerCase {
    const char* name;
    int tofAnswer;    // for the ToF record
    int colorAnswer;  // for the colour record, which comes first
    size_t tofDeliveries;
    size_t colorDeliveries;
    HasFrameType bits;
    bool errorLine;
};

class ColorDispatchAnswers : public ColorReceivePathTest, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(ColorDispatchAnswers, DecideWhatEachPlugInGets) {
    const AnswerCase& c = GetParam();
    tof.Answer(kToFRecord, c.tofAnswer);
    color.Answer(kColorRecord, c.colorAnswer);
    Payload payload;
    payload.Record(kForeignRecord, 8).Record(kColorRecord, 50).Computed(1500);
    Walk(payload);

    EXPECT_EQ(tof.Deliveries().size(), c.tofDeliveries);
    EXPECT_EQ(color.Deliveries().size(), c.colorDeliveries);
    std::vector<FrameSyncInfo> infos;
    for (const auto& d : tof.Deliveries()) {
        EXPECT_EQ(d.record, payload.RecordBytes(2));
        infos.push_back(d.info);
    }
    for (const auto& d : color.Deliveries()) {
        EXPECT_EQ(d.record, payload.RecordBytes(1));
        infos.push_back(d.info);
    }
    for (const FrameSyncInfo& info : infos) {
        EXPECT_EQ(info.hasFrameType, c.bits);
        EXPECT_EQ(info.frameIndex, 1u);
    }
    const std::string line = "hasType:" + std::to_string(c.colorAnswer) + " is error";
    EXPECT_EQ(log.Contains(line), c.errorLine) << log.Text();
    // The foreign record, which both answer -255 for, never makes a line.
    EXPECT_FALSE(log.Contains("hasType:-255"));
}

INSTANTIATE_TEST_SUITE_P(Answers, ColorDispatchAnswers,
                         ::testing::Values(AnswerCase{"BothClaim", 1, 4, 1, 1, 0x5, false},
                                           // A plug-in with its kinds switched off skips its record; the walk goes on.
                                           AnswerCase{"ToFKindsOff", 0, 4, 0, 1, 0x4, false},
                                           AnswerCase{"ColourOff", 1, 0, 1, 0, 0x1, false},
                                           // A wrong-length colour record ends the walk before the ToF record.
                                           AnswerCase{"ColourWrongLength", 1, -1, 0, 0, 0, true}),
                         [](const ::testing::TestParamInfo<AnswerCase>& info) { return std::string(info.param.name); });

TEST_F(ColorReceivePathTest, StreamAndCacheReachTheColourPlugIn) {
    path->SetStream(false);
    EXPECT_TRUE(color.Called("SetStream(0)"));
    path->SetStream(true);
    EXPECT_TRUE(color.Called("SetStream(1)"));
    path->RecycleCache();
    EXPECT_EQ(tof.recycleCacheCalls, 1);
    EXPECT_TRUE(color.Called("RecycleCache"));
}

class ColorDistortionByType : public ::testing::TestWithParam<std::pair<int32_t, bool>> {};

TEST_P(ColorDistortionByType, CameraUndistortsColourForTypes18To21) {
    receivetest::RecordingToF tof;
    FakeColor color;
    auto feed = std::make_unique<receivetest::FeedIO>();
    receivetest::FeedIO* io = feed.get();
    DeviceCommonProtocol control(std::move(feed));
    {
        ImageProc_ToFAndColor path(control, tof, color, GetParam().first,
                                   std::make_unique<testsupport::IdentityPreProcess>());
        io->Shutdown();
    }
    EXPECT_EQ(color.Called("SetDistortionCorrectionCmd(1)"), GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(Types, ColorDistortionByType,
                         ::testing::Values(std::make_pair(17, false), std::make_pair(18, true),
                                           std::make_pair(21, true), std::make_pair(22, false)));

class MappedImagesTest : public ColorReceivePathTest {
protected:
    void SetUp() override { ASSERT_EQ(path->Init(), 0); }
    void TearDown() override { path->Close(); }
};

TEST_F(MappedImagesTest, ColourInDepthAloneIsMadeAtTheDepthSize) {
    ASSERT_EQ(path->SetTransformColorImgToDepthCameraEnabled(true), 0);
    PublishGroup(1, true);
    EXPECT_EQ(Prepare(), FRAME_READY_DEPTH | FRAME_READY_COLOR | FRAME_READY_COLOR_IN_DEPTH);

    Frame out{};
    EXPECT_EQ(path->GetFrame(FRAME_DEPTH_IN_COLOR, &out), -4);
    ASSERT_EQ(path->GetFrame(FRAME_COLOR_IN_DEPTH, &out), 0);
    EXPECT_EQ(Val(out.frameType), FRAME_COLOR_IN_DEPTH);
    EXPECT_EQ(Val(out.width), 4);
    EXPECT_EQ(Val(out.height), 2);
    EXPECT_EQ(Val(out.length), 4u * 2 * 3);
    EXPECT_EQ(Val(out.pixelFormat), PIXEL_FORMAT_BGR);
    EXPECT_EQ(Val(out.exposureTime), 1.5f);  // the depth frame's
    EXPECT_EQ(Val(out.depthRange), 3u);
    EXPECT_EQ(Val(out.timestamp), 777u);
    EXPECT_EQ(out.data[0], 0x5A);  // the identity library copied the colour pixels
}

TEST_F(MappedImagesTest, BothTransformsGiveBothImages) {
    path->SetTransformColorImgToDepthCameraEnabled(true);
    path->SetTransformDepthImgToColorCameraEnabled(true);
    PublishGroup(1, true);
    EXPECT_EQ(Prepare(),
              FRAME_READY_DEPTH | FRAME_READY_COLOR | FRAME_READY_COLOR_IN_DEPTH | FRAME_READY_DEPTH_IN_COLOR);
    Frame out{};
    ASSERT_EQ(path->GetFrame(FRAME_DEPTH_IN_COLOR, &out), 0);
    EXPECT_EQ(Val(out.frameType), FRAME_DEPTH_IN_COLOR);
    EXPECT_EQ(Val(out.length), 4u * 2 * 2);
    EXPECT_EQ(Val(out.pixelFormat), PIXEL_FORMAT_DEPTH_MM16);
    EXPECT_EQ(Val(out.exposureTime), 2.5f);  // the colour frame's
    EXPECT_EQ(Val(out.timestamp), 777u);     // the depth frame's
}

TEST_F(MappedImagesTest, GroupWithoutColourMakesNoMappedImage) {
    path->SetTransformColorImgToDepthCameraEnabled(true);
    path->SetTransformDepthImgToColorCameraEnabled(true);
    PublishGroup(1, false);
    EXPECT_EQ(Prepare(), FRAME_READY_DEPTH);
}

TEST_F(MappedImagesTest, SwitchingOffMakesAPreparedImageUnobtainable) {
    path->SetTransformColorImgToDepthCameraEnabled(true);
    PublishGroup(1, true);
    ASSERT_EQ(Prepare() & FRAME_READY_COLOR_IN_DEPTH, FRAME_READY_COLOR_IN_DEPTH);
    path->SetTransformColorImgToDepthCameraEnabled(false);
    Frame out{};
    EXPECT_EQ(path->GetFrame(FRAME_COLOR_IN_DEPTH, &out), -4);
    bool on = true;
    EXPECT_EQ(path->GetTransformColorImgToDepthCameraEnabled(&on), 0);
    EXPECT_FALSE(on);
}

TEST_F(MappedImagesTest, RefusedMappingLeavesTheImageNotReadyWithOneLine) {
    preProcess->mapResult = -1;
    path->SetTransformColorImgToDepthCameraEnabled(true);
    PublishGroup(1, true);
    EXPECT_EQ(Prepare(), FRAME_READY_DEPTH | FRAME_READY_COLOR);
    PublishGroup(2, true);
    EXPECT_EQ(Prepare(), FRAME_READY_DEPTH | FRAME_READY_COLOR);
    EXPECT_EQ(CountOf(log.Text(), "MapColorToDepth ret:-1 is failed."), 1) << log.Text();
}

TEST_F(MappedImagesTest, OutputLargerThanTheBufferIsNotHandedOut) {
    preProcess->claimedWidth = 1000000;  // 1000000 x 2 depth pixels overflow the buffer
    path->SetTransformDepthImgToColorCameraEnabled(true);
    PublishGroup(1, true);
    EXPECT_EQ(Prepare(), FRAME_READY_DEPTH | FRAME_READY_COLOR);
    Frame out{};
    EXPECT_EQ(path->GetFrame(FRAME_DEPTH_IN_COLOR, &out), -4);
}

TEST_F(ColorReceivePathTest, PointMapGivesTheLibrarysAnswerOrMinusOne) {
    QlVector2u16 point{9, 9};
    EXPECT_EQ(path->GetMappedPointDepthToRGB(QlDepthVector3{12, 34, 1000}, QlVector2u16{640, 480}, &point), 0);
    EXPECT_EQ(point.x, 12);
    EXPECT_EQ(point.y, 34);
    preProcess->mapResult = -1;
    EXPECT_EQ(path->GetMappedPointDepthToRGB(QlDepthVector3{12, 34, 1000}, QlVector2u16{640, 480}, &point), -1);
    EXPECT_EQ(point.x, 0);
    EXPECT_EQ(point.y, 0);
}

class NoPreProcessTest : public ColorReceivePathTest {
protected:
    NoPreProcessTest() : ColorReceivePathTest(false) {}
};

TEST_F(NoPreProcessTest, SwitchesAndPointMapRefuse) {
    bool on = false;
    EXPECT_EQ(path->SetTransformColorImgToDepthCameraEnabled(true), -255);
    EXPECT_EQ(path->GetTransformColorImgToDepthCameraEnabled(&on), -255);
    EXPECT_EQ(path->SetTransformDepthImgToColorCameraEnabled(true), -255);
    EXPECT_EQ(path->GetTransformDepthImgToColorCameraEnabled(&on), -255);
    QlVector2u16 point{7, 7};
    EXPECT_EQ(path->GetMappedPointDepthToRGB(QlDepthVector3{1, 2, 3}, QlVector2u16{640, 480}, &point), -255);
    EXPECT_EQ(point.x, 0);
    EXPECT_EQ(point.y, 0);
}

}  // namespace
}  // namespace colordevtest
