// How a set ends when the camera does not confirm it at once.
#include <functional>
#include <string>

#include "ProtocolFixture.h"

namespace toftest {
namespace {

using std::chrono::milliseconds;

TEST_F(ProtocolFixture, NeverConfirmedGivesFiveReadsFivePausesAndOneLine) {
    control.Push(0);
    control.SetResponder([](const Fake::Sent&) { return Fake::Reply{0, Bytes{3}}; });
    EXPECT_EQ(protocol.SetDataMode(7), -105);
    const std::vector<Wire> sent = Sent();
    ASSERT_EQ(sent.size(), 6u);
    for (size_t i = 1; i < sent.size(); ++i) EXPECT_EQ(sent[i].type, CMDTYPE_GET);
    EXPECT_EQ(pauses, std::vector<milliseconds>(5, milliseconds(10)));
    const std::string text = log.Text();
    EXPECT_NE(text.find("<fake-sn> Set DataMode:7; Get DataMode:3."), std::string::npos) << text;
    EXPECT_EQ(text.find("Set DataMode", text.find("Set DataMode") + 1), std::string::npos) << text;
}

TEST_F(ProtocolFixture, ConfirmedOnALaterReadStopsThere) {
    control.Push(0);
    control.Push(0, Bytes{0x30, 0});
    control.Push(0, Bytes{0x30, 1});
    EXPECT_EQ(protocol.SetLDState(1), 0);
    EXPECT_EQ(Sent().size(), 3u);
    EXPECT_EQ(pauses.size(), 1u);
    EXPECT_FALSE(log.Contains("LDState"));
}

TEST_F(ProtocolFixture, FailedReadBackStopsAtOnceAndWritesTheLine) {
    control.Push(0);
    control.Push(0, Bytes{0x04, 5});
    control.Push(-104);
    EXPECT_EQ(protocol.SetIRGMMGain(9), -104);
    EXPECT_EQ(Sent().size(), 3u);
    EXPECT_EQ(pauses.size(), 1u);
    EXPECT_TRUE(log.Contains("Set IRGMMGain 9; Get IRGMMGain gain_:5 .")) << log.Text();
}

TEST_F(ProtocolFixture, FailedSetIsLoggedAndNotReadBack) {
    control.Push(-104);
    EXPECT_EQ(protocol.SetRegVal(1, 2), -104);
    EXPECT_EQ(Sent().size(), 1u);
    EXPECT_TRUE(log.Contains("ret:-104 is failed.")) << log.Text();
}

TEST_F(ProtocolFixture, DspEnabledOnColourItemIsNeverConfirmed) {
    control.Push(0);
    control.SetResponder([](const Fake::Sent& s) { return Fake::Reply{0, s.payload}; });
    EXPECT_EQ(protocol.SetDspStatus(DSPParameters{8, 0, 1, 0}), -105);
    EXPECT_EQ(Sent().size(), 6u);
}

TEST_F(ProtocolFixture, DspThresholdComparedOnlyForItemsThatCarryIt) {
    control.Push(0);
    control.Push(0, Bytes{0, 0x82, 1, 4, 1, 199});
    control.SetResponder([](const Fake::Sent&) { return Fake::Reply{0, Bytes{0, 0x82, 1, 4, 1, 200}}; });
    EXPECT_EQ(protocol.SetDspStatus(DSPParameters{5, 0, 1, 200}), 0);
    EXPECT_EQ(Sent().size(), 3u);
}

TEST_F(ProtocolFixture, ListEchoMismatchIsAFailedExchange) {
    control.Push(0, Bytes{7, 1, 0});
    DepthRangeList list{2, {1, 1}};
    EXPECT_EQ(protocol.GetDepthRangeList(list), -104);
    EXPECT_EQ(list.count, 2) << "the caller's record stays as it was";
    EXPECT_TRUE(log.Contains("ret:-104 is failed."));

    control.Push(0);
    control.Push(0, Bytes{6, 1, 3});
    DataModeList modes{1, {3}};
    EXPECT_EQ(protocol.SetOutModeList(modes), -104);
    EXPECT_EQ(Sent().size(), 3u);
    EXPECT_TRUE(log.Contains("Set DataModeList list.count: 1; Get DataModeList list_.count:0.")) << log.Text();
}

TEST_F(ProtocolFixture, ConfidenceEchoMismatchIsAFailedExchange) {
    control.Push(0, Bytes{0, 0x82, 1, 7, 1, 5, 0});
    ConfidenceFilterParams params{0, 42};
    EXPECT_EQ(protocol.GetConfidenceFilterParams(params), -104);
    EXPECT_EQ(+params.threshold, 42);
}

TEST_F(ProtocolFixture, ListMissingEntryIsLoggedAndRetried) {
    control.Push(0);
    control.SetResponder([](const Fake::Sent&) { return Fake::Reply{0, Bytes{6, 2, 1, 3}}; });
    DepthRangeList list{2, {1, 2}};
    EXPECT_EQ(protocol.SetDepthRangeList(list), -105);
    EXPECT_EQ(pauses.size(), 5u);
    EXPECT_TRUE(log.Contains("Set depthrangelist:2 is failed.")) << log.Text();
    EXPECT_TRUE(log.Contains("Set DepthRangeList list.count: 2; Get DepthRangeList list_.count:2.")) << log.Text();
}

TEST_F(ProtocolFixture, ListCountAboveRoomIsNotMistakenForTheRequest) {
    control.Push(0);
    control.SetResponder([](const Fake::Sent&) {
        return Fake::Reply{0, Bytes{6, 12, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}};
    });
    DepthRangeList list{9, {0, 1, 2, 3, 4, 5, 6, 7, 8}};
    EXPECT_EQ(protocol.SetDepthRangeList(list), -105);
}

TEST_F(ProtocolFixture, EmptyOutModeListIsConfirmedByAnEmptyRead) {
    control.Push(0);
    control.Push(0, Bytes{7, 0});
    DataModeList modes{};
    EXPECT_EQ(protocol.SetOutModeList(modes), 0);
    EXPECT_EQ(Sent().size(), 2u);
}

TEST_F(ProtocolFixture, OutModeListLogsEachModeRead) {
    control.Push(0);
    control.Push(0, Bytes{7, 2, 9, 1});
    DataModeList modes{2, {1, 9}};
    EXPECT_EQ(protocol.SetOutModeList(modes), 0);
    const std::string text = log.Text();
    EXPECT_LT(text.find("Get DataModeList:9."), text.find("Get DataModeList:1.")) << text;
}

TEST_F(ProtocolFixture, MeasuringRangeReadBackAsksForTheSameRange) {
    control.Push(0);
    control.SetResponder([](const Fake::Sent& s) { return Fake::Reply{0, Bytes{s.payload[0], 1, 0, 1, 0, 1, 0}}; });
    EXPECT_EQ(protocol.SetMeasuringRange(MeasuringRange{4, 2, 2, 2}), -105);
    for (const Wire& w : Sent()) EXPECT_EQ(w.payload[0], 4);
    EXPECT_TRUE(
        log.Contains("Set MeasuringRange range:4, depthMax:2, effectDepthMax:2, effectDepthMin:2; \tGet "
                     "MeasuringRange range:4  depthMax:1  effectDepthMax:1 effectDepthMin:1"))
        << log.Text();
}

}  // namespace
}  // namespace toftest
