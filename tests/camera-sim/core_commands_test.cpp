#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "CameraRig.h"
#include "CommandHandler.h"

namespace camsim {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Doubles(std::initializer_list<double> values) {
    Bytes out(values.size() * 8);
    std::memcpy(out.data(), values.begin(), out.size());
    return out;
}

Bytes Cat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

Bytes Padded(Bytes b, size_t size) {
    b.resize(size, 0);
    return b;
}

void Set(CommandHandler& h, uint8_t id, const Bytes& payload) {
    EXPECT_FALSE(h.Handle(Command{id, payload}).has_value()) << "a set is never answered";
}

Bytes Get(CommandHandler& h, uint8_t id, const Bytes& payload) {
    const auto reply = h.Handle(Command{static_cast<uint8_t>(id | 0x80), payload});
    EXPECT_TRUE(reply.has_value());
    if (!reply) return {};
    EXPECT_EQ(reply->id, id | 0x80);
    return reply->payload;
}

Bytes Slice(const Bytes& b, size_t offset, size_t length) {
    if (offset + length > b.size()) return {};
    return Bytes(b.begin() + static_cast<long>(offset), b.begin() + static_cast<long>(offset + length));
}

struct SetGetCase {
    const char* name;
    uint8_t id;
    Bytes set;
    Bytes get;
    size_t offset;  // where the host reads the value in the reply
    Bytes value;
};

// Every command with both a set and a get: the get reads back what the set wrote, and
// the default answer differs, so a camera that ignores the set fails.
const SetGetCase kSetGetCases[] = {
    {"stream on", 0x1B, {1}, {0, 0}, 1, {1}},
    {"work mode", 0x02, {2}, {0}, 0, {2}},
    {"frame rate", 0x04, {15}, {0}, 0, {15}},
    {"tof intrinsic 1st", 0x10, Cat({0}, Doubles({1.5, 2, 3, 4})), {0}, 1, Doubles({1.5, 2, 3, 4})},
    {"tof intrinsic 2nd", 0x10, Cat({1}, Doubles({5, 6, 7, 8, 9})), {1}, 1, Doubles({5, 6, 7, 8, 9})},
    {"tof distortion 1st", 0x10, Cat({2}, Doubles({.1, .2, .3, .4})), {2}, 1, Doubles({.1, .2, .3, .4})},
    {"tof distortion 2nd", 0x10, Cat({3}, Doubles({.5, .6, .7, .8})), {3}, 1, Doubles({.5, .6, .7, .8})},
    {"colour intrinsic 1st", 0x10, Cat({4}, Doubles({11, 0, 12, 0})), {4}, 1, Doubles({11, 0, 12, 0})},
    {"colour intrinsic 2nd", 0x10, Cat({5}, Doubles({13, 14, 0, 0, 1})), {5}, 1, Doubles({13, 14, 0, 0, 1})},
    {"colour distortion 1st", 0x10, Cat({6}, Doubles({-.1, 0, 0, 0})), {6}, 1, Doubles({-.1, 0, 0, 0})},
    {"colour distortion 2nd", 0x10, Cat({7}, Doubles({0, 0, 0, -.2})), {7}, 1, Doubles({0, 0, 0, -.2})},
    {"rotation 1st", 0x10, Cat({8}, Doubles({0, -1, 0, 1})), {8}, 1, Doubles({0, -1, 0, 1})},
    {"rotation 2nd", 0x10, Cat({9}, Doubles({0, 0, 0, 0, -1})), {9}, 1, Doubles({0, 0, 0, 0, -1})},
    {"translation", 0x10, Cat({10}, Doubles({-30.5, 1, 2})), {10}, 1, Doubles({-30.5, 1, 2})},
    {"sensor serial", 0x13, Cat({2}, Text("NEWSENSOR")), {2}, 1, Padded(Text("NEWSENSOR"), 10)},
    {"device serial", 0x18, Cat({0x02}, Text("DEV42")), {0x12}, 1, Padded(Text("DEV42"), 6)},
    {"mac address", 0x18, Cat({0x03}, Text("0A:1B:2C:3D:4E:5F")), {0x13}, 1, Text("0A:1B:2C:3D:4E:5F")},
    {"ip address", 0x18, Cat({0x05}, Text("127.0.0.9")), {0x15}, 1, Padded(Text("127.0.0.9"), 10)},
    {"subnet mask", 0x18, Cat({0x06}, Text("255.255.0.0")), {0x16}, 1, Padded(Text("255.255.0.0"), 12)},
    {"dhcp", 0x18, {0x07, 1}, {0x17, 0}, 1, {1}},
    {"factory mode", 0x12, {3, 1, 1, 0, 2, 0}, Bytes(20, 0), 0, {3, 0, 0, 0, 1, 0, 0, 0, 1, 0,
                                                                 0, 0, 0, 0, 0, 0, 2, 0, 0, 0}},
    {"trigger input", 0x23, {1, 0, 0x10, 0x27, 0x20, 0x4E}, {1, 0, 0, 0, 0, 0}, 0, {1, 0, 0x10, 0x27, 0x20, 0x4E}},
    {"trigger output", 0x23, {2, 0, 50, 0, 7, 0}, {2, 0, 0, 0, 0, 0}, 0, {2, 0, 50, 0, 7, 0}},
    {"exposure main", 0x03, {0, 0xA0, 0x0F, 0, 0}, {0, 0, 0, 0, 0}, 1, {0xA0, 0x0F, 0, 0}},
    {"exposure second", 0x03, {1, 0x10, 0x27, 0, 0}, {1, 0, 0, 0, 0}, 1, {0x10, 0x27, 0, 0}},
    {"exposure hdr", 0x03, {254, 0x64, 0, 0, 0}, {254, 0, 0, 0, 0}, 1, {0x64, 0, 0, 0}},
    {"register", 0x05, {0x34, 0x12, 0xCD, 0xAB, 0, 0, 0, 0}, {0x34, 0x12, 0, 0, 0, 0, 0, 0}, 2, {0xCD, 0xAB}},
    {"data mode", 0x06, {14}, {0}, 0, {14}},
    {"depth range", 0x07, {3}, {0}, 0, {3}},
    {"dual frequency", 0x08, {2, 1, 4, 0}, {0, 0, 0, 0}, 0, {2, 1, 4, 0}},
    {"measuring range", 0x11, {2, 0xD0, 0x07, 0x64, 0, 0xC4, 0x09}, {2}, 0, {2, 0xD0, 0x07, 0x64, 0, 0xC4, 0x09}},
    {"LD state", 0x12, {0x30, 0}, {0x30, 0}, 1, {0}},
    {"CDMA state", 0x12, {0x31, 1}, {0x31, 0}, 1, {1}},
    {"APC state", 0x13, {0x08, 0}, {0x08, 0}, 1, {0}},
    {"LD driver chip", 0x13, {0x09, 3}, {0x09, 0}, 1, {3}},
    {"LD type", 0x13, {0x0A, 2}, {0x0A, 0}, 1, {2}},
    {"depth range list", 0x13, Padded({0x06, 2, 5, 1}, 64), Padded({0x06}, 64), 0, {0x06, 2, 5, 1}},
    {"data mode list", 0x13, Padded({0x07, 3, 14, 0, 9}, 64), Padded({0x07}, 64), 0, {0x07, 3, 14, 0, 9}},
    {"ir gain", 0x15, {0x04, 42}, {0x04, 0}, 1, {42}},
    {"dsp time filter", 0x19, Padded({0, 2, 1, 4, 1, 200}, 64), Padded({0, 0x82, 1, 4}, 64), 3, {4, 1, 200, 0}},
    {"dsp confidence",
     0x19,
     Padded({0, 2, 1, 6, 1, 0x2C, 0x01, 0xF8, 0x11}, 64),
     Padded({0, 0x82, 1, 6}, 64),
     3,
     {6, 1, 0x2C, 0x01}},
    {"dsp class 1", 0x19, Padded({0, 1, 2, 1}, 64), Padded({0, 0x81, 2}, 64), 3, {1}},
    {"dsp colour distortion", 0x19, Padded({7, 2, 3, 1, 1}, 64), Padded({7, 0x82, 3, 1}, 64), 4, {1}},
    {"colour brightness", 0x22, {0x02, 0xFB}, {0x02, 0}, 1, {0xFB}},
    {"colour AE max exposure", 0x22, {0x03, 33}, {0x03, 0}, 1, {33}},
    {"colour manual exposure state", 0x22, {0x05, 1}, {0x05, 0}, 1, {1}},
    {"colour manual exposure time", 0x22, {0x06, 0x34, 0x12}, {0x06, 0, 0}, 1, {0x34, 0x12}},
    {"colour gain", 0x22, Cat({0x08}, {0, 0, 0x20, 0x40}), {0x08, 0, 0, 0, 0}, 1, {0, 0, 0x20, 0x40}},
    {"colour resolution", 0x15, {0x02, 0x01, 0x40, 0x06, 0xB0, 0x04, 0, 0}, {0x02}, 2, {0x40, 0x06, 0xB0, 0x04}},
};

TEST(Commands, SetThenGetReadsBackWhatWasSet) {
    for (const SetGetCase& tc : kSetGetCases) {
        CommandHandler h;
        EXPECT_NE(Slice(Get(h, tc.id, tc.get), tc.offset, tc.value.size()), tc.value) << tc.name << ": default";
        Set(h, tc.id, tc.set);
        EXPECT_EQ(Slice(Get(h, tc.id, tc.get), tc.offset, tc.value.size()), tc.value) << tc.name;
        for (const LoggedCommand& c : h.Log()) EXPECT_TRUE(c.understood) << tc.name;
    }
}

TEST(Commands, CamerasStartWithTheirDefaults) {
    CommandHandler h;
    EXPECT_EQ(Get(h, 0x1B, {0, 0}), (Bytes{0, 0})) << "stream off";
    EXPECT_EQ(Get(h, 0x02, {0}), Bytes{0}) << "work mode 0";
    EXPECT_EQ(Get(h, 0x04, {0}), Bytes{30}) << "30 frames a second";
    EXPECT_EQ(Slice(Get(h, 0x13, {0x06}), 0, 8), (Bytes{0x06, 6, 0, 1, 2, 3, 4, 5}));
    const uint16_t depthMax[] = {1249, 1874, 2498, 3123, 3747, 7495};
    for (uint8_t r = 0; r < 6; ++r) {
        const Bytes m = Get(h, 0x11, {r});
        ASSERT_EQ(m.size(), 7u);
        EXPECT_EQ(m[0], r);
        EXPECT_EQ(m[5] | (m[6] << 8), depthMax[r]) << int(r);
    }
}

// The calibration replies describe the rig the scenes are drawn with; the colour matrix is
// the full 1600 x 1200 sensor's, which the host scales for smaller readouts.
TEST(Commands, CalibrationRepliesCarryTheRig) {
    CommandHandler h;
    const CameraRig& rig = Rig();
    const std::array<double, 9> tof = rig.depth.Matrix();
    const std::array<double, 9> colour = rig.colour.Matrix();
    const std::array<double, 3> t = rig.depthToColour;
    EXPECT_EQ(Slice(Get(h, 0x10, {0}), 1, 32), Doubles({tof[0], tof[1], tof[2], tof[3]}));
    EXPECT_EQ(Slice(Get(h, 0x10, {1}), 1, 40), Doubles({tof[4], tof[5], tof[6], tof[7], tof[8]}));
    EXPECT_EQ(Slice(Get(h, 0x10, {4}), 1, 32), Doubles({colour[0], colour[1], colour[2], colour[3]}));
    EXPECT_EQ(Slice(Get(h, 0x10, {5}), 1, 40), Doubles({colour[4], colour[5], colour[6], colour[7], colour[8]}));
    EXPECT_EQ(Slice(Get(h, 0x10, {8}), 1, 32), Doubles({1, 0, 0, 0}));
    EXPECT_EQ(Slice(Get(h, 0x10, {10}), 1, 24), Doubles({t[0], t[1], t[2]}));
    EXPECT_GT(colour[2], 700.0) << "a centre near the middle of the 1600-wide sensor";
    EXPECT_GT(colour[5], 500.0) << "a centre near the middle of the 1200-high sensor";
}

// The host's upgrade check: eight date digits before the last '_', one character after
// it skipped, then the decimal version.
TEST(Commands, FirmwareTextHasTheFormTheUpgradeCheckParses) {
    CommandHandler h;
    const Bytes reply = Get(h, 0x13, {3});
    ASSERT_EQ(reply.size(), 64u);
    EXPECT_EQ(reply[0], 3);
    const std::string text(reinterpret_cast<const char*>(reply.data() + 1));
    const size_t us = text.rfind('_');
    ASSERT_NE(us, std::string::npos);
    ASSERT_GE(us, 9u);
    ASSERT_GE(text.size() - us - 1, 2u);
    for (size_t i = us - 8; i < us; ++i) EXPECT_TRUE(isdigit(text[i])) << text;
    const int month = std::stoi(text.substr(us - 4, 2)), day = std::stoi(text.substr(us - 2, 2));
    EXPECT_TRUE(month >= 1 && month <= 12 && day >= 1 && day <= 31) << text;
    EXPECT_GE(std::stoi(text.substr(us + 2)), 0) << text;
}

TEST(Commands, ReadOnlyValuesSurviveSets) {
    CommandHandler h;
    const Bytes hw = Get(h, 0x13, {4});
    Bytes clearHw(33, 0);
    clearHw[0] = 4;
    Set(h, 0x13, clearHw);  // the host's hardware-version read starts with this set
    EXPECT_EQ(Get(h, 0x13, {4}), hw);
    EXPECT_NE(Slice(hw, 1, 2), (Bytes{0, 0}));

    const Bytes maxExposure = Get(h, 0x03, {255, 0, 0, 0, 0});
    Set(h, 0x03, {255, 1, 0, 0, 0});
    EXPECT_EQ(Get(h, 0x03, {255, 0, 0, 0, 0}), maxExposure);
}

TEST(Commands, SetOnlyCommandsChangeTheCamera) {
    CommandHandler h;
    Set(h, 0x1B, {1});
    Set(h, 0x1F, {0});
    Set(h, 0x1F, {0});
    Set(h, 0x01, Padded({1}, 64));
    Set(h, 0x1E, {2, 1, 7, 8, 9});
    CameraState s = h.State();
    EXPECT_EQ(s.softwareTriggers, 2u);
    EXPECT_TRUE(s.initParamsEnabled);
    EXPECT_EQ(s.testMode, (std::array<uint8_t, 5>{2, 1, 7, 8, 9}));
    EXPECT_EQ(s.reboots, 0);

    Set(h, 0x12, {8});
    s = h.State();
    EXPECT_EQ(s.reboots, 1);
    EXPECT_FALSE(s.streamOn) << "a reboot stops the stream";
    EXPECT_EQ(s.factoryMode.mode, 0) << "byte 8 alone is the reboot, not a factory record";
}

TEST(Commands, DspSettingsAreKeyedByClassTargetAndItemNotOption) {
    CommandHandler h;
    Set(h, 0x19, Padded({9, 2, 1, 1, 1}, 64));  // ToF distortion correction, option 9
    EXPECT_EQ(Get(h, 0x19, Padded({0, 0x82, 1, 1}, 64))[4], 1) << "another option reads the same item";
    EXPECT_EQ(Get(h, 0x19, Padded({0, 0x82, 3, 1}, 64))[4], 0) << "colour distortion is its own item";
    EXPECT_EQ(Get(h, 0x19, Padded({0, 0x82, 1, 2}, 64))[4], 0) << "another item";
    const Bytes reply = Get(h, 0x19, Padded({5, 0x82, 1, 1}, 64));
    EXPECT_EQ(Slice(reply, 0, 4), (Bytes{5, 0x82, 1, 1})) << "the request is echoed";
    EXPECT_EQ(reply.size(), 64u);
}

TEST(Commands, TransferCommandsRecordWhatTheHostAsked) {
    CommandHandler h;
    Bytes fetch = Padded({1, 1}, 18);
    std::memcpy(fetch.data() + 2, "127.0.0.1", 9);
    fetch = Cat(fetch, Cat(Text("fw.img"), {0}));
    Set(h, 0x1D, fetch);
    Set(h, 0x1D, {1, 2, 0x78, 0x56, 0x34, 0x12, 0x00, 0x10, 0, 0});

    Bytes jsonMode = Padded({3, 1}, 38);
    std::memcpy(jsonMode.data() + 2, "127.0.0.1", 9);
    Set(h, 0x1D, jsonMode);
    Bytes jsonPath = Padded({3, 4}, 18);
    std::memcpy(jsonPath.data() + 2, "127.0.0.1", 9);
    Set(h, 0x1D, Cat(jsonPath, Cat(Text("p.json"), {0})));
    Set(h, 0x1D, {3, 5, 1, 0, 0, 0, 2, 0, 0, 0});

    const CameraState s = h.State();
    EXPECT_EQ(s.upgrade.hostAddress, "127.0.0.1");
    EXPECT_EQ(s.upgrade.fileName, "fw.img");
    EXPECT_EQ(s.upgrade.fetchRequests, 1);
    EXPECT_EQ(s.upgrade.lastSent.state, 2);
    EXPECT_EQ(s.upgrade.lastSent.param1, 0x12345678);
    EXPECT_EQ(s.upgrade.lastSent.param2, 0x1000);
    EXPECT_EQ(s.json.postRequests, 1);
    EXPECT_EQ(s.json.fetchRequests, 1);
    EXPECT_EQ(s.json.fileName, "p.json");
    EXPECT_EQ(s.json.lastSent.state, 5);
    EXPECT_EQ(s.json.lastSent.param1, 1);
    EXPECT_EQ(s.json.lastSent.param2, 2);
    for (const LoggedCommand& c : h.Log()) EXPECT_TRUE(c.understood);
}

TEST(Commands, TransferStatesAreReportedOneByteEachAtTheirOffsets) {
    CommandHandler h;
    h.Update([](CameraState& s) {
        s.upgrade.reported = TransferRecord{3, 87, 0};
        s.json.reported = TransferRecord{4, 1, 0};
    });
    EXPECT_EQ(Get(h, 0x1D, Padded({1}, 10)), (Bytes{1, 3, 87, 0}));
    EXPECT_EQ(Slice(Get(h, 0x1D, Padded({3, 2}, 10)), 2, 3), (Bytes{4, 1, 0}));
}

TEST(Commands, PayloadsThatFitNoLayoutChangeNothing) {
    struct Case {
        const char* name;
        uint8_t id;
        Bytes payload;
    };
    const Case cases[] = {
        {"depth range list over 9", 0x13, Padded({0x06, 10, 0, 1, 2, 3, 4, 5, 0, 1, 2, 3}, 64)},
        {"count beyond the payload", 0x13, {0x07, 5, 1, 2}},
        {"intrinsic cut short", 0x10, Cat({0}, Bytes(31, 1))},
        {"calibration sub 11", 0x10, Cat({11}, Doubles({1, 2, 3}))},
        {"stream byte 2", 0x1B, {2}},
        {"unknown id", 0x40, {1}},
        {"empty work mode", 0x02, {}},
        {"register without value", 0x05, {1, 0}},
    };
    const CameraState before;
    for (const Case& tc : cases) {
        CommandHandler h;
        Set(h, tc.id, tc.payload);
        const CameraState s = h.State();
        EXPECT_FALSE(h.Log().back().understood) << tc.name;
        EXPECT_EQ(s.depthRangeList, before.depthRangeList) << tc.name;
        EXPECT_EQ(s.dataModeList, before.dataModeList) << tc.name;
        EXPECT_EQ(s.tofCalibration.intrinsic, before.tofCalibration.intrinsic) << tc.name;
        EXPECT_EQ(s.translation, before.translation) << tc.name;
        EXPECT_EQ(s.streamOn, before.streamOn) << tc.name;
        EXPECT_EQ(s.workMode, before.workMode) << tc.name;
        EXPECT_EQ(s.registers, before.registers) << tc.name;
    }
}

TEST(Commands, LogKeepsEveryCommandAsReceived) {
    CommandHandler h;
    Set(h, 0x1B, {1});
    Get(h, 0x9C, {1});
    const auto log = h.Log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].id, 0x1B);
    EXPECT_EQ(log[0].payload, Bytes{1});
    EXPECT_EQ(log[1].id, 0x9C);
    h.ClearLog();
    EXPECT_TRUE(h.Log().empty());
}

TEST(CommandFaults, NoReplySilencesOneIdInEitherSpelling) {
    for (uint8_t spelling : {uint8_t{27}, uint8_t{0x9B}}) {
        CommandHandler h;
        h.SetNoReply(spelling, true);
        EXPECT_FALSE(h.Handle(Command{0x9B, {0, 0}}).has_value()) << int(spelling);
        EXPECT_TRUE(h.Handle(Command{0x82, {0}}).has_value()) << "other ids still answer";
        EXPECT_EQ(h.Log().size(), 2u) << "the command is still received";
        h.SetNoReply(spelling, false);
        EXPECT_TRUE(h.Handle(Command{0x9B, {0, 0}}).has_value());
    }
}

TEST(CommandFaults, WrongIdAnswersWithAnotherId) {
    CommandHandler h;
    h.SetWrongReplyId(0x9C, true);
    const auto reply = h.Handle(Command{0x9C, {1}});
    ASSERT_TRUE(reply.has_value());
    EXPECT_NE(reply->id, 0x9C);
    EXPECT_TRUE(reply->id & 0x80);
    EXPECT_EQ(h.Handle(Command{0x82, {0}})->id, 0x82);
}

TEST(CommandFaults, RefusedSettingKeepsAnsweringTheOldValue) {
    CommandHandler h;
    h.SetRefused(0x04, std::nullopt, true);
    Set(h, 0x04, {10});
    EXPECT_EQ(Get(h, 0x04, {0}), Bytes{30});
    EXPECT_TRUE(h.Log()[0].refused);
    EXPECT_TRUE(h.Log()[0].understood);
    h.SetRefused(0x84, std::nullopt, false);
    Set(h, 0x04, {10});
    EXPECT_EQ(Get(h, 0x04, {0}), Bytes{10});
}

TEST(CommandFaults, RefusalByFirstByteLeavesOtherSubIdsAlone) {
    CommandHandler h;
    h.SetRefused(0x18, uint8_t{0x03}, true);
    Set(h, 0x18, Cat({0x03}, Text("0A:1B:2C:3D:4E:5F")));
    Set(h, 0x18, Cat({0x05}, Text("127.0.0.9")));
    const CameraState s = h.State();
    EXPECT_EQ(s.macAddress, CameraState().macAddress);
    EXPECT_EQ(s.ipAddress, "127.0.0.9");
}

TEST(CommandFaults, SilentCameraAnswersNothingButKeepsListening) {
    CommandHandler h;
    h.SetSilent(true);
    EXPECT_FALSE(h.Handle(Command{0x9C, {1}}).has_value());
    Set(h, 0x1B, {1});
    EXPECT_TRUE(h.State().streamOn);
    h.SetSilent(false);
    EXPECT_TRUE(h.Handle(Command{0x9C, {1}}).has_value());
}

}  // namespace
}  // namespace camsim
