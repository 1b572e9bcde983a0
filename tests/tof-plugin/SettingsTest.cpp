#include <array>
#include <cstring>
#include <string>

#include "PluginFixture.h"

namespace toftest {
namespace {

constexpr int kSet = CMDTYPE_SET;
constexpr int kGet = CMDTYPE_GET;

Bytes Le32(uint8_t first, uint32_t value) {
    return Bytes{first, uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
}

class SettingsTest : public PluginFixture {
protected:
    // Puts the decoder into a data mode through the typed setter, then forgets the commands.
    void EnterDataMode(int mode) {
        ASSERT_EQ(0, m_tof->SetDatamode(mode));
        m_camera.control.ClearSent();
    }
};

struct DataModeCase {
    const char* name;
    int mode;
    int expected;
    std::vector<Wire> sent;
};

class DataModeRulesTest : public SettingsTest, public ::testing::WithParamInterface<DataModeCase> {};

TEST_P(DataModeRulesTest, SendsOnlyListedModesAndTheDualRangeParameters) {
    const DataModeCase& c = GetParam();
    EXPECT_EQ(c.expected, m_tof->SetDatamode(c.mode));
    ExpectSent(c.sent);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, DataModeRulesTest,
    ::testing::Values(
        DataModeCase{"NotInList", 4, -15, {}}, DataModeCase{"Negative", -1, -15, {}},
        // 265 would be 9 in one byte: it is refused, not truncated.
        DataModeCase{"BeyondAByte", 265, -15, {}}, DataModeCase{"Plain", 1, 0, {{0x06, kSet, {1}}, {0x06, kGet, {}}}},
        DataModeCase{"MultiFrequencyNotDualRange", 5, 0, {{0x06, kSet, {5}}, {0x06, kGet, {}}}},
        DataModeCase{"Binned", 14, 0, {{0x06, kSet, {14}}, {0x06, kGet, {}}}},
        DataModeCase{
            "DualRange9", 9, 0, {{0x06, kSet, {9}}, {0x06, kGet, {}}, {0x08, kSet, {2, 5, 0, 0}}, {0x08, kGet, {}}}},
        DataModeCase{"DualRange15",
                     15,
                     0,
                     {{0x06, kSet, {15}}, {0x06, kGet, {}}, {0x08, kSet, {2, 5, 0, 0}}, {0x08, kGet, {}}}}),
    [](const ::testing::TestParamInfo<DataModeCase>& info) { return std::string(info.param.name); });

TEST_F(SettingsTest, UnconfirmedDataModeLeavesTheDecoderMode) {
    EnterDataMode(1);
    m_camera.failingGets = {0x06};
    EXPECT_EQ(-104, m_tof->SetDatamode(10));
    m_camera.failingGets.clear();
    // Still mode 1: the depth range may change.
    EXPECT_EQ(0, m_tof->SetDepthRange(2));
}

TEST_F(SettingsTest, GetDatamodeReportsTheCameraByte) {
    m_camera.state.dataMode = 17;
    int mode = -1;
    EXPECT_EQ(0, m_tof->GetDatamode(mode));
    EXPECT_EQ(17, mode);
    m_camera.failingGets = {0x06};
    EXPECT_EQ(-104, m_tof->GetDatamode(mode));
    EXPECT_EQ(0, mode);
}

struct DepthRangeCase {
    const char* name;
    int priorMode;
    int range;
    int expected;
    std::vector<Wire> sent;
};

class DepthRangeRulesTest : public SettingsTest, public ::testing::WithParamInterface<DepthRangeCase> {};

TEST_P(DepthRangeRulesTest, RefusesInMultiFrequencyModesAndOutsideTheList) {
    const DepthRangeCase& c = GetParam();
    EnterDataMode(c.priorMode);
    EXPECT_EQ(c.expected, m_tof->SetDepthRange(c.range));
    ExpectSent(c.sent);
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, DepthRangeRulesTest,
    ::testing::Values(DepthRangeCase{"DualRangeMode10", 10, 2, 1, {}},
                      DepthRangeCase{"MultiFrequencyMode5", 5, 2, 1, {}},
                      DepthRangeCase{"MultiFrequencyMode17", 17, 0, 1, {}},
                      DepthRangeCase{"BinnedMode14", 14, 2, 0, {{0x07, kSet, {2}}, {0x07, kGet, {}}}},
                      DepthRangeCase{"Listed", 1, 5, 0, {{0x07, kSet, {5}}, {0x07, kGet, {}}}},
                      DepthRangeCase{"NotListed", 1, 6, -10, {}}, DepthRangeCase{"Negative", 1, -1, -10, {}}),
    [](const ::testing::TestParamInfo<DepthRangeCase>& info) { return std::string(info.param.name); });

// The first stream start after an open reads the camera's lists; later starts do not.
class StreamStartTest : public SettingsTest {
protected:
    int ListReads() const {
        int reads = 0;
        for (const auto& sent : m_camera.control.SentCommands()) {
            if (sent.cmd == 0x13 && sent.cmdType == kGet && !sent.payload.empty() && sent.payload[0] == 0x06) ++reads;
        }
        return reads;
    }
};

TEST_F(StreamStartTest, ListsAreReadOnlyOnTheFirstStartAfterAnOpen) {
    ASSERT_EQ(0, m_tof->SetOpenState(true));
    EXPECT_EQ(0, ListReads());
    ASSERT_EQ(0, m_tof->SetStream(true));
    EXPECT_EQ(1, ListReads());
    ASSERT_EQ(0, m_tof->SetStream(false));
    ASSERT_EQ(0, m_tof->SetStream(true));
    EXPECT_EQ(1, ListReads());
    ASSERT_EQ(0, m_tof->SetOpenState(false));
    ASSERT_EQ(0, m_tof->SetOpenState(true));
    ASSERT_EQ(0, m_tof->SetStream(true));
    EXPECT_EQ(2, ListReads());
}

TEST_F(StreamStartTest, ReadsEveryMeasuringRangeAndTheCurrentModes) {
    ASSERT_EQ(0, m_tof->SetStream(true));
    std::vector<Wire> expected = {{0x13, kGet, {0x06}}};
    for (uint8_t range = 0; range < 6; ++range) expected.push_back({0x11, kGet, {range}});
    expected.push_back({0x13, kGet, {0x07}});
    expected.push_back({0x07, kGet, {}});
    expected.push_back({0x06, kGet, {}});
    ExpectSent(expected);
}

TEST_F(StreamStartTest, CameraListsDecideWhatTheSettersAccept) {
    m_camera.state.depthRangeList = {0, 1, 2};
    m_camera.state.dataModeList = {1, 2, 14};
    EXPECT_EQ(0, m_tof->SetDepthRange(4)) << "the defaults before the first start";
    ASSERT_EQ(0, m_tof->SetStream(true));
    EXPECT_EQ(-10, m_tof->SetDepthRange(4));
    EXPECT_EQ(0, m_tof->SetDepthRange(2));
    EXPECT_EQ(-15, m_tof->SetDatamode(9));
    EXPECT_EQ(0, m_tof->SetDatamode(14));
}

TEST_F(StreamStartTest, EmptyCameraListsAcceptEveryRangeAndNoMode) {
    m_camera.state.depthRangeList = {};
    m_camera.state.dataModeList = {};
    ASSERT_EQ(0, m_tof->SetStream(true));
    EXPECT_EQ(0, m_tof->SetDepthRange(7));
    EXPECT_EQ(-15, m_tof->SetDatamode(1));
}

TEST_F(StreamStartTest, FailedListReadsKeepTheDefaults) {
    m_camera.failingGets = {0x13};
    ASSERT_EQ(0, m_tof->SetStream(true));
    m_camera.failingGets.clear();
    EXPECT_EQ(0, m_tof->SetDepthRange(5));
    EXPECT_EQ(-10, m_tof->SetDepthRange(6));
    EXPECT_EQ(0, m_tof->SetDatamode(18));
}

// In a dual-range mode a frame of range1 becomes the fusion reference and leaves with its
// IR still 16 bits; a frame of range2 goes on and its IR is reduced to 8 bits. So the IR
// format of a range-5 frame tells which parameters the decoder holds.
struct DualFrequencyCase {
    const char* name;
    bool readFails;
    int irPixelFormat;
};

class DualFrequencyReadTest : public StreamStartTest, public ::testing::WithParamInterface<DualFrequencyCase> {};

TEST_P(DualFrequencyReadTest, FailedReadKeepsTheDecoderParameters) {
    const DualFrequencyCase& c = GetParam();
    m_camera.state.dataMode = 9;
    m_camera.state.dualFreq = {2, 0, 5, 0};  // range1 0, range2 5
    if (c.readFails) m_camera.failingGets = {0x08};
    ASSERT_EQ(0, m_tof->SetOpenState(true));
    ASSERT_EQ(0, m_tof->SetStream(true));
    Bytes record = RawRecord(camsim::Scene::Wall(1000), false, 5);
    Feed(record, 1);
    const FrameCopy ir = NextFrame(FRAME_IR);
    ASSERT_TRUE(ir.present);
    EXPECT_EQ(c.irPixelFormat, ir.pixelFormat);
}

INSTANTIATE_TEST_SUITE_P(Reads, DualFrequencyReadTest,
                         ::testing::Values(
                             // The decoder keeps its {2, 5, 0, 0}: range 5 is the reference.
                             DualFrequencyCase{"Failed", true, PIXEL_FORMAT_GRAY16},
                             // The camera's {2, 0, 5, 0}: range 5 is unwrapped and goes on.
                             DualFrequencyCase{"Read", false, PIXEL_FORMAT_GRAY8}),
                         [](const ::testing::TestParamInfo<DualFrequencyCase>& info) {
                             return std::string(info.param.name);
                         });

struct SetExposureCase {
    const char* name;
    int mode;
    int milliseconds;
    int dataMode;
    int expected;
    std::vector<Wire> sent;
};

class SetExposureTest : public SettingsTest, public ::testing::WithParamInterface<SetExposureCase> {};

TEST_P(SetExposureTest, SendsTheTimeInMicroseconds) {
    const SetExposureCase& c = GetParam();
    EnterDataMode(c.dataMode);
    EXPECT_EQ(c.expected, m_tof->SetExposureTime(ExposureTimeParams{c.mode, c.milliseconds}));
    ExpectSent(c.sent);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, SetExposureTest,
    ::testing::Values(
        SetExposureCase{"Automatic", 0, 20, 1, -15, {}}, SetExposureCase{"UnknownMode", 2, 20, 1, -15, {}},
        SetExposureCase{"Manual", 1, 20, 1, 0, {{0x03, kSet, Le32(0, 20000)}, {0x03, kGet, {0}}}},
        SetExposureCase{
            "ManualMultiFrequency",
            1,
            20,
            9,
            0,
            {{0x03, kSet, Le32(0, 20000)}, {0x03, kGet, {0}}, {0x03, kSet, Le32(1, 20000)}, {0x03, kGet, {1}}}},
        SetExposureCase{"Negative", 1, -1, 1, -15, {}}, SetExposureCase{"BeyondTheWire", 1, 5000000, 1, -15, {}}),
    [](const ::testing::TestParamInfo<SetExposureCase>& info) { return std::string(info.param.name); });

struct GetExposureCase {
    const char* name;
    int mode;
    uint8_t range;    // the camera exposure the mode reads
    uint32_t camera;  // its value, microseconds
    bool readFails;
    int expected;
    int milliseconds;
};

class GetExposureTest : public SettingsTest, public ::testing::WithParamInterface<GetExposureCase> {};

TEST_P(GetExposureTest, ReportsMillisecondsByMode) {
    const GetExposureCase& c = GetParam();
    m_camera.state.exposure[c.range] = c.camera;
    if (c.readFails) m_camera.failingGets = {0x03};
    ExposureTimeParams params{c.mode, -7};
    EXPECT_EQ(c.expected, m_tof->GetExposureTime(&params));
    EXPECT_EQ(c.milliseconds, +params.exposureTime);
}

INSTANTIATE_TEST_SUITE_P(Modes, GetExposureTest,
                         ::testing::Values(GetExposureCase{"Automatic", 0, 0, 20000, false, 0, 0},
                                           GetExposureCase{"Manual", 1, 0, 20999, false, 0, 20},
                                           GetExposureCase{"ManualReadFails", 1, 0, 20000, true, -104, 0},
                                           GetExposureCase{"Maximum", 255, 255, 3000000, false, 0, 3000},
                                           GetExposureCase{"MaximumZero", 255, 255, 0, false, 0, 1000},
                                           GetExposureCase{"MaximumReadFails", 255, 255, 3000000, true, -104, 1000},
                                           GetExposureCase{"UnknownMode", 3, 0, 20000, false, -15, -7}),
                         [](const ::testing::TestParamInfo<GetExposureCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(SettingsTest, ExposureControlModeIsDspItem14) {
    m_camera.state.dsp[camsim::DspKey{2, 1, 10}] = camsim::DspSetting{0, 77, 0};
    EXPECT_EQ(0, m_tof->SetExposureControlMode(0));
    // Automatic control keeps the camera's threshold.
    ExpectSent({{0x19, kGet, {0, 0x82, 1, 10}}, {0x19, kSet, {0, 2, 1, 10, 1, 77, 0}}, {0x19, kGet, {0, 0x82, 1, 10}}});
    int mode = -1;
    EXPECT_EQ(0, m_tof->GetExposureControlMode(&mode));
    EXPECT_EQ(0, mode);
    EXPECT_EQ(0, m_tof->SetExposureControlMode(1));
    EXPECT_EQ(0, m_tof->GetExposureControlMode(&mode));
    EXPECT_EQ(1, mode);
    EXPECT_EQ(0, m_camera.state.dsp[(camsim::DspKey{2, 1, 10})].threshold);
}

TEST_F(SettingsTest, HdrModeIsDspItem15) {
    bool on = false;
    EXPECT_EQ(0, m_tof->SetHDRModeEnabled(true));
    EXPECT_EQ(1, m_camera.state.dsp[(camsim::DspKey{2, 1, 11})].enable);
    EXPECT_EQ(0, m_tof->GetHDRModeEnabled(&on));
    EXPECT_TRUE(on);
    EXPECT_EQ(0, m_tof->SetHDRModeEnabled(false));
    EXPECT_EQ(0, m_tof->GetHDRModeEnabled(&on));
    EXPECT_FALSE(on);
}

TEST_F(SettingsTest, NullOutPointersAreRefused) {
    EXPECT_EQ(-12, m_tof->GetExposureTime(nullptr));
    EXPECT_EQ(-12, m_tof->GetExposureControlMode(nullptr));
    EXPECT_EQ(-12, m_tof->GetHDRModeEnabled(nullptr));
    EXPECT_EQ(-12, m_tof->GetDistortionCorrectionEnabled(nullptr));
    EXPECT_EQ(-12, m_tof->GetTimeFilterParams(nullptr));
    EXPECT_EQ(-12, m_tof->GetConfidenceFilterParams(nullptr));
    EXPECT_EQ(-12, m_tof->GetFlyingPixelFilterParams(nullptr));
    EXPECT_EQ(-12, m_tof->GetFillHoleFilterParams(nullptr));
    EXPECT_EQ(-12, m_tof->GetSpatialFilterParams(nullptr));
    EXPECT_EQ(-12, m_tof->GetIntrinsic(nullptr));
    EXPECT_EQ(-12, m_tof->GetDistortion(nullptr));
    EXPECT_EQ(-12, m_tof->GetResolutionList(nullptr));
    EXPECT_EQ(-12, m_tof->GetFrame(FRAME_DEPTH, nullptr));
    EXPECT_EQ(-12, m_tof->SetIntrinsicParams(nullptr, nullptr));
    EXPECT_TRUE(m_camera.control.SentCommands().empty());
}

TEST_F(SettingsTest, InitNeedsTheCommandInterfaceAndTheConsumer) {
    std::unique_ptr<ToF_API> fresh = Plugin::Get().Create();
    ASSERT_TRUE(fresh);
    EXPECT_EQ(-1, fresh->Init(nullptr, &m_consumer, nullptr));
    EXPECT_EQ(-1, fresh->Init(&m_camera.control, nullptr, nullptr));
    EXPECT_TRUE(m_camera.control.SentCommands().empty());
    // Init asks the camera for its distortion correction.
    EXPECT_EQ(0, fresh->Init(&m_camera.control, &m_consumer, nullptr));
    ExpectSent({{0x19, kGet, {0, 0x82, 1, 1}}});
}

TEST_F(SettingsTest, TimeFilterIsDspItem5WithItsThresholdByte) {
    EXPECT_EQ(0, m_tof->SetTimeFilterParams(TimeFilterParams{1, 200}));
    TimeFilterParams read{0, 0};
    EXPECT_EQ(0, m_tof->GetTimeFilterParams(&read));
    EXPECT_EQ(1, +read.enable);
    EXPECT_EQ(200, +read.threshold);
    m_camera.failingGets = {0x19};
    TimeFilterParams untouched{0, 9};
    EXPECT_EQ(-104, m_tof->GetTimeFilterParams(&untouched));
    EXPECT_EQ(9, +untouched.threshold);
}

TEST_F(SettingsTest, DecoderOnlyFiltersSendNothing) {
    EXPECT_EQ(0, m_tof->SetSpatialFilterParams(SpatialFilterParams{1, 5, 40, 2}));
    SpatialFilterParams spatial{};
    EXPECT_EQ(0, m_tof->GetSpatialFilterParams(&spatial));
    EXPECT_EQ(1, +spatial.enable);
    EXPECT_EQ(40, +spatial.deviationPercent);
    EXPECT_EQ(0, m_tof->SetFlyingPixelFilterParams(FlyingPixelFilterParams{0, 21}));
    FlyingPixelFilterParams flying{};
    EXPECT_EQ(0, m_tof->GetFlyingPixelFilterParams(&flying));
    EXPECT_EQ(21, +flying.threshold);
    EXPECT_TRUE(m_camera.control.SentCommands().empty());
}

// Records the intrinsics the plug-in hands to the preprocessing object; the adjustment
// marks the matrix so that a test sees whether it ran.
class RecordingPreProcess : public testsupport::IdentityPreProcess {
public:
    void SetSensorIntrinsic(int sensor, const double* K, int width, int height) override {
        lastSensor = sensor;
        std::copy(K, K + 9, lastSensorK.begin());
        lastWidth = width;
        lastHeight = height;
    }
    int AdjustIntrinsic(double* K, const double*, int packedSize) override {
        lastPackedSize = packedSize;
        K[8] = 2.0;
        return 0;
    }
    int lastSensor = -1;
    std::array<double, 9> lastSensorK{};
    int lastWidth = 0;
    int lastHeight = 0;
    int lastPackedSize = 0;
};

struct IntrinsicsCase {
    const char* name;
    int dataMode;
    bool correction;
    bool halved;
    int packedSize;  // 0: no adjustment
};

class IntrinsicsTest : public SettingsTest, public ::testing::WithParamInterface<IntrinsicsCase> {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_tof);
        ASSERT_EQ(0, m_tof->Init(&m_camera.control, &m_consumer, &m_recording));
    }
    RecordingPreProcess m_recording;
};

constexpr std::array<double, 9> kK = {520.0, 0.5, 320.0, 0.25, 510.0, 240.0, 0.125, 0.0625, 1.0};
constexpr std::array<double, 8> kD = {0.1, -0.2, 0.01, 0.02, 0.3, 0.0, 0.0, 0.0};

TEST_P(IntrinsicsTest, BinnedModesHalveTheFocalLengthsAndCentre) {
    const IntrinsicsCase& c = GetParam();
    ASSERT_EQ(0, m_tof->SetIntrinsicParams(kK.data(), kD.data()));
    ASSERT_EQ(0, m_tof->SetDatamode(c.dataMode));
    ASSERT_EQ(0, m_tof->SetDistortionCorrectionEnabled(c.correction));
    m_recording.lastPackedSize = 0;

    std::array<double, 9> expected = kK;
    if (c.halved) {
        for (int at : {0, 2, 4, 5}) expected[at] *= 0.5;
    }
    // The preprocessing object's sensor intrinsics are never corrected.
    EXPECT_EQ(expected, m_recording.lastSensorK);
    EXPECT_EQ(0, m_recording.lastSensor);
    EXPECT_EQ(c.halved ? 320 : 640, m_recording.lastWidth);
    EXPECT_EQ(c.halved ? 240 : 480, m_recording.lastHeight);

    std::array<double, 9> out{};
    ASSERT_EQ(0, m_tof->GetIntrinsic(out.data()));
    if (c.packedSize != 0) expected[8] = 2.0;
    EXPECT_EQ(expected, out);
    EXPECT_EQ(c.packedSize, m_recording.lastPackedSize);

    std::array<double, 8> distortion{};
    ASSERT_EQ(0, m_tof->GetDistortion(distortion.data()));
    EXPECT_EQ(kD, distortion);
}

INSTANTIATE_TEST_SUITE_P(Modes, IntrinsicsTest,
                         ::testing::Values(IntrinsicsCase{"FullResolution", 1, false, false, 0},
                                           IntrinsicsCase{"Binned15", 15, false, true, 0},
                                           IntrinsicsCase{"Binned18", 18, false, true, 0},
                                           IntrinsicsCase{"Mode13IsFull", 13, false, false, 0},
                                           IntrinsicsCase{"BinnedCorrected", 14, true, true, (240 << 16) | 320},
                                           IntrinsicsCase{"FullCorrected", 2, true, false, (480 << 16) | 640}),
                         [](const ::testing::TestParamInfo<IntrinsicsCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(SettingsTest, ResolutionListIsOneFullImage) {
    ResolutionList list{};
    list.resolution[3] = QlResolution{9, 9};
    ASSERT_EQ(0, m_tof->GetResolutionList(&list));
    EXPECT_EQ(1, +list.count);
    EXPECT_EQ(640, +list.resolution[0].width);
    EXPECT_EQ(480, +list.resolution[0].height);
    EXPECT_EQ(0, +list.resolution[3].width);
}

}  // namespace
}  // namespace toftest
