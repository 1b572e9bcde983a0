#include "Protocol.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "ReadBack.h"
#include "log.h"

namespace rc1720 {

namespace {

constexpr int kCmdResolution = 0x15;
constexpr int kCmdDsp = 0x19;
constexpr int kCmdColour = 0x22;

constexpr uint8_t kSubFirmware = 0x01;
constexpr uint8_t kSubBrightness = 0x02;
constexpr uint8_t kSubAEMaxExposure = 0x03;
constexpr uint8_t kSubManualState = 0x05;
constexpr uint8_t kSubManualTime = 0x06;
constexpr uint8_t kSubMaxExposure = 0x07;
constexpr uint8_t kSubGain = 0x08;
constexpr uint8_t kSubColourResolution = 0x02;

constexpr int kFirmwareBytes = 30;
constexpr int kResolutionReply = 64;
constexpr int kDspBuffer = 64;
constexpr int kReads = 5;
constexpr std::chrono::milliseconds kPause{10};

constexpr int32_t kDspItemUnused = 2;
constexpr int32_t kDspItemDistortion = 8;

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
void PutLe16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

}  // namespace

Protocol::Protocol(SleepFunction sleep)
    : m_sleep(sleep ? std::move(sleep) : [](std::chrono::milliseconds d) { std::this_thread::sleep_for(d); }) {}

void Protocol::LogFailure(const char* operation, int ret) {
    LOG_DEVICE_AS(operation, m_commonControl->GetDeviceSN(), "ret:%d is failed.", ret);
}

int Protocol::SetCmd(int cmd, uint8_t* buf, int bufSize, int len, CMDTYPE type) {
    const int ret = m_commonControl->SetCmd(cmd, reinterpret_cast<char*>(buf), bufSize,
                                            static_cast<unsigned char>(len), type);
    if (ret != 0) LOG_DEVICE(m_commonControl->GetDeviceSN(), "ret:%d is failed.", ret);
    return ret;
}

int Protocol::Get(uint8_t sub, uint8_t* buf, int size, const char* operation) {
    buf[0] = sub;
    const int ret = SetCmd(kCmdColour, buf, size, size, CMDTYPE_GET);
    if (ret != 0) LogFailure(operation, ret);
    return ret;
}

int Protocol::Set(uint8_t sub, uint8_t* buf, int size, const char* operation) {
    buf[0] = sub;
    const int ret = SetCmd(kCmdColour, buf, size, size, CMDTYPE_SET);
    if (ret != 0) LogFailure(operation, ret);
    return ret;
}

int Protocol::GetRGBFWVersion(char* text, int& length) {
    if (!m_commonControl) return -1;
    uint8_t buf[1 + kFirmwareBytes] = {};
    const int ret = Get(kSubFirmware, buf, sizeof(buf), __func__);
    if (ret != 0) return ret;
    length = std::clamp(length, 0, kFirmwareBytes);
    if (text != nullptr) std::memcpy(text, buf + 1, static_cast<size_t>(length));
    return 0;
}

int Protocol::GetRGBBrightness(int& value) {
    if (!m_commonControl) return -1;
    uint8_t buf[2] = {};
    const int ret = Get(kSubBrightness, buf, sizeof(buf), __func__);
    if (ret == 0) value = static_cast<int8_t>(buf[1]);
    return ret;
}

int Protocol::SetRGBBrightness(int value) {
    if (!m_commonControl) return -1;
    if (value < INT8_MIN || value > INT8_MAX) {
        LOG_DEVICE(m_commonControl->GetDeviceSN(), "value:%d is invalid.", value);
        return -15;
    }
    uint8_t buf[2] = {0, static_cast<uint8_t>(value)};
    int ret = Set(kSubBrightness, buf, sizeof(buf), __func__);
    if (ret != 0) return ret;
    int got = 0;
    ret = ReadBack(kReads, kPause, m_sleep, [&](bool& matched) {
        const int r = GetRGBBrightness(got);
        matched = got == value;
        return r;
    });
    if (ret == -105) LOG_DEVICE(m_commonControl->GetDeviceSN(), "Set RGBBrightness value:%d; Get value_:%d .", value, got);
    return ret;
}

int Protocol::GetAEMaxExposureTime(uint8_t& value) {
    if (!m_commonControl) return -1;
    uint8_t buf[2] = {};
    const int ret = Get(kSubAEMaxExposure, buf, sizeof(buf), __func__);
    if (ret == 0) value = buf[1];
    return ret;
}

int Protocol::SetAEMaxExposureTime(uint8_t value) {
    if (!m_commonControl) return -1;
    uint8_t buf[2] = {0, value};
    int ret = Set(kSubAEMaxExposure, buf, sizeof(buf), __func__);
    if (ret != 0) return ret;
    uint8_t got = 0;
    ret = ReadBack(kReads, kPause, m_sleep, [&](bool& matched) {
        const int r = GetAEMaxExposureTime(got);
        matched = got == value;
        return r;
    });
    if (ret == -105) LOG_DEVICE(m_commonControl->GetDeviceSN(), "Set AEMaxExposureTime value:%d; Get  value_:%d .", value, got);
    return ret;
}

int Protocol::GetRGBManualExposureState(uint8_t& manual) {
    if (!m_commonControl) return -1;
    uint8_t buf[2] = {};
    const int ret = Get(kSubManualState, buf, sizeof(buf), __func__);
    if (ret == 0) manual = buf[1] == 1 ? 1 : 0;
    return ret;
}

int Protocol::SetRGBManualExposureState(uint8_t state) {
    if (!m_commonControl) return -1;
    // The camera knows 1 (manual) and 3 (automatic).
    uint8_t buf[2] = {0, static_cast<uint8_t>(state == 1 ? 1 : 3)};
    int ret = Set(kSubManualState, buf, sizeof(buf), __func__);
    if (ret != 0) return ret;
    uint8_t got = 0;
    ret = ReadBack(kReads, kPause, m_sleep, [&](bool& matched) {
        const int r = GetRGBManualExposureState(got);
        matched = got == state;
        return r;
    });
    if (ret == -105) LOG_DEVICE(m_commonControl->GetDeviceSN(), "Set RGBManualExposureState value:%d; Get value_:%d .", state, got);
    return ret;
}

int Protocol::GetRGBManualExposureTime(uint16_t& value) {
    if (!m_commonControl) return -1;
    uint8_t buf[3] = {};
    const int ret = Get(kSubManualTime, buf, sizeof(buf), __func__);
    if (ret == 0) value = Le16(buf + 1);
    return ret;
}

int Protocol::SetRGBManualExposureTime(uint16_t value) {
    if (!m_commonControl) return -1;
    uint8_t buf[3] = {};
    PutLe16(buf + 1, value);
    int ret = Set(kSubManualTime, buf, sizeof(buf), __func__);
    if (ret != 0) return ret;
    uint16_t got = 0;
    ret = ReadBack(kReads, kPause, m_sleep, [&](bool& matched) {
        const int r = GetRGBManualExposureTime(got);
        matched = got == value;
        return r;
    });
    if (ret == -105) LOG_DEVICE(m_commonControl->GetDeviceSN(), "Set RGBManualExposureTime value:%d; Get value_:%d .", value, got);
    return ret;
}

int Protocol::GetRGBMaxExposureTime(uint8_t& value) {
    if (!m_commonControl) return -1;
    uint8_t buf[2] = {};
    const int ret = Get(kSubMaxExposure, buf, sizeof(buf), __func__);
    if (ret == 0) value = buf[1];
    return ret;
}

int Protocol::GetRGBGain(float& gain) {
    if (!m_commonControl) return -1;
    uint8_t buf[5] = {};
    const int ret = Get(kSubGain, buf, sizeof(buf), __func__);
    if (ret == 0) std::memcpy(&gain, buf + 1, sizeof(gain));
    return ret;
}

int Protocol::SetRGBGain(float gain) {
    if (!m_commonControl) return -1;
    uint8_t buf[5] = {};
    std::memcpy(buf + 1, &gain, sizeof(gain));
    int ret = Set(kSubGain, buf, sizeof(buf), __func__);
    if (ret != 0) return ret;
    float got = 0;
    ret = ReadBack(kReads, kPause, m_sleep, [&](bool& matched) {
        const int r = GetRGBGain(got);
        matched = got == gain;
        return r;
    });
    if (ret == -105) LOG_DEVICE(m_commonControl->GetDeviceSN(), "Set RGBGain value:%f; Get value_:%f .", gain, got);
    return ret;
}

int Protocol::GetColorResolution(int& width, int& height) {
    if (!m_commonControl) return -1;
    uint8_t buf[kResolutionReply] = {kSubColourResolution};
    const int ret = SetCmd(kCmdResolution, buf, sizeof(buf), 1, CMDTYPE_GET);
    if (ret != 0) {
        LogFailure(__func__, ret);
        return ret;
    }
    width = Le16(buf + 2);
    height = Le16(buf + 4);
    return 0;
}

int Protocol::SetColorResolution(int width, int height) {
    if (!m_commonControl) return -1;
    if (width < 0 || width > UINT16_MAX || height < 0 || height > UINT16_MAX) {
        LOG_DEVICE(m_commonControl->GetDeviceSN(), "w:%d, h:%d is invalid.", width, height);
        return -15;
    }
    uint8_t buf[8] = {kSubColourResolution, 1};
    PutLe16(buf + 2, static_cast<uint16_t>(width));
    PutLe16(buf + 4, static_cast<uint16_t>(height));
    int ret = SetCmd(kCmdResolution, buf, sizeof(buf), sizeof(buf), CMDTYPE_SET);
    if (ret != 0) {
        LogFailure(__func__, ret);
        return ret;
    }
    int gotWidth = 0;
    int gotHeight = 0;
    ret = ReadBack(kReads, kPause, m_sleep, [&](bool& matched) {
        const int r = GetColorResolution(gotWidth, gotHeight);
        matched = gotWidth == width && gotHeight == height;
        return r;
    });
    if (ret == -105) {
        LOG_DEVICE(m_commonControl->GetDeviceSN(), "Set ColorResolution w:%d, h:%d; Get w_:%d h_:%d.", width,
                   height, gotWidth, gotHeight);
    }
    return ret;
}

int Protocol::QueryDsp(DSPParameters& params, const char* operation) {
    uint8_t buf[kDspBuffer] = {params.option};
    if (params.DSPConfig == kDspItemUnused) {
        buf[1] = 0x81;
        buf[2] = 3;
    } else {
        buf[1] = 0x82;
        buf[2] = 3;
        buf[3] = 1;
    }
    const int ret = SetCmd(kCmdDsp, buf, sizeof(buf), sizeof(buf), CMDTYPE_GET);
    if (ret != 0) {
        LogFailure(operation, ret);
        return ret;
    }
    params.enable = params.DSPConfig == kDspItemUnused ? buf[3] : buf[4];
    LOG_DEVICE(m_commonControl->GetDeviceSN(), "option:%d  DSPConfig:%d  enable:%d threshold:%d", params.option,
               params.DSPConfig, params.enable, params.threshold);
    return 0;
}

int Protocol::GetDspStatus(DSPParameters& params) {
    if (!m_commonControl) return -1;
    if (params.DSPConfig != kDspItemUnused && params.DSPConfig != kDspItemDistortion) {
        LOG_DEVICE(m_commonControl->GetDeviceSN(), "type:%d is invalid.", params.DSPConfig);
        return -255;
    }
    DSPParameters read = params;
    const int ret = QueryDsp(read, __func__);
    if (ret == 0) params = read;
    return ret;
}

int Protocol::SetDspStatus(const DSPParameters& params) {
    if (!m_commonControl) return -1;
    if (params.DSPConfig != kDspItemUnused && params.DSPConfig != kDspItemDistortion) {
        LOG_DEVICE(m_commonControl->GetDeviceSN(), "type:%d is invalid.", params.DSPConfig);
        return -255;
    }
    uint8_t buf[kDspBuffer] = {params.option};
    if (params.DSPConfig == kDspItemUnused) {
        buf[1] = 1;
        buf[2] = 3;
        buf[3] = params.enable;
    } else {
        buf[1] = 2;
        buf[2] = 3;
        buf[3] = 1;
        buf[4] = params.enable;
    }
    int ret = SetCmd(kCmdDsp, buf, sizeof(buf), sizeof(buf), CMDTYPE_SET);
    if (ret != 0) {
        LogFailure(__func__, ret);
        return ret;
    }
    DSPParameters got = params;
    ret = ReadBack(kReads, kPause, m_sleep, [&](bool& matched) {
        const int r = QueryDsp(got, "GetDspStatus");
        matched = got.enable == params.enable;
        return r;
    });
    if (ret == -105) {
        LOG_DEVICE(m_commonControl->GetDeviceSN(),
                   "Set DspStatus option:%d  DSPConfig:%d  enable:%d threshold:%d ; Get enable:%d threshold:%d",
                   params.option, params.DSPConfig, params.enable, params.threshold, got.enable, got.threshold);
    }
    return ret;
}

}  // namespace rc1720
