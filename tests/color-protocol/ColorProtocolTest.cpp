#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "FakeCommonControl.h"
#include "LogCapture.h"
#include "Protocol.h"

namespace {

using Bytes = std::vector<uint8_t>;
using testsupport::FakeCommonControl;

class ColorProtocolTest : public ::testing::Test {
protected:
    ColorProtocolTest() : protocol([this](std::chrono::milliseconds) { ++sleeps; }) {
        protocol.SetCommonControl(&control);
    }
    // A reply's data as the camera gives it: byte 0 is the sub-id, the values follow.
    void Reply(Bytes data) { control.Push(0, std::move(data)); }
    FakeCommonControl::Sent Only() {
        auto sent = control.SentCommands();
        EXPECT_EQ(sent.size(), 1u);
        return sent.empty() ? FakeCommonControl::Sent{} : sent[0];
    }

    FakeCommonControl control;
    rc1720::Protocol protocol;
    int sleeps = 0;
};

// Every set: the exact bytes sent, then a matching read-back confirms it.
struct SetCase {
    const char* name;
    std::function<int(rc1720::Protocol&)> call;
    int cmd;
    Bytes sent;
    int bufSize;
    Bytes readBack;  // the reply that confirms
};

// One command a row: the bytes sent and the reply, kept by hand.
// clang-format off
const SetCase kSetCases[] = {
    {"Brightness", [](rc1720::Protocol& p) { return p.SetRGBBrightness(-5); }, 0x22, {0x02, 0xFB}, 2, {0x02, 0xFB}},
    {"AEMaxExposure", [](rc1720::Protocol& p) { return p.SetAEMaxExposureTime(200); }, 0x22, {0x03, 200}, 2, {0x03, 200}},
    {"ManualStateOn", [](rc1720::Protocol& p) { return p.SetRGBManualExposureState(1); }, 0x22, {0x05, 1}, 2, {0x05, 1}},
    {"ManualStateOffSends3", [](rc1720::Protocol& p) { return p.SetRGBManualExposureState(0); }, 0x22, {0x05, 3}, 2, {0x05, 3}},
    {"ManualTime", [](rc1720::Protocol& p) { return p.SetRGBManualExposureTime(0x1234); }, 0x22, {0x06, 0x34, 0x12}, 3, {0x06, 0x34, 0x12}},
    {"Gain", [](rc1720::Protocol& p) { return p.SetRGBGain(1.5f); }, 0x22, {0x08, 0x00, 0x00, 0xC0, 0x3F}, 5, {0x08, 0x00, 0x00, 0xC0, 0x3F}},
    {"Resolution", [](rc1720::Protocol& p) { return p.SetColorResolution(1600, 1200); }, 0x15,
     {0x02, 0x01, 0x40, 0x06, 0xB0, 0x04, 0x00, 0x00}, 8, {0x02, 0x00, 0x40, 0x06, 0xB0, 0x04}},
    {"DspDistortion", [](rc1720::Protocol& p) { return p.SetDspStatus({8, 7, 1, 0}); }, 0x19,
     [] { Bytes b(64, 0); b[0] = 7; b[1] = 2; b[2] = 3; b[3] = 1; b[4] = 1; return b; }(), 64,
     {7, 0x82, 3, 1, 1}},
    {"DspUnusedItem", [](rc1720::Protocol& p) { return p.SetDspStatus({2, 0, 1, 0}); }, 0x19,
     [] { Bytes b(64, 0); b[1] = 1; b[2] = 3; b[3] = 1; return b; }(), 64, {0, 0x81, 3, 1}},
};
// clang-format on

class ColorSetTest : public ColorProtocolTest, public ::testing::WithParamInterface<SetCase> {};

TEST_P(ColorSetTest, SendsExactBytesAndIsConfirmed) {
    const SetCase& c = GetParam();
    control.Push(0);  // the set
    Reply(c.readBack);
    EXPECT_EQ(c.call(protocol), 0);
    auto sent = control.SentCommands();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].cmd, c.cmd);
    EXPECT_EQ(sent[0].cmdType, CMDTYPE_SET);
    EXPECT_EQ(sent[0].payload, c.sent);
    EXPECT_EQ(sent[0].bufSize, c.bufSize);
    EXPECT_EQ(sent[1].cmdType, CMDTYPE_GET);
    EXPECT_EQ(sleeps, 0);
}

TEST_P(ColorSetTest, UnconfirmedAfterFiveReadsGives105) {
    const SetCase& c = GetParam();
    control.Push(0);
    Bytes wrong = c.readBack;
    wrong.back() ^= 0x02;  // the last value byte differs (and a manual state flips)
    for (int i = 0; i < 5; ++i) Reply(wrong);
    EXPECT_EQ(c.call(protocol), -105);
    EXPECT_EQ(control.SentCommands().size(), 6u);
    EXPECT_EQ(sleeps, 5);
}

TEST_P(ColorSetTest, FailedReadEndsTheLoopWithItsError) {
    const SetCase& c = GetParam();
    control.Push(0);
    control.Push(-104);
    EXPECT_EQ(c.call(protocol), -104);
    EXPECT_EQ(control.SentCommands().size(), 2u);
}

TEST_P(ColorSetTest, WithoutCommandInterfaceGivesMinusOne) {
    rc1720::Protocol bare;
    EXPECT_EQ(GetParam().call(bare), -1);
}

INSTANTIATE_TEST_SUITE_P(Cases, ColorSetTest, ::testing::ValuesIn(kSetCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ColorProtocolTest, ManualStateReadsOnlyOneAsManual) {
    control.Push(0);
    Reply({0x05, 3});  // automatic is reported as 0, which confirms a request for 0
    EXPECT_EQ(protocol.SetRGBManualExposureState(0), 0);
}

TEST_F(ColorProtocolTest, ManualStateTwoSends3AndIsNeverConfirmed) {
    control.Push(0);
    for (int i = 0; i < 5; ++i) Reply({0x05, 3});
    EXPECT_EQ(protocol.SetRGBManualExposureState(2), -105);
    EXPECT_EQ(control.SentCommands()[0].payload, (Bytes{0x05, 3}));
}

struct RefusedCase {
    const char* name;
    std::function<int(rc1720::Protocol&)> call;
};

TEST_F(ColorProtocolTest, ValuesThatDoNotFitTheWireAreRefusedUnsent) {
    const RefusedCase cases[] = {
        {"brightness 300", [](rc1720::Protocol& p) { return p.SetRGBBrightness(300); }},
        {"brightness -129", [](rc1720::Protocol& p) { return p.SetRGBBrightness(-129); }},
        {"width 70000", [](rc1720::Protocol& p) { return p.SetColorResolution(70000, 480); }},
        {"height -1", [](rc1720::Protocol& p) { return p.SetColorResolution(640, -1); }},
    };
    for (const RefusedCase& c : cases) {
        EXPECT_EQ(c.call(protocol), -15) << c.name;
    }
    EXPECT_TRUE(control.SentCommands().empty());
}

TEST_F(ColorProtocolTest, BrightnessEdgesAreSent) {
    for (int value : {-128, 127}) {
        control.ClearSent();
        control.Push(0);
        Reply({0x02, static_cast<uint8_t>(value)});
        EXPECT_EQ(protocol.SetRGBBrightness(value), 0) << value;
    }
}

struct GetCase {
    const char* name;
    std::function<int(rc1720::Protocol&, std::string&)> call;  // formats the value read
    int cmd;
    Bytes sent;
    int bufSize;
    Bytes reply;
    const char* value;
};

// One command a row: the bytes sent and the reply, kept by hand.
// clang-format off
const GetCase kGetCases[] = {
    {"Brightness", [](rc1720::Protocol& p, std::string& out) { int v = 0; int r = p.GetRGBBrightness(v); out = std::to_string(v); return r; },
     0x22, {0x02, 0}, 2, {0x02, 0xFB}, "-5"},
    {"AEMax", [](rc1720::Protocol& p, std::string& out) { uint8_t v = 0; int r = p.GetAEMaxExposureTime(v); out = std::to_string(v); return r; },
     0x22, {0x03, 0}, 2, {0x03, 0xF0}, "240"},
    {"ManualStateOther", [](rc1720::Protocol& p, std::string& out) { uint8_t v = 9; int r = p.GetRGBManualExposureState(v); out = std::to_string(v); return r; },
     0x22, {0x05, 0}, 2, {0x05, 2}, "0"},
    {"ManualTime", [](rc1720::Protocol& p, std::string& out) { uint16_t v = 0; int r = p.GetRGBManualExposureTime(v); out = std::to_string(v); return r; },
     0x22, {0x06, 0, 0}, 3, {0x06, 0x21, 0x01}, "289"},
    {"MaxExposure", [](rc1720::Protocol& p, std::string& out) { uint8_t v = 0; int r = p.GetRGBMaxExposureTime(v); out = std::to_string(v); return r; },
     0x22, {0x07, 0}, 2, {0x07, 33}, "33"},
    {"Gain", [](rc1720::Protocol& p, std::string& out) { float v = 0; int r = p.GetRGBGain(v); out = std::to_string(v); return r; },
     0x22, {0x08, 0, 0, 0, 0}, 5, {0x08, 0x00, 0x00, 0x20, 0x40}, "2.500000"},
    {"Resolution", [](rc1720::Protocol& p, std::string& out) { int w = 0, h = 0; int r = p.GetColorResolution(w, h); out = std::to_string(w) + "x" + std::to_string(h); return r; },
     0x15, {0x02}, 64, {0x02, 0x00, 0x80, 0x02, 0xE0, 0x01}, "640x480"},
    {"DspDistortion", [](rc1720::Protocol& p, std::string& out) { DSPParameters d{8, 4, 0, 0}; int r = p.GetDspStatus(d); out = std::to_string(d.enable); return r; },
     0x19, [] { Bytes b(64, 0); b[0] = 4; b[1] = 0x82; b[2] = 3; b[3] = 1; return b; }(), 64, {4, 0x82, 3, 1, 1}, "1"},
};
// clang-format on

class ColorGetTest : public ColorProtocolTest, public ::testing::WithParamInterface<GetCase> {};

TEST_P(ColorGetTest, SendsExactBytesAndParsesTheReply) {
    const GetCase& c = GetParam();
    Reply(c.reply);
    std::string value;
    EXPECT_EQ(c.call(protocol, value), 0);
    const auto sent = Only();
    EXPECT_EQ(sent.cmd, c.cmd);
    EXPECT_EQ(sent.cmdType, CMDTYPE_GET);
    EXPECT_EQ(sent.payload, c.sent);
    EXPECT_EQ(sent.bufSize, c.bufSize);
    EXPECT_EQ(value, c.value);
}

TEST_P(ColorGetTest, FailureLeavesTheValueAndIsLoggedTwice) {
    testsupport::LogCapture log;
    control.Push(-104);
    std::string before;
    std::string value;
    GetParam().call(protocol, before);  // reads the defaults with an empty reply
    control.Push(-104);
    EXPECT_EQ(GetParam().call(protocol, value), -104);
    const std::string text = log.Text();
    size_t count = 0;
    for (size_t at = text.find("ret:-104 is failed."); at != std::string::npos;
         at = text.find("ret:-104 is failed.", at + 1))
        ++count;
    EXPECT_EQ(count, 4u);  // two lines for each of the two failures
    EXPECT_NE(text.find(":SetCmd]:<fake-sn> ret:-104 is failed."), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Cases, ColorGetTest, ::testing::ValuesIn(kGetCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ColorProtocolTest, FirmwareVersionCopiesAtMostThirtyBytes) {
    Bytes reply(31, 'v');
    reply[0] = 0x01;
    Reply(reply);
    char text[64];
    std::memset(text, 0, sizeof(text));
    int length = 64;
    EXPECT_EQ(protocol.GetRGBFWVersion(text, length), 0);
    EXPECT_EQ(length, 30);
    EXPECT_EQ(std::string(text), std::string(30, 'v'));
    EXPECT_EQ(Only().bufSize, 31);
}

TEST_F(ColorProtocolTest, FirmwareVersionWithoutTextOnlyCapsLength) {
    Reply(Bytes(31, 'v'));
    int length = -3;
    EXPECT_EQ(protocol.GetRGBFWVersion(nullptr, length), 0);
    EXPECT_EQ(length, 0);
}

TEST_F(ColorProtocolTest, UnknownDspItemIsRefusedUnsent) {
    testsupport::LogCapture log;
    DSPParameters params{5, 0, 1, 0};
    EXPECT_EQ(protocol.GetDspStatus(params), -255);
    EXPECT_EQ(protocol.SetDspStatus(params), -255);
    EXPECT_TRUE(control.SentCommands().empty());
    EXPECT_TRUE(log.Contains("type:5 is invalid."));
}

TEST_F(ColorProtocolTest, UnconfirmedSetWritesItsLine) {
    testsupport::LogCapture log;
    control.Push(0);
    for (int i = 0; i < 5; ++i) Reply({0x02, 0x00, 0x80, 0x02, 0xE0, 0x01});
    EXPECT_EQ(protocol.SetColorResolution(1600, 1200), -105);
    EXPECT_TRUE(log.Contains("Set ColorResolution w:1600, h:1200; Get w_:640 h_:480."));
}

}  // namespace
