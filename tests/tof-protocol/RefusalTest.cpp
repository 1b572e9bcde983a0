// Requests the wire cannot carry, null out-pointers and a missing command interface: each
// refused with nothing sent.
#include <functional>
#include <string>

#include "ProtocolFixture.h"

namespace toftest {
namespace {

struct Refusal {
    const char* name;
    std::function<int(Protocol&)> op;
    int result;
};

void PrintTo(const Refusal& c, std::ostream* os) { *os << c.name; }

class RefusalTest : public ProtocolFixture, public ::testing::WithParamInterface<Refusal> {};

TEST_P(RefusalTest, NothingSent) {
    EXPECT_EQ(GetParam().op(protocol), GetParam().result);
    EXPECT_TRUE(Sent().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Values, RefusalTest,
    ::testing::Values(Refusal{"ldStateAboveByte", [](Protocol& p) { return p.SetLDState(256); }, -15},
                      Refusal{"cdmaNegative", [](Protocol& p) { return p.SetCDMAState(-1); }, -15},
                      Refusal{"apcAboveByte", [](Protocol& p) { return p.SetAPCState(300); }, -15},
                      Refusal{"chipTypeAboveByte", [](Protocol& p) { return p.SetLDDriverChipType(1000); }, -15},
                      Refusal{"ldTypeNegative", [](Protocol& p) { return p.SetLDType(-5); }, -15},
                      Refusal{"gainAboveByte", [](Protocol& p) { return p.SetIRGMMGain(256); }, -15},
                      Refusal{"gainNegative", [](Protocol& p) { return p.SetIRGMMGain(-1); }, -15},
                      Refusal{"depthRangeAboveSignedByte", [](Protocol& p) { return p.SetDepthRange(200); }, -15},
                      Refusal{"dualFreqCount",
                              [](Protocol& p) {
                                  DualRangeParams d{3, 1, 2, 0};
                                  return p.SetDualFreqMode(d);
                              },
                              -15},
                      Refusal{"dualFreqRangeAboveByte",
                              [](Protocol& p) {
                                  DualRangeParams d{2, 300, 2, 0};
                                  return p.SetDualFreqMode(d);
                              },
                              -15},
                      Refusal{"dspOneByteThreshold",
                              [](Protocol& p) {
                                  return p.SetDspStatus(DSPParameters{5, 0, 1, 300});
                              },
                              -15},
                      Refusal{"dspOneByteThresholdItem12",
                              [](Protocol& p) {
                                  return p.SetDspStatus(DSPParameters{12, 0, 1, 256});
                              },
                              -15},
                      Refusal{"confidenceThresholdAbove16Bits",
                              [](Protocol& p) {
                                  return p.SetConfidenceFilterParams(ConfidenceFilterParams{1, 70000});
                              },
                              -15},
                      Refusal{"confidenceThresholdNegative",
                              [](Protocol& p) {
                                  return p.SetConfidenceFilterParams(ConfidenceFilterParams{1, -1});
                              },
                              -15},
                      Refusal{"depthRangeListAboveRoom",
                              [](Protocol& p) {
                                  DepthRangeList l{10, {}};
                                  return p.SetDepthRangeList(l);
                              },
                              -15},
                      Refusal{"outModeListAboveRoom",
                              [](Protocol& p) {
                                  DataModeList l{33, {}};
                                  return p.SetOutModeList(l);
                              },
                              -15},
                      Refusal{"testModeParamAboveByte",
                              [](Protocol& p) {
                                  return p.SetTestModeState(0, TestModeParams{256, 0, 0, 0});
                              },
                              -15},
                      Refusal{"testModeRegisterAboveByte",
                              [](Protocol& p) {
                                  return p.SetTestModeState(1, TestModeParams{1, 2, 3, 999});
                              },
                              -15},
                      Refusal{"nullExposure", [](Protocol& p) { return p.GetToFExposureTime(nullptr); }, -12},
                      Refusal{"nullRegister", [](Protocol& p) { return p.GetRegVal(1, nullptr); }, -12},
                      Refusal{"nullDataMode", [](Protocol& p) { return p.GetDataMode(nullptr); }, -12},
                      Refusal{"nullDualFreq", [](Protocol& p) { return p.GetDualFreqMode(nullptr); }, -12},
                      Refusal{"nullGain", [](Protocol& p) { return p.GetIRGMMGain(nullptr); }, -12}),
    [](const ::testing::TestParamInfo<Refusal>& info) { return std::string(info.param.name); });

TEST_F(ProtocolFixture, DualFreqCountIsLogged) {
    DualRangeParams d{3, 1, 2, 0};
    EXPECT_EQ(protocol.SetDualFreqMode(d), -15);
    EXPECT_TRUE(log.Contains("wdr range count:3 is invalid.")) << log.Text();
}

TEST(ProtocolWithoutControl, EverySendingOperationGivesMinusOne) {
    Protocol protocol([](std::chrono::milliseconds) {});
    int value = 0;
    uint8_t mode = 0;
    ExposureTime exposure{};
    DepthRangeList list{};
    DSPParameters dsp{};
    FileTransferParams transfer{};
    transfer.type = 4;
    transfer.direction = 1;
    TransferStatus status{};
    EXPECT_EQ(protocol.SendCameraInitParamsEnable(true), -1);
    EXPECT_EQ(protocol.GetToFExposureTime(&exposure), -1);
    EXPECT_EQ(protocol.SetDataMode(mode), -1);
    EXPECT_EQ(protocol.GetDepthRange(value), -1);
    EXPECT_EQ(protocol.SetLDState(1), -1);
    EXPECT_EQ(protocol.GetDepthRangeList(list), -1);
    EXPECT_EQ(protocol.SetDspStatus(dsp), -1);
    EXPECT_EQ(protocol.SetTestModeState(0, TestModeParams{}), -1);
    EXPECT_EQ(protocol.SetStream(true), -1);
    EXPECT_EQ(protocol.TransferFile(transfer), -1);
    EXPECT_EQ(protocol.GetTransferStatus(transfer, status), -1);
}

TEST(ProtocolOpenState, SetsTheFlagTheWorkerReads) {
    Protocol protocol;
    EXPECT_FALSE(protocol.IsOpen());
    EXPECT_EQ(protocol.SetOpenState(true), 0);
    EXPECT_TRUE(protocol.IsOpen());
    EXPECT_EQ(protocol.SetOpenState(false), 0);
    EXPECT_FALSE(protocol.IsOpen());
}

}  // namespace
}  // namespace toftest
