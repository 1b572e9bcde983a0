#include <string>

#include "PluginFixture.h"

namespace toftest {
namespace {

constexpr int kSet = CMDTYPE_SET;
constexpr int kGet = CMDTYPE_GET;

Bytes Int(int32_t value) {
    return Bytes{uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
}
Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
    return out;
}

struct KeyCase {
    const char* name;
    const char* key;
    bool set;
    int size;
    Bytes data;  // padded with zeros to the size
    int expected;
    std::vector<Wire> sent;
    Bytes out;  // get: the data afterwards, as far as given
};

class PropertyKeyTest : public PluginFixture, public ::testing::WithParamInterface<KeyCase> {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_tof);
        m_camera.state.registers[0x1234] = 0x0055;
        m_camera.state.dataMode = 17;
        m_camera.state.depthRange = 3;
        m_camera.state.exposure[254] = 7000;
        m_camera.state.exposure[255] = 0;
        m_camera.state.dsp[camsim::DspKey{2, 1, 2}] = camsim::DspSetting{1, 0, 0};
    }
};

TEST_P(PropertyKeyTest, ChecksTheKeyThenRunsIt) {
    const KeyCase& c = GetParam();
    Bytes data = c.data;
    data.resize(std::max<size_t>(data.size(), static_cast<size_t>(std::max(c.size, 1))), 0);
    const int ret =
        c.set ? m_tof->SetProperty(c.key, data.data(), c.size) : m_tof->GetProperty(c.key, data.data(), c.size);
    EXPECT_EQ(c.expected, ret);
    ExpectSent(c.sent);
    if (!c.out.empty()) {
        EXPECT_EQ(c.out, Bytes(data.begin(), data.begin() + static_cast<long>(c.out.size())));
    }
}

// One key a case: the bytes sent and the reply, kept by hand.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Keys, PropertyKeyTest,
    ::testing::Values(
        // Keys nobody here takes.
        KeyCase{"UnknownSet", "Py_NoSuchKey", true, 4, {}, -255, {}, {}},
        KeyCase{"UnknownGet", "Py_NoSuchKey", false, 4, {}, -255, {}, {}},
        KeyCase{"PhaseTimingSet", "Py_PhaseTiming", true, 4, {}, -255, {}, {}},
        KeyCase{"PhaseTimingGet", "Py_PhaseTiming", false, 4, {}, -255, {}, {}},
        KeyCase{"IRBGGet", "Py_IRBG", false, 0, {}, -255, {}, {}},
        KeyCase{"TemperatureOffsetGet", "Py_TemperatureOffsetEnable", false, 1, {}, -255, {}, {}},
        KeyCase{"IRPixelFormatGet", "Py_IRPixelFormat", false, 4, {}, -255, {}, {}},
        KeyCase{"SaveRawGet", "Py_SaveRawToFImg", false, 0, {}, -255, {}, {}},
        KeyCase{"TestModeGet", "Py_TestMode", false, 20, {}, -255, {}, {}},
        KeyCase{"ExposureMaxSet", "Py_ToFExposureTimeMax", true, 8, {}, -255, {}, {}},
        // Sizes.
        KeyCase{"DataModeShort", "Py_DataMode", true, 2, {}, -15, {}, {}},
        KeyCase{"RegisterLong", "Py_Register", false, 5, {}, -15, {}, {}},
        KeyCase{"TransferFileShort", "Py_TransferFile", true, 283, {}, -15, {}, {}},
        KeyCase{"TemperatureOffsetWide", "Py_TemperatureOffsetEnable", true, 4, {}, -15, {}, {}},
        // Decoder switches: nothing is sent.
        KeyCase{"TemperatureOffsetOff", "Py_TemperatureOffsetEnable", true, 1, {0}, 0, {}, {}},
        KeyCase{"WDRStyleOn", "Py_WDRStyle", true, 1, {1}, 0, {}, {}},
        KeyCase{"IRPixelFormat", "Py_IRPixelFormat", true, 4, Int(1), 0, {}, {}},
        KeyCase{"SaveRawAnySize", "Py_SaveRawToFImg", true, 0, {}, 0, {}, {}},
        // Camera commands.
        KeyCase{"RegisterSet", "Py_Register", true, 4, {0x34, 0x12, 7, 0}, 0,
                {{0x05, kSet, {0x34, 0x12, 7, 0}}, {0x05, kGet, {0x34, 0x12}}}, {}},
        KeyCase{"RegisterGet", "Py_Register", false, 4, {0x34, 0x12, 0, 0}, 0, {{0x05, kGet, {0x34, 0x12}}},
                {0x34, 0x12, 0x55, 0}},
        KeyCase{"DualFreqSet", "Py_DualFreqParams", true, 16, Cat({Int(2), Int(5), Int(1), Int(0)}), 0,
                {{0x08, kSet, {2, 5, 1, 0}}, {0x08, kGet, {}}}, {}},
        KeyCase{"DualFreqWrongTotal", "Py_DualFreqParams", true, 16, Cat({Int(3), Int(5), Int(1), Int(0)}), -15, {}, {}},
        KeyCase{"DualFreqGet", "Py_DualFreqParams", false, 16, {}, 0, {{0x08, kGet, {}}},
                Cat({Int(2), Int(0), Int(5), Int(0)})},
        KeyCase{"MeasuringRangeSet", "Py_MeasuringRange", true, 7, {3, 0xB8, 0x0B, 100, 0, 0x1C, 0x0C}, 0,
                {{0x11, kSet, {3, 0xB8, 0x0B, 100, 0, 0x1C, 0x0C}}, {0x11, kGet, {3}}}, {}},
        KeyCase{"MeasuringRangeGet", "Py_MeasuringRange", false, 7, {5}, 0, {{0x11, kGet, {5}}},
                {5, 0x47, 0x1D, 50, 0, 0x47, 0x1D}},
        KeyCase{"DataModeSet", "Py_DataMode", true, 4, Int(2), 0, {{0x06, kSet, {2}}, {0x06, kGet, {}}}, {}},
        KeyCase{"DataModeSetUnlisted", "Py_DataMode", true, 4, Int(4), -15, {}, {}},
        KeyCase{"DataModeGet", "Py_DataMode", false, 4, {}, 0, {{0x06, kGet, {}}}, Int(17)},
        KeyCase{"DepthRangeSet", "Py_DepthRange", true, 4, Int(3), 0, {{0x07, kSet, {3}}, {0x07, kGet, {}}}, {}},
        KeyCase{"DepthRangeGet", "Py_DepthRange", false, 4, {}, 0, {{0x07, kGet, {}}}, Int(3)},
        KeyCase{"LDStateSet", "Py_LDState", true, 4, Int(1), 0, {{0x12, kSet, {0x30, 1}}, {0x12, kGet, {0x30}}}, {}},
        KeyCase{"CDMAGet", "Py_CDMAEnable", false, 4, {}, 0, {{0x12, kGet, {0x31}}}, Int(0)},
        KeyCase{"APCGet", "Py_APCState", false, 4, {}, 0, {{0x13, kGet, {0x08}}}, Int(1)},
        KeyCase{"LDDriverChipSet", "Py_LDDriverChipType", true, 4, Int(2), 0,
                {{0x13, kSet, {0x09, 2}}, {0x13, kGet, {0x09}}}, {}},
        KeyCase{"LDTypeSet", "Py_LDType", true, 4, Int(1), 0, {{0x13, kSet, {0x0a, 1}}, {0x13, kGet, {0x0a}}}, {}},
        KeyCase{"DepthRangeListSet", "Py_DepthRangeList", true, 10, {3, 0, 1, 2}, 0,
                {{0x13, kSet, {0x06, 3, 0, 1, 2}}, {0x13, kGet, {0x06}}}, {}},
        KeyCase{"DepthRangeListGet", "Py_DepthRangeList", false, 10, {}, 0, {{0x13, kGet, {0x06}}},
                {6, 0, 1, 2, 3, 4, 5}},
        KeyCase{"DataModeListGet", "Py_DataModeList", false, 33, {}, 0, {{0x13, kGet, {0x07}}}, {3, 0, 1, 2}},
        KeyCase{"DspSet", "Py_DSP", true, 8, Cat({Int(3), {0, 1, 0, 0}}), 0,
                {{0x19, kSet, {0, 2, 1, 2, 1}}, {0x19, kGet, {0, 0x82, 1, 2}}}, {}},
        KeyCase{"DspGet", "Py_DSP", false, 8, Cat({Int(3), {0, 0, 0, 0}}), 0, {{0x19, kGet, {0, 0x82, 1, 2}}},
                Cat({Int(3), {0, 1}})},
        KeyCase{"TestModeSet", "Py_TestMode", true, 20, Cat({Int(1), Int(1), Int(2), Int(3), Int(4)}), 0,
                {{0x1e, kSet, {2, 1, 2, 3, 4}}}, {}},
        KeyCase{"HdrExposureSet", "Py_HDRExposureTime", true, 8, Cat({Int(0), Int(5)}), 0,
                {{0x03, kSet, {254, 0x88, 0x13, 0, 0}}, {0x03, kGet, {254}}}, {}},
        KeyCase{"HdrExposureGet", "Py_HDRExposureTime", false, 8, Cat({Int(9), Int(0)}), 0, {{0x03, kGet, {254}}},
                Cat({Int(9), Int(7)})},
        KeyCase{"ExposureMaxZero", "Py_ToFExposureTimeMax", false, 8, {}, 0, {{0x03, kGet, {255}}},
                Cat({Int(0), Int(1000)})}),
    [](const ::testing::TestParamInfo<KeyCase>& info) { return std::string(info.param.name); });
// clang-format on

class PropertyDispatchTest : public PluginFixture {};

TEST_F(PropertyDispatchTest, NullKeyIsNotSupported) {
    int value = 0;
    EXPECT_EQ(-255, m_tof->SetProperty(nullptr, &value, 4));
    EXPECT_EQ(-255, m_tof->GetProperty(nullptr, &value, 4));
}

TEST_F(PropertyDispatchTest, NullDataOfASizedKeyIsRefused) {
    EXPECT_EQ(-12, m_tof->SetProperty("Py_LDState", nullptr, 4));
    EXPECT_EQ(-12, m_tof->GetProperty("Py_DSP", nullptr, 8));
    EXPECT_TRUE(m_camera.control.SentCommands().empty());
}

TEST_F(PropertyDispatchTest, RefusalsAreLogged) {
    int value = 0;
    m_tof->SetProperty("Py_PhaseTiming", &value, 4);
    m_tof->SetProperty("Py_DataMode", &value, 2);
    const std::string log = Plugin::Get().LogText();
    EXPECT_NE(std::string::npos, log.find("<TOF-SIM> pKey:Py_PhaseTiming is not supported."));
    EXPECT_NE(std::string::npos, log.find("<TOF-SIM> dataSize:2 is invalid."));
}

TEST_F(PropertyDispatchTest, ListKeysLeaveTheFacadeListsAlone) {
    Bytes list = {2, 0, 1, 0, 0, 0, 0, 0, 0, 0};
    ASSERT_EQ(0, m_tof->SetProperty("Py_DepthRangeList", list.data(), 10));
    // The camera now lists two ranges, the plug-in still its six defaults.
    EXPECT_EQ(0, m_tof->SetDepthRange(4));
}

}  // namespace
}  // namespace toftest
