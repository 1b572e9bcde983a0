// Each operation of the ToF command set against the exact bytes the camera sees, and each
// get against the value it parses from the camera's reply.
#include <functional>
#include <string>

#include "ProtocolFixture.h"

namespace toftest {
namespace {

constexpr int kSet = CMDTYPE_SET;
constexpr int kGet = CMDTYPE_GET;

// A set that the camera confirms with `reply` on the first read-back.
struct ConfirmedSet {
    const char* name;
    std::function<int(Protocol&)> op;
    Wire set;
    Wire get;
    Bytes reply;
};

void PrintTo(const ConfirmedSet& c, std::ostream* os) { *os << c.name; }

class ConfirmedSetTest : public ProtocolFixture, public ::testing::WithParamInterface<ConfirmedSet> {};

TEST_P(ConfirmedSetTest, SendsSetThenOneGetAndConfirms) {
    const ConfirmedSet& c = GetParam();
    control.Push(0);
    control.Push(0, c.reply);
    EXPECT_EQ(c.op(protocol), 0);
    EXPECT_EQ(Sent(), (std::vector<Wire>{c.set, c.get}));
    EXPECT_TRUE(pauses.empty());
    EXPECT_EQ(log.Text().find("Set "), std::string::npos) << log.Text();
}

DualRangeParams Dual(int a, int b, int c) { return DualRangeParams{2, a, b, c}; }

INSTANTIATE_TEST_SUITE_P(
    Operations, ConfirmedSetTest,
    ::testing::Values(
        ConfirmedSet{"exposure", [](Protocol& p) { return p.SetToFExposureTime(ExposureTime{1, 0x01020304}); },
                     {0x03, kSet, {1, 4, 3, 2, 1}, 5}, {0x03, kGet, {1, 0, 0, 0, 0}, 5}, {1, 4, 3, 2, 1}},
        ConfirmedSet{"register", [](Protocol& p) { return p.SetRegVal(0x1234, 0xBEEF); },
                     {0x05, kSet, {0x34, 0x12, 0xEF, 0xBE, 0, 0, 0, 0}, 8},
                     {0x05, kGet, {0x34, 0x12, 0, 0, 0, 0, 0, 0}, 8}, {0x34, 0x12, 0xEF, 0xBE}},
        ConfirmedSet{"dataMode", [](Protocol& p) { return p.SetDataMode(7); }, {0x06, kSet, {7}, 1},
                     {0x06, kGet, {0}, 1}, {7}},
        ConfirmedSet{"depthRangeSigned", [](Protocol& p) { return p.SetDepthRange(-1); }, {0x07, kSet, {0xFF}, 1},
                     {0x07, kGet, {0}, 1}, {0xFF}},
        ConfirmedSet{"dualFreq",
                     [](Protocol& p) {
                         DualRangeParams d = Dual(1, 5, 0);
                         return p.SetDualFreqMode(d);
                     },
                     {0x08, kSet, {2, 1, 5, 0}, 4}, {0x08, kGet, {0, 0, 0, 0}, 4}, {2, 1, 5, 0}},
        ConfirmedSet{"measuringRange",
                     [](Protocol& p) { return p.SetMeasuringRange(MeasuringRange{5, 7000, 50, 7495}); },
                     {0x11, kSet, {5, 0x58, 0x1B, 50, 0, 0x47, 0x1D}, 7}, {0x11, kGet, {5}, 7},
                     {5, 0x58, 0x1B, 50, 0, 0x47, 0x1D}},
        ConfirmedSet{"ldState", [](Protocol& p) { return p.SetLDState(1); }, {0x12, kSet, {0x30, 1}, 2},
                     {0x12, kGet, {0x30, 0}, 2}, {0x30, 1}},
        ConfirmedSet{"cdmaState", [](Protocol& p) { return p.SetCDMAState(255); }, {0x12, kSet, {0x31, 255}, 2},
                     {0x12, kGet, {0x31, 0}, 2}, {0x31, 255}},
        ConfirmedSet{"apcState", [](Protocol& p) { return p.SetAPCState(1); }, {0x13, kSet, {0x08, 1}, 2},
                     {0x13, kGet, {0x08, 0}, 2}, {0x08, 1}},
        ConfirmedSet{"ldDriverChipType", [](Protocol& p) { return p.SetLDDriverChipType(2); },
                     {0x13, kSet, {0x09, 2}, 2}, {0x13, kGet, {0x09, 0}, 2}, {0x09, 2}},
        ConfirmedSet{"ldType", [](Protocol& p) { return p.SetLDType(3); }, {0x13, kSet, {0x0a, 3}, 2},
                     {0x13, kGet, {0x0a, 0}, 2}, {0x0a, 3}},
        ConfirmedSet{"irGain", [](Protocol& p) { return p.SetIRGMMGain(200); }, {0x15, kSet, {0x04, 200}, 2},
                     {0x15, kGet, {0x04, 0}, 2}, {0x04, 200}},
        ConfirmedSet{"depthRangeListInAnyOrder",
                     [](Protocol& p) {
                         DepthRangeList l{3, {0, 2, 5}};
                         return p.SetDepthRangeList(l);
                     },
                     {0x13, kSet, Padded({6, 3, 0, 2, 5}, 64), 64}, {0x13, kGet, Padded({6}, 64), 64},
                     {6, 3, 5, 2, 0}},
        ConfirmedSet{"outModeList",
                     [](Protocol& p) {
                         DataModeList l{2, {1, 9}};
                         return p.SetOutModeList(l);
                     },
                     {0x13, kSet, Padded({7, 2, 1, 9}, 64), 64}, {0x13, kGet, Padded({7}, 64), 64}, {7, 2, 9, 1}},
        ConfirmedSet{"dspTimeFilterOneByteThreshold",
                     [](Protocol& p) { return p.SetDspStatus(DSPParameters{5, 0, 1, 200}); },
                     {0x19, kSet, Padded({0, 2, 1, 4, 1, 200}, 64), 64},
                     {0x19, kGet, Padded({0, 0x82, 1, 4}, 64), 64}, Padded({0, 0x82, 1, 4, 1, 200}, 64)},
        ConfirmedSet{"dspClassOneSwitch", [](Protocol& p) { return p.SetDspStatus(DSPParameters{1, 3, 1, 0}); },
                     {0x19, kSet, Padded({3, 1, 2, 1}, 64), 64}, {0x19, kGet, Padded({3, 0x81, 2}, 64), 64},
                     {3, 0x81, 2, 1}},
        ConfirmedSet{"dspConfidenceCarries4600",
                     [](Protocol& p) { return p.SetDspStatus(DSPParameters{10, 0, 1, 0x1234}); },
                     {0x19, kSet, Padded({0, 2, 1, 6, 1, 0x34, 0x12, 0xF8, 0x11}, 64), 64},
                     {0x19, kGet, Padded({0, 0x82, 1, 6}, 64), 64}, {0, 0x82, 1, 6, 1, 0x34, 0x12}},
        ConfirmedSet{"dspExposureControlTwoByteThreshold",
                     [](Protocol& p) { return p.SetDspStatus(DSPParameters{14, 0, 1, 300}); },
                     {0x19, kSet, Padded({0, 2, 1, 10, 1, 0x2C, 0x01}, 64), 64},
                     {0x19, kGet, Padded({0, 0x82, 1, 10}, 64), 64}, {0, 0x82, 1, 10, 1, 0x2C, 0x01}},
        ConfirmedSet{"dspHdrSendsNoThreshold", [](Protocol& p) { return p.SetDspStatus(DSPParameters{15, 0, 1, 9}); },
                     {0x19, kSet, Padded({0, 2, 1, 11, 1}, 64), 64}, {0x19, kGet, Padded({0, 0x82, 1, 11}, 64), 64},
                     {0, 0x82, 1, 11, 1, 0x55, 0x55}},
        ConfirmedSet{"dspDisabledIgnoresThreshold",
                     [](Protocol& p) { return p.SetDspStatus(DSPParameters{12, 0, 0, 90}); },
                     {0x19, kSet, Padded({0, 2, 1, 8, 0, 90}, 64), 64}, {0x19, kGet, Padded({0, 0x82, 1, 8}, 64), 64},
                     {0, 0x82, 1, 8, 0, 17}},
        ConfirmedSet{"dspColourItemCarriesOnlyOption",
                     [](Protocol& p) { return p.SetDspStatus(DSPParameters{8, 7, 0, 0}); },
                     {0x19, kSet, Padded({7}, 64), 64}, {0x19, kGet, Padded({7}, 64), 64}, {7, 1, 1, 1, 1}},
        ConfirmedSet{"confidenceFilter",
                     [](Protocol& p) { return p.SetConfidenceFilterParams(ConfidenceFilterParams{1, 300}); },
                     {0x19, kSet, Padded({0, 2, 1, 6, 1, 0x2C, 0x01, 0xF8, 0x11}, 64), 64},
                     {0x19, kGet, Padded({0, 0x82, 1, 6}, 64), 64}, {0, 0x82, 1, 6, 1, 0x2C, 0x01}},
        ConfirmedSet{"confidenceFilterOffIgnoresThreshold",
                     [](Protocol& p) { return p.SetConfidenceFilterParams(ConfidenceFilterParams{0, 300}); },
                     {0x19, kSet, Padded({0, 2, 1, 6, 0, 0x2C, 0x01, 0xF8, 0x11}, 64), 64},
                     {0x19, kGet, Padded({0, 0x82, 1, 6}, 64), 64}, {0, 0x82, 1, 6, 0, 0, 0}}),
    [](const ::testing::TestParamInfo<ConfirmedSet>& info) { return std::string(info.param.name); });

// Sets without read-back: one command, nothing read.
struct PlainSet {
    const char* name;
    std::function<int(Protocol&)> op;
    Wire wire;
};

void PrintTo(const PlainSet& c, std::ostream* os) { *os << c.name; }

class PlainSetTest : public ProtocolFixture, public ::testing::WithParamInterface<PlainSet> {};

TEST_P(PlainSetTest, SendsOneCommand) {
    EXPECT_EQ(GetParam().op(protocol), 0);
    EXPECT_EQ(Sent(), (std::vector<Wire>{GetParam().wire}));
}

INSTANTIATE_TEST_SUITE_P(Operations, PlainSetTest,
                         ::testing::Values(PlainSet{"initParams",
                                                    [](Protocol& p) { return p.SendCameraInitParamsEnable(true); },
                                                    {0x01, kSet, Padded({1}, 64), 64}},
                                           PlainSet{"testModeZero",
                                                    [](Protocol& p) {
                                                        return p.SetTestModeState(0, TestModeParams{3, 7, 8, 9});
                                                    },
                                                    {0x1e, kSet, {1, 3, 0, 0, 0}, 5}},
                                           PlainSet{"testModeRegisters",
                                                    [](Protocol& p) {
                                                        return p.SetTestModeState(1, TestModeParams{1, 7, 8, 9});
                                                    },
                                                    {0x1e, kSet, {2, 1, 7, 8, 9}, 5}},
                                           PlainSet{"testModeOneWithoutRegisters",
                                                    [](Protocol& p) {
                                                        return p.SetTestModeState(1, TestModeParams{2, 7, 8, 9});
                                                    },
                                                    {0x1e, kSet, {2, 2, 0, 0, 0}, 5}},
                                           PlainSet{"testModeOtherSendsZeros",
                                                    [](Protocol& p) {
                                                        return p.SetTestModeState(2, TestModeParams{1, 700, 800, 900});
                                                    },
                                                    {0x1e, kSet, {0, 0, 0, 0, 0}, 5}}),
                         [](const ::testing::TestParamInfo<PlainSet>& info) { return std::string(info.param.name); });

// A get: the request on the wire, and what it makes of the camera's reply.
struct Get {
    const char* name;
    Bytes reply;
    Wire wire;
    // Runs the get and checks the value it parsed.
    std::function<void(Protocol&)> check;
};

void PrintTo(const Get& c, std::ostream* os) { *os << c.name; }

class GetTest : public ProtocolFixture, public ::testing::WithParamInterface<Get> {};

TEST_P(GetTest, RequestsAndParses) {
    control.Push(0, GetParam().reply);
    GetParam().check(protocol);
    EXPECT_EQ(Sent(), (std::vector<Wire>{GetParam().wire}));
}

INSTANTIATE_TEST_SUITE_P(
    Operations, GetTest,
    ::testing::Values(Get{"exposureKeepsRange",
                          {9, 0xC8, 0, 0, 0},
                          {0x03, kGet, {254, 0, 0, 0, 0}, 5},
                          [](Protocol& p) {
                              ExposureTime e{254, 0};
                              ASSERT_EQ(p.GetToFExposureTime(&e), 0);
                              EXPECT_EQ(e.range, 254);
                              EXPECT_EQ(+e.exposureTime, 200u);
                          }},
                      Get{"register",
                          {0x10, 0, 0xCD, 0xAB},
                          {0x05, kGet, {0x10, 0, 0, 0, 0, 0, 0, 0}, 8},
                          [](Protocol& p) {
                              uint16_t v = 0;
                              ASSERT_EQ(p.GetRegVal(0x10, &v), 0);
                              EXPECT_EQ(v, 0xABCD);
                          }},
                      Get{"dataModeSendsCallersByte",
                          {9},
                          {0x06, kGet, {4}, 1},
                          [](Protocol& p) {
                              uint8_t m = 4;
                              ASSERT_EQ(p.GetDataMode(&m), 0);
                              EXPECT_EQ(m, 9);
                          }},
                      Get{"depthRangeSigned",
                          {0xFE},
                          {0x07, kGet, {0}, 1},
                          [](Protocol& p) {
                              int r = 0;
                              ASSERT_EQ(p.GetDepthRange(r), 0);
                              EXPECT_EQ(r, -2);
                          }},
                      Get{"dualFreqSigned",
                          {2, 0xFF, 5, 0},
                          {0x08, kGet, {0, 0, 0, 0}, 4},
                          [](Protocol& p) {
                              DualRangeParams d{};
                              ASSERT_EQ(p.GetDualFreqMode(&d), 0);
                              EXPECT_EQ(d.totalRange, 2);
                              EXPECT_EQ(d.range1, -1);
                              EXPECT_EQ(d.range2, 5);
                              EXPECT_EQ(d.range3, 0);
                          }},
                      Get{"measuringRangeReplacesRecord",
                          {3, 0xE2, 0x04, 50, 0, 0xE1, 0x04},
                          {0x11, kGet, {3}, 7},
                          [](Protocol& p) {
                              MeasuringRange m{3, 1, 1, 1};
                              ASSERT_EQ(p.GetMeasuringRange(m), 0);
                              EXPECT_EQ(m.range, 3);
                              EXPECT_EQ(+m.effectDepthMax, 1250);
                              EXPECT_EQ(+m.effectDepthMin, 50);
                              EXPECT_EQ(+m.depthMax, 1249);
                          }},
                      Get{"ldStateUnsigned",
                          {0x30, 200},
                          {0x12, kGet, {0x30, 0}, 2},
                          [](Protocol& p) {
                              int v = 0;
                              ASSERT_EQ(p.GetLDState(v), 0);
                              EXPECT_EQ(v, 200);
                          }},
                      Get{"ldType",
                          {0x0a, 2},
                          {0x13, kGet, {0x0a, 0}, 2},
                          [](Protocol& p) {
                              int v = 0;
                              ASSERT_EQ(p.GetLDType(v), 0);
                              EXPECT_EQ(v, 2);
                          }},
                      Get{"irGainUnsigned",
                          {4, 0xF0},
                          {0x15, kGet, {4, 0}, 2},
                          [](Protocol& p) {
                              int g = 0;
                              ASSERT_EQ(p.GetIRGMMGain(&g), 0);
                              EXPECT_EQ(g, 240);
                          }},
                      Get{"depthRangeList",
                          {6, 3, 0, 2, 5},
                          {0x13, kGet, Padded({6}, 64), 64},
                          [](Protocol& p) {
                              DepthRangeList l{};
                              ASSERT_EQ(p.GetDepthRangeList(l), 0);
                              EXPECT_EQ(l.count, 3);
                              EXPECT_EQ(Bytes(l.ranges, l.ranges + 3), (Bytes{0, 2, 5}));
                          }},
                      Get{"depthRangeListClampedToRoom",
                          Padded({6, 12, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, 64),
                          {0x13, kGet, Padded({6}, 64), 64},
                          [](Protocol& p) {
                              DepthRangeList l{};
                              ASSERT_EQ(p.GetDepthRangeList(l), 0);
                              EXPECT_EQ(l.count, 9);
                              EXPECT_EQ(Bytes(l.ranges, l.ranges + 9), (Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9}));
                          }},
                      Get{"outModeListClampedToRoom",
                          Padded({7, 200}, 64),
                          {0x13, kGet, Padded({7}, 64), 64},
                          [](Protocol& p) {
                              DataModeList l{};
                              ASSERT_EQ(p.GetOutModeList(l), 0);
                              EXPECT_EQ(l.count, 32);
                          }},
                      Get{"dspOneByteThreshold",
                          {0, 0x82, 1, 4, 1, 0xC8, 0x01},
                          {0x19, kGet, Padded({0, 0x82, 1, 4}, 64), 64},
                          [](Protocol& p) {
                              DSPParameters d{5, 0, 0, 0};
                              ASSERT_EQ(p.GetDspStatus(d), 0);
                              EXPECT_EQ(d.enable, 1);
                              EXPECT_EQ(d.threshold, 200);
                          }},
                      Get{"dspTwoByteThreshold",
                          {2, 0x82, 1, 7, 1, 0x2C, 0x01},
                          {0x19, kGet, Padded({2, 0x82, 1, 7}, 64), 64},
                          [](Protocol& p) {
                              DSPParameters d{11, 2, 0, 0};
                              ASSERT_EQ(p.GetDspStatus(d), 0);
                              EXPECT_EQ(d.enable, 1);
                              EXPECT_EQ(d.threshold, 300);
                          }},
                      Get{"dspClassOne",
                          {0, 0x81, 1, 1, 9, 9},
                          {0x19, kGet, Padded({0, 0x81, 1}, 64), 64},
                          [](Protocol& p) {
                              DSPParameters d{0, 0, 0, 77};
                              ASSERT_EQ(p.GetDspStatus(d), 0);
                              EXPECT_EQ(d.enable, 1);
                              EXPECT_EQ(d.threshold, 77);
                          }},
                      Get{"dspColourItemTakesNothing",
                          {5, 5, 5, 5, 5, 5},
                          {0x19, kGet, Padded({5}, 64), 64},
                          [](Protocol& p) {
                              DSPParameters d{2, 5, 1, 3};
                              ASSERT_EQ(p.GetDspStatus(d), 0);
                              EXPECT_EQ(d.enable, 1);
                              EXPECT_EQ(d.threshold, 3);
                          }},
                      Get{"confidenceFilter",
                          {0, 0x82, 1, 6, 7, 0x10, 0x27},
                          {0x19, kGet, Padded({0, 0x82, 1, 6}, 64), 64},
                          [](Protocol& p) {
                              ConfidenceFilterParams c{};
                              ASSERT_EQ(p.GetConfidenceFilterParams(c), 0);
                              EXPECT_EQ(c.enable, 1);
                              EXPECT_EQ(+c.threshold, 10000);
                          }}),
    [](const ::testing::TestParamInfo<Get>& info) { return std::string(info.param.name); });

TEST_F(ProtocolFixture, SetStreamPassesTheInterfacesResult) {
    control.streamStateResult = -104;
    EXPECT_EQ(protocol.SetStream(true), -104);
    EXPECT_EQ(protocol.SetStream(false), -104);
    EXPECT_EQ(control.streamStates, (std::vector<bool>{true, false}));
}

TEST_F(ProtocolFixture, PropertiesReachTheirRecords) {
    control.Push(0, Bytes{7, 2, 9, 1});
    DataModeList modes{};
    int size = sizeof(modes);
    ASSERT_EQ(protocol.GetProperty(0x0E000001, &modes, &size), 0);
    EXPECT_EQ(modes.count, 2);

    control.Push(0);
    control.Push(0, Bytes{6, 1, 4});
    const DepthRangeList ranges{1, {4}};
    EXPECT_EQ(protocol.SetProperty(0x0E000002, &ranges, sizeof(ranges)), 0);

    control.Push(0, Padded({0, 0x82, 1, 4, 1, 30}, 64));
    DSPParameters dsp{5, 0, 0, 0};
    size = sizeof(dsp);
    ASSERT_EQ(protocol.GetProperty(0x0E000017, &dsp, &size), 0);
    EXPECT_EQ(dsp.threshold, 30);
    EXPECT_EQ(Sent().size(), 4u);
}

TEST_F(ProtocolFixture, PropertiesRefuseOtherKeysSizesAndNull) {
    DSPParameters dsp{};
    int size = sizeof(dsp);
    EXPECT_EQ(protocol.GetProperty(0x0E000003, &dsp, &size), -255);
    EXPECT_EQ(protocol.SetProperty(0, &dsp, size), -255);
    EXPECT_EQ(protocol.SetProperty(0x0E000017, &dsp, size - 1), -15);
    int shortSize = 4;
    EXPECT_EQ(protocol.GetProperty(0x0E000001, &dsp, &shortSize), -15);
    EXPECT_EQ(protocol.GetProperty(0x0E000017, nullptr, &size), -12);
    EXPECT_EQ(protocol.GetProperty(0x0E000017, &dsp, nullptr), -12);
    EXPECT_EQ(protocol.SetProperty(0x0E000002, nullptr, 10), -12);
    EXPECT_TRUE(Sent().empty());
}

}  // namespace
}  // namespace toftest
