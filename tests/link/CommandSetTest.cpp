#include <cmath>
#include <functional>

#include "CommandTestSupport.h"

namespace {

using namespace linktest;

constexpr CMDTYPE SET = CMDTYPE_SET;
constexpr CMDTYPE GET = CMDTYPE_GET;

struct ExchangeCase {
    const char* name;
    std::vector<Reply> replies;
    std::function<int(DeviceCommonProtocol&)> op;  // runs the operation and checks its output
    int result;
    std::vector<Wire> sent;
};

class CommandSetTest : public CommandFixture {
protected:
    void Run(const ExchangeCase& c) {
        SCOPED_TRACE(c.name);
        io->ClearSent();
        for (const Reply& r : c.replies) io->Push(r);
        EXPECT_EQ(c.op(*proto), c.result);
        EXPECT_EQ(Sent(), c.sent);
    }
};

TEST_F(CommandSetTest, GetsSendTheirPayloadAndParseTheReply) {
    const double k[9] = {1.5, 2.5, 3.5, 4.5, 5.5, 6.5, 7.5, 8.5, 9.5};
    const ExchangeCase cases[] = {
        {"stream state on",
         {{0, Bytes{0, 1}}},
         [](DeviceCommonProtocol& p) {
             bool on = false;
             int r = p.GetStreamState(on);
             EXPECT_TRUE(on);
             return r;
         },
         0,
         {{27, GET, {0, 0}}}},
        {"stream state 2 is off",
         {{0, Bytes{0, 2}}},
         [](DeviceCommonProtocol& p) {
             bool on = true;
             int r = p.GetStreamState(on);
             EXPECT_FALSE(on);
             return r;
         },
         0,
         {{27, GET, {0, 0}}}},
        {"stream state failed is off",
         {{-104, std::nullopt}},
         [](DeviceCommonProtocol& p) {
             bool on = true;
             int r = p.GetStreamState(on);
             EXPECT_FALSE(on);
             return r;
         },
         -104,
         {{27, GET, {0, 0}}}},
        {"heartbeat ignores the data",
         {{0, Bytes{0x42, 0x42}}},
         [](DeviceCommonProtocol& p) { return p.HeartbeatCheck(); },
         0,
         {{156, GET, {1}}}},
        {"heartbeat failure",
         {{-104, std::nullopt}},
         [](DeviceCommonProtocol& p) { return p.HeartbeatCheck(); },
         -104,
         {{156, GET, {1}}}},
        {"work mode is signed",
         {{0, Bytes{0xFF}}},
         [](DeviceCommonProtocol& p) {
             int mode = 5;
             int r = p.GetWorkMode(&mode);
             EXPECT_EQ(mode, -1);
             return r;
         },
         0,
         {{2, GET, {0}}}},
        {"work mode without matching reply leaves the output",
         {{-104, std::nullopt}},
         [](DeviceCommonProtocol& p) {
             int mode = 5;
             int r = p.GetWorkMode(&mode);
             EXPECT_EQ(mode, 5);
             return r;
         },
         -104,
         {{2, GET, {0}}}},
        {"failed frame-rate get leaves the output",
         {{-104, std::nullopt}},
         [](DeviceCommonProtocol& p) {
             int fps = 17;
             int r = p.GetFrameRate(&fps);
             EXPECT_EQ(fps, 17);
             return r;
         },
         -104,
         {{4, GET, {0}}}},
        {"frame rate",
         {{0, Bytes{30}}},
         [](DeviceCommonProtocol& p) {
             int fps = 0;
             int r = p.GetFrameRate(&fps);
             EXPECT_EQ(fps, 30);
             return r;
         },
         0,
         {{4, GET, {0}}}},
        {"colour intrinsic in two parts",
         {{0, Doubles(0xFF, {k[0], k[1], k[2], k[3]})}, {0, Doubles(0xFF, {k[4], k[5], k[6], k[7], k[8]})}},
         [&](DeviceCommonProtocol& p) {
             double out[9] = {};
             int r = p.GetCameraIntrinsic(SENSOR_TYPE_COLOR, out);
             for (int i = 0; i < 9; ++i) EXPECT_EQ(out[i], k[i]);
             return r;
         },
         0,
         {{16, GET, {4}}, {16, GET, {5}}}},
        {"tof intrinsic second part fails",
         {{0, Doubles(0, {k[0], k[1], k[2], k[3]})}, {-104, std::nullopt}},
         [&](DeviceCommonProtocol& p) {
             double out[9] = {};
             int r = p.GetCameraIntrinsic(SENSOR_TYPE_TOF, out);
             EXPECT_EQ(out[3], k[3]);
             EXPECT_EQ(out[4], 0.0);
             return r;
         },
         -104,
         {{16, GET, {0}}, {16, GET, {1}}}},
        {"tof distortion",
         {{0, Doubles(0, {1, 2, 3, 4})}, {0, Doubles(0, {5, 6, 7, 8})}},
         [](DeviceCommonProtocol& p) {
             double out[8] = {};
             int r = p.GetCameraDistortion(SENSOR_TYPE_TOF, out);
             EXPECT_EQ(out[0], 1);
             EXPECT_EQ(out[7], 8);
             return r;
         },
         0,
         {{16, GET, {2}}, {16, GET, {3}}}},
        {"colour distortion without a matching reply",
         {{-104, std::nullopt}},
         [](DeviceCommonProtocol& p) {
             double out[8] = {9, 9, 9, 9, 9, 9, 9, 9};
             int r = p.GetCameraDistortion(SENSOR_TYPE_COLOR, out);
             EXPECT_EQ(out[0], 9.0);  // the caller's values stay
             return r;
         },
         -104,
         {{16, GET, {6}}}},
        {"rotation",
         {{0, Doubles(0, {1, 2, 3, 4})}, {0, Doubles(0, {5, 6, 7, 8, 9})}},
         [](DeviceCommonProtocol& p) {
             double out[9] = {};
             int r = p.GetCameraRotation(out);
             EXPECT_EQ(out[8], 9);
             return r;
         },
         0,
         {{16, GET, {8}}, {16, GET, {9}}}},
        {"translation",
         {{0, Doubles(0, {-1, -2, -3})}},
         [](DeviceCommonProtocol& p) {
             double out[3] = {};
             int r = p.GetCameraTranslation(out);
             EXPECT_EQ(out[0], -1);
             EXPECT_EQ(out[2], -3);
             return r;
         },
         0,
         {{16, GET, {10}}}},
        {"intrinsic of an invalid sensor",
         {},
         [](DeviceCommonProtocol& p) {
             double out[9] = {};
             return p.GetCameraIntrinsic(static_cast<SensorType>(3), out);
         },
         -1,
         {}},
        {"calibration set of an invalid sensor",
         {},
         [](DeviceCommonProtocol& p) {
             const double d[8] = {};
             return p.SetCameraDistortion(static_cast<SensorType>(0), d);
         },
         -1,
         {}},
    };
    for (const ExchangeCase& c : cases) Run(c);
    EXPECT_TRUE(log.Contains("<SN01> cameraType:3 is invaild"));
    EXPECT_TRUE(log.Contains("<SN01> type:2 Intrinsic:1.500000 2.500000 3.500000\t4.500000"));
}

TEST_F(CommandSetTest, OnlyAnAnsweredCommandCountsAsTheCameraAnswering) {
    ASSERT_EQ(proto->SetOpenState(true), 0);
    EXPECT_FALSE(proto->AnsweredSinceOpen());
    io->Push(0);
    EXPECT_EQ(proto->SetSoftwareSlaveTrigger(), 0);
    EXPECT_FALSE(proto->AnsweredSinceOpen()) << "a set below 0x80 reads no reply";
    io->Push(-104);
    EXPECT_EQ(proto->HeartbeatCheck(), -104);
    EXPECT_FALSE(proto->AnsweredSinceOpen());
    // A plug-in's get goes the same way.
    char buf[2] = {};
    io->Push(0, Bytes{1});
    EXPECT_EQ(proto->SetCmd(0x06, buf, sizeof(buf), 1, CMDTYPE_GET), 0);
    EXPECT_TRUE(proto->AnsweredSinceOpen());
    ASSERT_EQ(proto->SetOpenState(true), 0);
    EXPECT_FALSE(proto->AnsweredSinceOpen()) << "each open starts afresh";
}

TEST_F(CommandSetTest, SetsSendTheirPayload) {
    const double t[3] = {0.25, -0.5, 2};
    const double k[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    const ExchangeCase cases[] = {
        {"stream on",
         {{0, std::nullopt}, {0, Bytes{0, 1}}},
         [](DeviceCommonProtocol& p) { return p.SetStreamState(true); },
         0,
         {{27, SET, {1}}, {27, GET, {0, 0}}}},
        {"stream off",
         {{0, std::nullopt}, {0, Bytes{0, 0}}},
         [](DeviceCommonProtocol& p) { return p.SetStreamState(false); },
         0,
         {{27, SET, {0}}, {27, GET, {0, 0}}}},
        {"work mode 2",
         {{0, std::nullopt}, {0, Bytes{2}}},
         [](DeviceCommonProtocol& p) { return p.SetWorkMode(2); },
         0,
         {{2, SET, {2}}, {2, GET, {0}}}},
        {"trigger", {}, [](DeviceCommonProtocol& p) { return p.SetSoftwareSlaveTrigger(); }, 0, {{31, SET, {0}}}},
        {"frame rate 127",
         {{0, std::nullopt}, {0, Bytes{127}}},
         [](DeviceCommonProtocol& p) { return p.SetFrameRate(127); },
         0,
         {{4, SET, {127}}, {4, GET, {0}}}},
        {"translation",
         {{0, std::nullopt}, {0, Doubles(0, {t[0], t[1], t[2]})}},
         [&](DeviceCommonProtocol& p) { return p.SetCameraTransfer(t); },
         0,
         {{16, SET, Doubles(10, {t[0], t[1], t[2]})}, {16, GET, {10}}}},
        {"colour intrinsic",
         {{0, std::nullopt}, {0, std::nullopt}, {0, Doubles(0, {1, 2, 3, 4})}, {0, Doubles(0, {5, 6, 7, 8, 9})}},
         [&](DeviceCommonProtocol& p) { return p.SetCameraIntrinsic(SENSOR_TYPE_COLOR, k); },
         0,
         {{16, SET, Doubles(4, {1, 2, 3, 4})}, {16, SET, Doubles(5, {5, 6, 7, 8, 9})}, {16, GET, {4}}, {16, GET, {5}}}},
        {"rotation first part fails",
         {{-104, std::nullopt}},
         [&](DeviceCommonProtocol& p) { return p.SetCameraRotation(k); },
         -104,
         {{16, SET, Doubles(8, {1, 2, 3, 4})}}},
    };
    for (const ExchangeCase& c : cases) Run(c);
}

TEST_F(CommandSetTest, ConfirmedAtTheFirstReadWritesNothing) {
    io->Push(0);
    io->Push(0, Bytes{0, 1});
    log.Mark();
    EXPECT_EQ(proto->SetStreamState(true), 0);
    EXPECT_EQ(Sent().size(), 2u);
    EXPECT_TRUE(sleeps.empty());
    EXPECT_EQ(log.Text(), "");
}

TEST_F(CommandSetTest, NeverConfirmedReadsFiveTimes) {
    io->SetResponder([](const testsupport::ScriptedIO::Sent&) { return Reply{0, Bytes{0, 2}}; });
    EXPECT_EQ(proto->SetStreamState(true), -105);
    EXPECT_EQ(Sent().size(), 6u);
    EXPECT_EQ(sleeps, Pauses(5, 10));
    EXPECT_TRUE(log.Contains("<SN01> Set StreamState:1; Get StreamState:0"));
}

TEST_F(CommandSetTest, FailedReadBackStopsAtOnceWithItsResult) {
    io->Push(0);
    io->Push(0, Bytes{7});
    io->Push(-104);
    EXPECT_EQ(proto->SetFrameRate(30), -104);
    EXPECT_EQ(Sent().size(), 3u);
    // The pause before the send, then one after the differing read.
    EXPECT_EQ(sleeps,
              (std::vector<linktiming::milliseconds>{linktiming::milliseconds(500), linktiming::milliseconds(10)}));
    EXPECT_TRUE(log.Contains("Set FrameRate:30; Get FrameRate fps_:7."));
}

TEST_F(CommandSetTest, SendFailureIsReturnedWithoutReadBack) {
    io->Push(-104);
    EXPECT_EQ(proto->SetStreamState(false), -104);
    EXPECT_EQ(Sent().size(), 1u);
    EXPECT_TRUE(log.Contains("<SN01> ret:-104 is failed."));
}

TEST_F(CommandSetTest, WorkModeReadsTwelveTimes) {
    io->SetResponder([](const testsupport::ScriptedIO::Sent&) { return Reply{0, Bytes{0}}; });
    EXPECT_EQ(proto->SetWorkMode(1), -105);
    EXPECT_EQ(Sent().size(), 13u);
    EXPECT_EQ(sleeps, Pauses(12, 100));
    EXPECT_TRUE(log.Contains("Set workMode:1 ,Get workMode_:0"));
}

TEST_F(CommandSetTest, ValuesTheWireCannotCarryAreRefused) {
    const std::function<int()> ops[] = {
        [&] { return proto->SetWorkMode(3); },    [&] { return proto->SetWorkMode(4); },
        [&] { return proto->SetWorkMode(-1); },   [&] { return proto->SetFrameRate(128); },
        [&] { return proto->SetFrameRate(200); }, [&] { return proto->SetFrameRate(-1); },
    };
    for (const auto& op : ops) EXPECT_EQ(op(), -15);
    EXPECT_TRUE(Sent().empty());
    EXPECT_TRUE(sleeps.empty());
}

TEST_F(CommandSetTest, CalibrationSetsGiveMinusOne) {
    const double k[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    // Rounded differently by the camera: five reads of both parts.
    io->SetResponder([](const testsupport::ScriptedIO::Sent& s) {
        return s.type == CMDTYPE_GET ? Reply{0, Doubles(0, {1.0000001, 2, 3, 4, 5})} : Reply{};
    });
    EXPECT_EQ(proto->SetCameraIntrinsic(SENSOR_TYPE_TOF, k), -1);
    EXPECT_EQ(Sent().size(), 2u + 10u);
    EXPECT_EQ(sleeps, Pauses(5, 10));
    EXPECT_TRUE(log.Contains("Set type:1 pIntrinsic:1.000000 2.000000 3.000000\t4.000000"));

    // A failed read-back also gives -1.
    io->SetResponder(nullptr);
    io->ClearSent();
    io->Push(0);
    io->Push(0);
    io->Push(-104);
    EXPECT_EQ(proto->SetCameraDistortion(SENSOR_TYPE_COLOR, k), -1);
    EXPECT_EQ(Sent().size(), 3u);
}

TEST_F(CommandSetTest, TranslationFollowsTheCommonRule) {
    const double t[3] = {1, 2, 3};
    io->Push(0);
    io->Push(-104);
    EXPECT_EQ(proto->SetCameraTransfer(t), -104);
    io->SetResponder([](const testsupport::ScriptedIO::Sent&) { return Reply{0, Doubles(0, {1, 2, 4})}; });
    EXPECT_EQ(proto->SetCameraTransfer(t), -105);
    EXPECT_TRUE(log.Contains("Set Transfer:1.000000 2.000000 3.000000 ;\tGet Transfer_:1.000000 2.000000 4.000000"));
}

TEST_F(CommandSetTest, NaNIsNeverConfirmed) {
    const double t[3] = {NAN, 0, 0};
    io->SetResponder([](const testsupport::ScriptedIO::Sent& s) {
        return s.type == CMDTYPE_GET ? Reply{0, Doubles(0, {NAN, 0, 0})} : Reply{};
    });
    EXPECT_EQ(proto->SetCameraTransfer(t), -105);
}

TEST_F(CommandSetTest, TriggerPausesAlsoAfterAFailedSend) {
    io->Push(-104);
    EXPECT_EQ(proto->SetSoftwareSlaveTrigger(), -104);
    EXPECT_EQ(sleeps, Pauses(1, 10));
}

TEST_F(CommandSetTest, TransportCallsPassThrough) {
    io->openResult = -13;
    EXPECT_EQ(proto->SetOpenState(true), -13);
    EXPECT_EQ(proto->SetOpenState(false), 0);
    proto->Shutdown();
    EXPECT_EQ(io->opens, 1);
    EXPECT_EQ(io->closes, 1);
    EXPECT_EQ(io->shutdowns, 1);
    EXPECT_STREQ(proto->GetHostIP(), "127.0.0.1");
    EXPECT_STREQ(proto->GetDeviceSN(), "SN01");
    char buf[2] = {5, 0};
    CommonControl& plugin = *proto;
    EXPECT_EQ(plugin.SetCmd(0x19, buf, 2, 1, 2), 0);
    EXPECT_EQ(Sent().back(), (Wire{0x19, GET, {5}}));
}

TEST(CommandSetWithoutTransport, AnswersWithoutCrashing) {
    DeviceCommonProtocol proto(nullptr);
    char buf[1] = {};
    EXPECT_EQ(proto.SetCmd(27, buf, 1, 1, 1), -1);
    EXPECT_STREQ(proto.GetHostIP(), "null");
    EXPECT_STREQ(proto.GetDeviceSN(), "null");
    unsigned char data[4];
    int len = 0;
    EXPECT_EQ(proto.ReadData(data, sizeof(data), &len), -1);
    EXPECT_EQ(proto.SetOpenState(true), -1);
    EXPECT_EQ(proto.HeartbeatCheck(), -1);
}

}  // namespace
