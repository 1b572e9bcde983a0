#include "Protocol.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "ByteOrder.h"
#include "ColorCommands.h"
#include "StatusCodes.h"
#include "log.h"

namespace rc1720 {

namespace {

using namespace colorcmd;

constexpr int kFirmwareBytes = 30;       // the firmware text's room in its reply
constexpr int kResolutionReply = 64;     // a whole reply payload
constexpr int kDspBuffer = 64;           // a DSP command always carries a whole payload
constexpr int kValueBuffer = 5;          // sub-id and the widest value, the gain's float
constexpr uint8_t kResolutionApply = 1;  // byte 1 of every resolution set
// The camera knows 1 (manual) and 3 (automatic) as manual-exposure states.
constexpr uint8_t kManual = 1;
constexpr uint8_t kAutomatic = 3;

bool KnownDsp(int32_t config) { return config == kDspConfigSwitch || config == kDspConfigDistortion; }

const dspcmd::DspItem& DspItemOf(int32_t config) {
    return config == kDspConfigDistortion ? kDspDistortion : kDspSwitch;
}

}  // namespace

Protocol::Protocol(SleepFunction sleep) : m_sleep(sleep ? std::move(sleep) : linktiming::SleepFor) {}

void Protocol::LogFailure(const char* operation, int ret) {
    LOG_DEVICE_AS(operation, m_commonControl->GetDeviceSN(), "ret:%d is failed.", ret);
}

int Protocol::SetCmd(int cmd, uint8_t* buf, int bufSize, int len, CMDTYPE type) {
    const int ret =
        m_commonControl->SetCmd(cmd, reinterpret_cast<char*>(buf), bufSize, static_cast<unsigned char>(len), type);
    if (ret != 0) LOG_DEVICE(m_commonControl->GetDeviceSN(), "ret:%d is failed.", ret);
    return ret;
}

int Protocol::Send(int cmd, void* buf, int bufSize, int len, CMDTYPE type, const char* operation) {
    const int ret = SetCmd(cmd, static_cast<uint8_t*>(buf), bufSize, len, type);
    if (ret != 0) LogFailure(operation, ret);
    return ret;
}

// The colour values of command 0x22: the sub-id, the bytes both ways, and the words of the
// read-back line "Set <name> value:..; Get<gap>value_:.. .".
struct ColourValue {
    uint8_t sub;
    int size;
    const char* name;
    const char* gap;
};

namespace {

const ColourValue kBrightness{kSubBrightness, 2, "RGBBrightness", " "};
const ColourValue kAEMaxExposure{kSubAEMaxExposure, 2, "AEMaxExposureTime", "  "};  // its line has two spaces
const ColourValue kManualState{kSubManualState, 2, "RGBManualExposureState", " "};
const ColourValue kManualTime{kSubManualTime, 3, "RGBManualExposureTime", " "};
const ColourValue kMaxExposure{kSubMaxExposure, 2, "RGBMaxExposureTime", " "};  // read only
const ColourValue kGain{kSubGain, 5, "RGBGain", " "};

}  // namespace

template <typename Value, typename Decode>
int Protocol::GetValue(const ColourValue& item, const char* operation, Value& value, Decode&& decode) {
    if (!m_commonControl) return status::kFailed;
    uint8_t buf[kValueBuffer] = {item.sub};
    const int ret = Send(kColour, buf, item.size, item.size, CMDTYPE_GET, operation);
    if (ret == 0) value = decode(buf + 1);
    return ret;
}

template <typename Value>
int Protocol::SetValue(const ColourValue& item, uint8_t* buf, const char* operation, Value want,
                       int (Protocol::*get)(Value&)) {
    if (!m_commonControl) return status::kFailed;
    buf[0] = item.sub;
    Value got{};
    const Confirmation set = m_sets.Set(
        kColour, buf, item.size, operation, [&] { return (this->*get)(got); }, [&] { return got == want; });
    if (!set.writeLine) return set.result;
    const char* tag = m_commonControl->GetDeviceSN();
    if constexpr (std::is_floating_point_v<Value>) {
        LOG_DEVICE_AS(operation, tag, "Set %s value:%f; Get%svalue_:%f .", item.name, want, item.gap, got);
    } else {
        LOG_DEVICE_AS(operation, tag, "Set %s value:%d; Get%svalue_:%d .", item.name, static_cast<int>(want), item.gap,
                      static_cast<int>(got));
    }
    return set.result;
}

int Protocol::GetRGBFWVersion(char* text, int& length) {
    if (!m_commonControl) return status::kFailed;
    uint8_t buf[1 + kFirmwareBytes] = {kSubFirmware};
    const int ret = Send(kColour, buf, sizeof(buf), sizeof(buf), CMDTYPE_GET, __func__);
    if (ret != 0) return ret;
    length = std::clamp(length, 0, kFirmwareBytes);
    if (text != nullptr) std::memcpy(text, buf + 1, static_cast<size_t>(length));
    return 0;
}

int Protocol::GetRGBBrightness(int& value) {
    return GetValue(kBrightness, __func__, value, [](const uint8_t* at) { return static_cast<int8_t>(at[0]); });
}

int Protocol::SetRGBBrightness(int value) {
    if (!m_commonControl) return status::kFailed;
    if (value < INT8_MIN || value > INT8_MAX) {
        LOG_DEVICE(m_commonControl->GetDeviceSN(), "value:%d is invalid.", value);
        return status::kInvalidParameter;
    }
    uint8_t buf[kValueBuffer] = {0, static_cast<uint8_t>(value)};
    return SetValue(kBrightness, buf, __func__, value, &Protocol::GetRGBBrightness);
}

int Protocol::GetAEMaxExposureTime(uint8_t& value) {
    return GetValue(kAEMaxExposure, __func__, value, [](const uint8_t* at) { return at[0]; });
}

int Protocol::SetAEMaxExposureTime(uint8_t value) {
    uint8_t buf[kValueBuffer] = {0, value};
    return SetValue(kAEMaxExposure, buf, __func__, value, &Protocol::GetAEMaxExposureTime);
}

int Protocol::GetRGBManualExposureState(uint8_t& manual) {
    return GetValue(kManualState, __func__, manual,
                    [](const uint8_t* at) { return static_cast<uint8_t>(at[0] == kManual ? 1 : 0); });
}

int Protocol::SetRGBManualExposureState(uint8_t state) {
    uint8_t buf[kValueBuffer] = {0, state == 1 ? kManual : kAutomatic};
    return SetValue(kManualState, buf, __func__, state, &Protocol::GetRGBManualExposureState);
}

int Protocol::GetRGBManualExposureTime(uint16_t& value) {
    return GetValue(kManualTime, __func__, value,
                    [](const uint8_t* at) { return static_cast<uint16_t>(byteorder::GetLe16(at)); });
}

int Protocol::SetRGBManualExposureTime(uint16_t value) {
    uint8_t buf[kValueBuffer] = {};
    byteorder::PutLe16(buf + 1, value);
    return SetValue(kManualTime, buf, __func__, value, &Protocol::GetRGBManualExposureTime);
}

int Protocol::GetRGBMaxExposureTime(uint8_t& value) {
    return GetValue(kMaxExposure, __func__, value, [](const uint8_t* at) { return at[0]; });
}

int Protocol::GetRGBGain(float& gain) {
    return GetValue(kGain, __func__, gain, [](const uint8_t* at) { return byteorder::GetLeFloat(at); });
}

int Protocol::SetRGBGain(float gain) {
    uint8_t buf[kValueBuffer] = {};
    byteorder::PutLeFloat(buf + 1, gain);
    return SetValue(kGain, buf, __func__, gain, &Protocol::GetRGBGain);
}

int Protocol::GetColorResolution(int& width, int& height) {
    if (!m_commonControl) return status::kFailed;
    uint8_t buf[kResolutionReply] = {kSubColourResolution};
    const int ret = Send(kResolution, buf, sizeof(buf), 1, CMDTYPE_GET, __func__);
    if (ret != 0) return ret;
    width = static_cast<int>(byteorder::GetLe16(buf + 2));
    height = static_cast<int>(byteorder::GetLe16(buf + 4));
    return 0;
}

int Protocol::SetColorResolution(int width, int height) {
    if (!m_commonControl) return status::kFailed;
    if (width < 0 || width > UINT16_MAX || height < 0 || height > UINT16_MAX) {
        LOG_DEVICE(m_commonControl->GetDeviceSN(), "w:%d, h:%d is invalid.", width, height);
        return status::kInvalidParameter;
    }
    uint8_t buf[8] = {kSubColourResolution, kResolutionApply};
    byteorder::PutLe16(buf + 2, static_cast<uint32_t>(width));
    byteorder::PutLe16(buf + 4, static_cast<uint32_t>(height));
    int gotWidth = 0;
    int gotHeight = 0;
    const Confirmation set = m_sets.Set(
        kResolution, buf, sizeof(buf), __func__, [&] { return GetColorResolution(gotWidth, gotHeight); },
        [&] { return gotWidth == width && gotHeight == height; });
    if (set.writeLine) {
        LOG_DEVICE(m_commonControl->GetDeviceSN(), "Set ColorResolution w:%d, h:%d; Get w_:%d h_:%d.", width, height,
                   gotWidth, gotHeight);
    }
    return set.result;
}

int Protocol::QueryDsp(DSPParameters& params, const char* operation) {
    uint8_t buf[kDspBuffer] = {};
    const dspcmd::DspItem& item = DspItemOf(params.DSPConfig);
    dspcmd::FillDsp(buf, item, params, true);
    const int ret = Send(dspcmd::kDsp, buf, sizeof(buf), sizeof(buf), CMDTYPE_GET, operation);
    if (ret != 0) return ret;
    dspcmd::ReadDsp(buf, item, params);
    LOG_DEVICE(m_commonControl->GetDeviceSN(), "option:%d  DSPConfig:%d  enable:%d threshold:%d", params.option,
               params.DSPConfig, params.enable, params.threshold);
    return 0;
}

int Protocol::GetDspStatus(DSPParameters& params) {
    if (!m_commonControl) return status::kFailed;
    if (!KnownDsp(params.DSPConfig)) {
        LOG_DEVICE(m_commonControl->GetDeviceSN(), "type:%d is invalid.", params.DSPConfig);
        return status::kNotMine;
    }
    DSPParameters read = params;
    const int ret = QueryDsp(read, __func__);
    if (ret == 0) params = read;
    return ret;
}

int Protocol::SetDspStatus(const DSPParameters& params) {
    if (!m_commonControl) return status::kFailed;
    if (!KnownDsp(params.DSPConfig)) {
        LOG_DEVICE(m_commonControl->GetDeviceSN(), "type:%d is invalid.", params.DSPConfig);
        return status::kNotMine;
    }
    uint8_t buf[kDspBuffer] = {};
    dspcmd::FillDsp(buf, DspItemOf(params.DSPConfig), params, false);
    DSPParameters got = params;
    const Confirmation set = m_sets.Set(
        dspcmd::kDsp, buf, sizeof(buf), __func__, [&] { return QueryDsp(got, "GetDspStatus"); },
        [&] { return got.enable == params.enable; });
    if (set.writeLine) {
        LOG_DEVICE(m_commonControl->GetDeviceSN(),
                   "Set DspStatus option:%d  DSPConfig:%d  enable:%d threshold:%d ; Get enable:%d threshold:%d",
                   params.option, params.DSPConfig, params.enable, params.threshold, got.enable, got.threshold);
    }
    return set.result;
}

}  // namespace rc1720
