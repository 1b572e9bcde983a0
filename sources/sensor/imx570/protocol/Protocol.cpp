#include "Protocol.h"

#include <cstring>
#include <set>

#include "log.h"

namespace {

constexpr int kCmdInitParams = 0x01;
constexpr int kCmdExposure = 0x03;
constexpr int kCmdRegister = 0x05;
constexpr int kCmdDataMode = 0x06;
constexpr int kCmdDepthRange = 0x07;
constexpr int kCmdDualFreq = 0x08;
constexpr int kCmdMeasuringRange = 0x11;
constexpr int kCmdLaser = 0x12;
constexpr int kCmdSensorInfo = 0x13;
constexpr int kCmdGain = 0x15;
constexpr int kCmdDsp = 0x19;
constexpr int kCmdTestMode = 0x1e;

constexpr uint8_t kSubLDState = 0x30;
constexpr uint8_t kSubCDMAState = 0x31;
constexpr uint8_t kSubAPCState = 0x08;
constexpr uint8_t kSubLDDriverChipType = 0x09;
constexpr uint8_t kSubLDType = 0x0a;
constexpr uint8_t kSubDepthRangeList = 0x06;
constexpr uint8_t kSubOutModeList = 0x07;
constexpr uint8_t kSubIRGMMGain = 0x04;

constexpr int kPayload = 64;
constexpr int kRegisterPayload = 8;
constexpr int kListHead = 2;  // sub-id, count
constexpr int kDualRanges = 2;
constexpr uint8_t kDspGetBit = 0x80;
constexpr uint8_t kDspClassSwitch = 1;
constexpr uint8_t kDspClassItem = 2;
constexpr int kConfidenceConfig = 10;
constexpr uint8_t kConfidenceItem = 6;
constexpr uint16_t kConfidenceExtra = 4600;
constexpr int kTestModeBytes = 5;
constexpr int kTestModeWithRegisters = 1;

constexpr int kKeyOutModeList = 0x0E000001;
constexpr int kKeyDepthRangeList = 0x0E000002;
constexpr int kKeyDspStatus = 0x0E000017;

void PutU16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void PutU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint16_t GetU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t GetU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

bool FitsByte(int value) { return value >= 0 && value <= UINT8_MAX; }
bool FitsSignedByte(int value) { return value >= INT8_MIN && value <= INT8_MAX; }

}  // namespace

// Where a DSP item sits in the 0x19 payload: class, target and item, and the width of its
// threshold in a set and in a get (0 none). Class 0 items carry nothing on this side.
struct Protocol::DspLayout {
    uint8_t cls;
    uint8_t target;
    uint8_t item;
    int setThreshold;
    int getThreshold;
    bool extra;  // 4600 in bytes 7-8 of a set
    bool comparesThreshold;

    static DspLayout For(int config) {
        switch (config) {
            case 0: return {kDspClassSwitch, 1, 0, 0, 0, false, false};
            case 1: return {kDspClassSwitch, 2, 0, 0, 0, false, false};
            case 3: return {kDspClassItem, 1, 2, 0, 0, false, false};
            case 4: return {kDspClassItem, 1, 3, 0, 0, false, false};
            case 5: return {kDspClassItem, 1, 4, 1, 1, false, true};
            case 6: return {kDspClassItem, 1, 1, 0, 0, false, false};
            case 7: return {kDspClassItem, 1, 5, 0, 0, false, false};
            case 9: return {kDspClassItem, 2, 1, 0, 0, false, false};
            case kConfidenceConfig: return {kDspClassItem, 1, kConfidenceItem, 2, 2, true, true};
            case 11: return {kDspClassItem, 1, 7, 2, 2, false, true};
            case 12: return {kDspClassItem, 1, 8, 1, 1, false, true};
            case 13: return {kDspClassItem, 1, 9, 0, 0, false, false};
            case 14: return {kDspClassItem, 1, 10, 2, 2, false, true};
            case 15: return {kDspClassItem, 1, 11, 0, 2, false, false};
            default: return {0, 0, 0, 0, 0, false, false};
        }
    }

    void Fill(uint8_t* buf, const DSPParameters& p, bool get) const {
        buf[0] = p.option;
        if (cls == 0) return;
        buf[1] = static_cast<uint8_t>(cls | (get ? kDspGetBit : 0));
        buf[2] = target;
        if (cls == kDspClassSwitch) {
            if (!get) buf[3] = p.enable;
            return;
        }
        buf[3] = item;
        if (get) return;
        buf[4] = p.enable;
        if (setThreshold == 1) buf[5] = static_cast<uint8_t>(p.threshold);
        if (setThreshold == 2) PutU16(buf + 5, p.threshold);
        if (extra) PutU16(buf + 7, kConfidenceExtra);
    }

    void Read(const uint8_t* buf, DSPParameters& p) const {
        if (cls == kDspClassSwitch) p.enable = buf[3];
        if (cls != kDspClassItem) return;
        p.enable = buf[4];
        if (getThreshold == 1) p.threshold = buf[5];
        if (getThreshold == 2) p.threshold = GetU16(buf + 5);
    }
};

Protocol::Protocol(linktiming::SleepFunction sleep) : m_sleep(std::move(sleep)) {}

void Protocol::SetCommonControl(CommonControl* control) { m_commonControl = control; }

const char* Protocol::Tag() const {
    CommonControl* control = m_commonControl;
    return control ? control->GetDeviceSN() : "null";
}

int Protocol::Exchange(int cmd, void* buf, int bufSize, int len, CMDTYPE type) {
    CommonControl* control = m_commonControl;
    if (!control) return -1;
    return control->SetCmd(cmd, static_cast<char*>(buf), bufSize, static_cast<unsigned char>(len), type);
}

int Protocol::Command(int cmd, void* buf, int bufSize, int len, CMDTYPE type) {
    const int ret = Exchange(cmd, buf, bufSize, len, type);
    if (ret != 0) LOG_DEVICE(Tag(), "ret:%d is failed.", ret);
    return ret;
}

template <typename Read>
int Protocol::ReadBack(Read read) {
    for (int i = 0; i < linktiming::kReadBackReads; ++i) {
        bool matched = false;
        const int ret = read(matched);
        if (ret != 0) return ret;
        if (matched) return 0;
        m_sleep(linktiming::kReadBackPause);
    }
    return -105;
}

int Protocol::SendCameraInitParamsEnable(bool enable) {
    uint8_t buf[kPayload] = {static_cast<uint8_t>(enable ? 1 : 0)};
    return Command(kCmdInitParams, buf, sizeof(buf), sizeof(buf), CMDTYPE_SET);
}

int Protocol::QueryExposure(uint8_t range, uint32_t& exposure) {
    uint8_t buf[sizeof(ExposureTime)] = {range};
    const int ret = Exchange(kCmdExposure, buf, sizeof(buf), sizeof(buf), CMDTYPE_GET);
    if (ret == 0) exposure = GetU32(buf + 1);
    return ret;
}

int Protocol::GetToFExposureTime(ExposureTime* exposure) {
    if (!exposure) return -12;
    uint32_t value = 0;
    const int ret = QueryExposure(exposure->range, value);
    if (ret != 0) {
        LOG_DEVICE(Tag(), "ret:%d is failed.", ret);
        return ret;
    }
    exposure->exposureTime = value;
    return 0;
}

int Protocol::SetToFExposureTime(const ExposureTime& exposure) {
    uint8_t buf[sizeof(ExposureTime)] = {exposure.range};
    PutU32(buf + 1, exposure.exposureTime);
    int ret = Command(kCmdExposure, buf, sizeof(buf), sizeof(buf), CMDTYPE_SET);
    if (ret != 0) return ret;
    uint32_t last = 0;
    ret = ReadBack([&](bool& matched) {
        const int r = QueryExposure(exposure.range, last);
        matched = last == exposure.exposureTime;
        return r;
    });
    if (ret != 0)
        LOG_DEVICE(Tag(), "Set range:%d exposureTime:%d; Get range:%d exposureTime:%d.", exposure.range,
                   static_cast<int>(exposure.exposureTime), exposure.range, static_cast<int>(last));
    return ret;
}

int Protocol::QueryRegister(uint16_t address, uint16_t& value) {
    uint8_t buf[kRegisterPayload] = {};
    PutU16(buf, address);
    const int ret = Exchange(kCmdRegister, buf, sizeof(buf), sizeof(buf), CMDTYPE_GET);
    if (ret == 0) value = GetU16(buf + 2);
    return ret;
}

int Protocol::GetRegVal(uint16_t address, uint16_t* value) {
    if (!value) return -12;
    const int ret = QueryRegister(address, *value);
    if (ret != 0) LOG_DEVICE(Tag(), "ret:%d is failed.", ret);
    return ret;
}

int Protocol::SetRegVal(uint16_t address, uint16_t value) {
    uint8_t buf[kRegisterPayload] = {};
    PutU16(buf, address);
    PutU16(buf + 2, value);
    int ret = Command(kCmdRegister, buf, sizeof(buf), sizeof(buf), CMDTYPE_SET);
    if (ret != 0) return ret;
    uint16_t last = 0;
    ret = ReadBack([&](bool& matched) {
        const int r = QueryRegister(address, last);
        matched = last == value;
        return r;
    });
    if (ret != 0) LOG_DEVICE(Tag(), "Set RegVal val:%d; Get val:%d .", value, last);
    return ret;
}

int Protocol::QueryByte(int cmd, uint8_t request, uint8_t& value) {
    uint8_t buf[1] = {request};
    const int ret = Exchange(cmd, buf, sizeof(buf), sizeof(buf), CMDTYPE_GET);
    if (ret == 0) value = buf[0];
    return ret;
}

int Protocol::GetDataMode(uint8_t* mode) {
    if (!mode) return -12;
    const int ret = QueryByte(kCmdDataMode, *mode, *mode);
    if (ret != 0) LOG_DEVICE(Tag(), "ret:%d is failed.", ret);
    return ret;
}

int Protocol::SetDataMode(const uint8_t& mode) {
    const uint8_t want = mode;
    uint8_t buf[1] = {want};
    int ret = Command(kCmdDataMode, buf, sizeof(buf), sizeof(buf), CMDTYPE_SET);
    if (ret != 0) return ret;
    uint8_t last = 0;
    ret = ReadBack([&](bool& matched) {
        const int r = QueryByte(kCmdDataMode, 0, last);
        matched = last == want;
        return r;
    });
    if (ret != 0) LOG_DEVICE(Tag(), "Set DataMode:%d; Get DataMode:%d.", want, last);
    return ret;
}

int Protocol::GetDepthRange(int& range) {
    uint8_t value = 0;
    const int ret = QueryByte(kCmdDepthRange, 0, value);
    if (ret != 0) {
        LOG_DEVICE(Tag(), "ret:%d is failed.", ret);
        return ret;
    }
    range = static_cast<int8_t>(value);
    return 0;
}

int Protocol::SetDepthRange(const DepthRange& range) {
    const int want = range;
    // The read-back reports a signed byte: nothing else could be confirmed.
    if (!FitsSignedByte(want)) {
        LOG_DEVICE(Tag(), "DepthRange:%d is invalid.", want);
        return -15;
    }
    uint8_t buf[1] = {static_cast<uint8_t>(want)};
    int ret = Command(kCmdDepthRange, buf, sizeof(buf), sizeof(buf), CMDTYPE_SET);
    if (ret != 0) return ret;
    uint8_t last = 0;
    ret = ReadBack([&](bool& matched) {
        const int r = QueryByte(kCmdDepthRange, 0, last);
        matched = static_cast<int8_t>(last) == want;
        return r;
    });
    if (ret != 0) LOG_DEVICE(Tag(), "Set DepthRange:%d; GetDepthRange:%d", want, static_cast<int8_t>(last));
    return ret;
}

int Protocol::QueryDualFreq(DualRangeParams& params) {
    uint8_t buf[4] = {};
    const int ret = Exchange(kCmdDualFreq, buf, sizeof(buf), sizeof(buf), CMDTYPE_GET);
    if (ret == 0) {
        params = DualRangeParams{static_cast<int8_t>(buf[0]), static_cast<int8_t>(buf[1]),
                                 static_cast<int8_t>(buf[2]), static_cast<int8_t>(buf[3])};
    }
    return ret;
}

int Protocol::GetDualFreqMode(DualRangeParams* params) {
    if (!params) return -12;
    const int ret = QueryDualFreq(*params);
    if (ret != 0) LOG_DEVICE(Tag(), "ret:%d is failed.", ret);
    return ret;
}

int Protocol::SetDualFreqMode(DualRangeParams& params) {
    if (params.totalRange != kDualRanges) {
        LOG_DEVICE(Tag(), "wdr range count:%d is invalid.", params.totalRange);
        return -15;
    }
    if (!FitsSignedByte(params.range1) || !FitsSignedByte(params.range2) || !FitsSignedByte(params.range3)) {
        LOG_DEVICE(Tag(), "wdr ranges:%d %d %d are invalid.", params.range1, params.range2, params.range3);
        return -15;
    }
    uint8_t buf[4] = {kDualRanges, static_cast<uint8_t>(params.range1), static_cast<uint8_t>(params.range2),
                      static_cast<uint8_t>(params.range3)};
    int ret = Command(kCmdDualFreq, buf, sizeof(buf), sizeof(buf), CMDTYPE_SET);
    if (ret != 0) return ret;
    DualRangeParams last{};
    ret = ReadBack([&](bool& matched) {
        const int r = QueryDualFreq(last);
        matched = last.totalRange == params.totalRange && last.range1 == params.range1 &&
                  last.range2 == params.range2 && last.range3 == params.range3;
        return r;
    });
    if (ret != 0)
        LOG_DEVICE(Tag(),
                   "Set totalRange:%d, range1:%d, range2:%d,  range3:%d; Get totalRange:%d  range1:%d  range2:%d  "
                   "range3:%d ",
                   params.totalRange, params.range1, params.range2, params.range3, last.totalRange, last.range1,
                   last.range2, last.range3);
    return ret;
}

int Protocol::QueryMeasuringRange(MeasuringRange& range) {
    uint8_t buf[sizeof(MeasuringRange)] = {range.range};
    const int ret = Exchange(kCmdMeasuringRange, buf, sizeof(buf), 1, CMDTYPE_GET);
    if (ret == 0) std::memcpy(&range, buf, sizeof(range));
    return ret;
}

int Protocol::GetMeasuringRange(MeasuringRange& range) {
    const int ret = QueryMeasuringRange(range);
    if (ret != 0) LOG_DEVICE(Tag(), "ret:%d is failed.", ret);
    return ret;
}

int Protocol::SetMeasuringRange(const MeasuringRange& range) {
    uint8_t buf[sizeof(MeasuringRange)];
    std::memcpy(buf, &range, sizeof(buf));
    int ret = Command(kCmdMeasuringRange, buf, sizeof(buf), sizeof(buf), CMDTYPE_SET);
    if (ret != 0) return ret;
    MeasuringRange last{};
    ret = ReadBack([&](bool& matched) {
        last = MeasuringRange{};
        last.range = range.range;
        const int r = QueryMeasuringRange(last);
        matched = last.depthMax == range.depthMax && last.effectDepthMax == range.effectDepthMax &&
                  last.effectDepthMin == range.effectDepthMin;
        return r;
    });
    if (ret != 0)
        LOG_DEVICE(Tag(),
                   "Set MeasuringRange range:%d, depthMax:%d, effectDepthMax:%d, effectDepthMin:%d; \tGet "
                   "MeasuringRange range:%d  depthMax:%d  effectDepthMax:%d effectDepthMin:%d",
                   range.range, range.depthMax, range.effectDepthMax, range.effectDepthMin, last.range, last.depthMax,
                   last.effectDepthMax, last.effectDepthMin);
    return ret;
}

int Protocol::QuerySubByte(int cmd, uint8_t sub, int& value) {
    uint8_t buf[2] = {sub, 0};
    const int ret = Exchange(cmd, buf, sizeof(buf), sizeof(buf), CMDTYPE_GET);
    if (ret == 0) value = buf[1];
    return ret;
}

// A one-byte value behind a sub-id: [sub, value], read back from reply byte 1.
Protocol::ByteSet Protocol::SetSubByte(int cmd, uint8_t sub, int value) {
    ByteSet set;
    if (!FitsByte(value)) {
        LOG_DEVICE(Tag(), "value:%d is invalid.", value);
        set.result = -15;
        return set;
    }
    uint8_t buf[2] = {sub, static_cast<uint8_t>(value)};
    set.result = Command(cmd, buf, sizeof(buf), sizeof(buf), CMDTYPE_SET);
    if (set.result != 0) return set;
    set.result = ReadBack([&](bool& matched) {
        const int r = QuerySubByte(cmd, sub, set.last);
        matched = set.last == value;
        return r;
    });
    set.unconfirmed = set.result != 0;
    return set;
}

int Protocol::GetSubByte(int cmd, uint8_t sub, int& value) {
    const int ret = QuerySubByte(cmd, sub, value);
    if (ret != 0) LOG_DEVICE(Tag(), "ret:%d is failed.", ret);
    return ret;
}

int Protocol::GetLDState(int& value) { return GetSubByte(kCmdLaser, kSubLDState, value); }

int Protocol::SetLDState(int value) {
    const ByteSet set = SetSubByte(kCmdLaser, kSubLDState, value);
    if (set.unconfirmed) LOG_DEVICE(Tag(), "Set LDState value:%d; Get LDState value_:%d", value, set.last);
    return set.result;
}

int Protocol::GetCDMAState(int& value) { return GetSubByte(kCmdLaser, kSubCDMAState, value); }

int Protocol::SetCDMAState(int value) {
    const ByteSet set = SetSubByte(kCmdLaser, kSubCDMAState, value);
    if (set.unconfirmed) LOG_DEVICE(Tag(), "Set CDMAState value:%d; Get CDMAState value_:%d.", value, set.last);
    return set.result;
}

int Protocol::GetAPCState(int& value) { return GetSubByte(kCmdSensorInfo, kSubAPCState, value); }

int Protocol::SetAPCState(int value) {
    const ByteSet set = SetSubByte(kCmdSensorInfo, kSubAPCState, value);
    if (set.unconfirmed) LOG_DEVICE(Tag(), "Set APCState value:%d; Get APCState value_:%d", value, set.last);
    return set.result;
}

int Protocol::GetLDDriverChipType(int& value) { return GetSubByte(kCmdSensorInfo, kSubLDDriverChipType, value); }

int Protocol::SetLDDriverChipType(int value) {
    const ByteSet set = SetSubByte(kCmdSensorInfo, kSubLDDriverChipType, value);
    if (set.unconfirmed)
        LOG_DEVICE(Tag(), "Set LDDriverChipType value:%d; Get LDDriverChipType value_:%d", value, set.last);
    return set.result;
}

int Protocol::GetLDType(int& value) { return GetSubByte(kCmdSensorInfo, kSubLDType, value); }

int Protocol::SetLDType(int value) {
    const ByteSet set = SetSubByte(kCmdSensorInfo, kSubLDType, value);
    if (set.unconfirmed) LOG_DEVICE(Tag(), "Set LDType value:%d; Get LDType value_:%d", value, set.last);
    return set.result;
}

int Protocol::GetIRGMMGain(int* gain) {
    if (!gain) return -12;
    return GetSubByte(kCmdGain, kSubIRGMMGain, *gain);
}

int Protocol::SetIRGMMGain(int gain) {
    const ByteSet set = SetSubByte(kCmdGain, kSubIRGMMGain, gain);
    if (set.unconfirmed) LOG_DEVICE(Tag(), "Set IRGMMGain %d; Get IRGMMGain gain_:%d .", gain, set.last);
    return set.result;
}

// `count` is the camera's own count; at most `room` entries are copied.
int Protocol::QueryList(uint8_t sub, uint8_t& count, uint8_t* entries, int room) {
    uint8_t buf[kPayload] = {sub};
    int ret = Exchange(kCmdSensorInfo, buf, sizeof(buf), sizeof(buf), CMDTYPE_GET);
    if (ret == 0 && buf[0] != sub) ret = -104;
    if (ret != 0) {
        LOG_DEVICE(Tag(), "ret:%d is failed.", ret);
        return ret;
    }
    count = buf[1];
    const int copied = count < room ? count : room;
    std::memcpy(entries, buf + kListHead, static_cast<size_t>(copied));
    return 0;
}

int Protocol::GetDepthRangeList(DepthRangeList& list) {
    DepthRangeList got{};
    const int ret = QueryList(kSubDepthRangeList, got.count, got.ranges, sizeof(got.ranges));
    if (ret != 0) return ret;
    if (got.count > sizeof(got.ranges)) got.count = sizeof(got.ranges);
    list = got;
    return 0;
}

int Protocol::GetOutModeList(DataModeList& list) {
    DataModeList got{};
    const int ret = QueryList(kSubOutModeList, got.count, got.modes, sizeof(got.modes));
    if (ret != 0) return ret;
    if (got.count > sizeof(got.modes)) got.count = sizeof(got.modes);
    list = got;
    return 0;
}

// One list set, confirmed when the camera reports the same count and every entry.
int Protocol::SetList(uint8_t sub, uint8_t count, const uint8_t* entries, int room, const ListNames& names) {
    if (count > room) {
        LOG_DEVICE(Tag(), "list count:%d is invalid.", count);
        return -15;
    }
    uint8_t buf[kPayload] = {sub, count};
    std::memcpy(buf + kListHead, entries, count);
    int ret = Command(kCmdSensorInfo, buf, sizeof(buf), sizeof(buf), CMDTYPE_SET);
    if (ret != 0) return ret;
    uint8_t lastCount = 0;
    ret = ReadBack([&](bool& matched) {
        uint8_t got[kPayload - kListHead] = {};
        const int r = QueryList(sub, lastCount, got, room);
        if (r != 0 || lastCount != count) return r;
        if (names.logEntries) {
            for (int i = 0; i < count; ++i) LOG_DEVICE(Tag(), "Get %s:%d.", names.list, got[i]);
        }
        const std::set<uint8_t> read(got, got + count);
        for (int i = 0; i < count; ++i) {
            if (read.count(entries[i]) == 0) {
                LOG_DEVICE(Tag(), "Set %s:%d is failed.", names.missing, entries[i]);
                return 0;
            }
        }
        matched = true;
        return 0;
    });
    if (ret != 0) LOG_DEVICE(Tag(), "Set %s list.count: %d; Get %s list_.count:%d.", names.list, count, names.list, lastCount);
    return ret;
}

int Protocol::SetDepthRangeList(DepthRangeList& list) {
    return SetList(kSubDepthRangeList, list.count, list.ranges, sizeof(list.ranges),
                   ListNames{"DepthRangeList", "depthrangelist", false});
}

int Protocol::SetOutModeList(DataModeList& list) {
    return SetList(kSubOutModeList, list.count, list.modes, sizeof(list.modes),
                   ListNames{"DataModeList", "DataModeList", true});
}

int Protocol::QueryDsp(const DSPParameters& request, DSPParameters& reply) {
    const DspLayout layout = DspLayout::For(request.DSPConfig);
    uint8_t buf[kPayload] = {};
    layout.Fill(buf, request, true);
    const int ret = Exchange(kCmdDsp, buf, sizeof(buf), sizeof(buf), CMDTYPE_GET);
    if (ret == 0) layout.Read(buf, reply);
    return ret;
}

int Protocol::GetDspStatus(DSPParameters& params) {
    DSPParameters got = params;
    const int ret = QueryDsp(params, got);
    if (ret != 0) {
        LOG_DEVICE(Tag(), "ret:%d is failed.", ret);
        return ret;
    }
    params = got;
    return 0;
}

int Protocol::SetDspStatus(const DSPParameters& params) {
    const DspLayout layout = DspLayout::For(params.DSPConfig);
    if (layout.setThreshold == 1 && !FitsByte(params.threshold)) {
        LOG_DEVICE(Tag(), "DSPConfig:%d threshold:%d is invalid.", params.DSPConfig, params.threshold);
        return -15;
    }
    uint8_t buf[kPayload] = {};
    layout.Fill(buf, params, false);
    int ret = Command(kCmdDsp, buf, sizeof(buf), sizeof(buf), CMDTYPE_SET);
    if (ret != 0) return ret;
    DSPParameters last{};
    ret = ReadBack([&](bool& matched) {
        last = DSPParameters{params.DSPConfig, params.option, 0, 0};
        const int r = QueryDsp(last, last);
        matched = last.enable == params.enable;
        if (matched && params.enable != 0 && layout.comparesThreshold) matched = last.threshold == params.threshold;
        return r;
    });
    if (ret != 0)
        LOG_DEVICE(Tag(),
                   "Set option:%d  DSPConfig:%d  enable:%d threshold:%d; Get DspStatus option_:%d  DSPConfig_:%d  "
                   "enable_:%d threshold_ :%d",
                   params.option, params.DSPConfig, params.enable, params.threshold, last.option, last.DSPConfig,
                   last.enable, last.threshold);
    return ret;
}

int Protocol::QueryConfidence(ConfidenceFilterParams& params) {
    uint8_t buf[kPayload] = {0, kDspClassItem | kDspGetBit, 1, kConfidenceItem};
    int ret = Exchange(kCmdDsp, buf, sizeof(buf), sizeof(buf), CMDTYPE_GET);
    if (ret == 0 && buf[3] != kConfidenceItem) ret = -104;
    if (ret == 0) {
        params.enable = buf[4] != 0 ? 1 : 0;
        params.threshold = GetU16(buf + 5);
    }
    return ret;
}

int Protocol::GetConfidenceFilterParams(ConfidenceFilterParams& params) {
    ConfidenceFilterParams got{};
    const int ret = QueryConfidence(got);
    if (ret != 0) {
        LOG_DEVICE(Tag(), "ret:%d is failed.", ret);
        return ret;
    }
    params = got;
    return 0;
}

int Protocol::SetConfidenceFilterParams(const ConfidenceFilterParams& params) {
    const int threshold = params.threshold;
    if (threshold < 0 || threshold > UINT16_MAX) {
        LOG_DEVICE(Tag(), "threshold:%d is invalid.", threshold);
        return -15;
    }
    const DSPParameters dsp{kConfidenceConfig, 0, params.enable, static_cast<uint16_t>(threshold)};
    uint8_t buf[kPayload] = {};
    DspLayout::For(kConfidenceConfig).Fill(buf, dsp, false);
    int ret = Command(kCmdDsp, buf, sizeof(buf), sizeof(buf), CMDTYPE_SET);
    if (ret != 0) return ret;
    const bool on = params.enable != 0;
    ConfidenceFilterParams last{};
    ret = ReadBack([&](bool& matched) {
        const int r = QueryConfidence(last);
        matched = r == 0 && (last.enable != 0) == on && (!on || last.threshold == threshold);
        return r;
    });
    if (ret != 0) {
        const int lastThreshold = last.threshold;
        LOG_DEVICE(Tag(), "Set ConfidenceFilterParams enable:%d threshold:%d; Get enable:%d threshold:%d .",
                   params.enable, threshold, last.enable, lastThreshold);
    }
    return ret;
}

int Protocol::SetTestModeState(TestMode mode, const TestModeParams& params) {
    uint8_t buf[kTestModeBytes] = {};
    if (mode == 0 || mode == kTestModeWithRegisters) {
        const bool registers = mode == kTestModeWithRegisters && params.param1 == 1;
        if (!FitsByte(params.param1) ||
            (registers && (!FitsByte(params.param2) || !FitsByte(params.param3) || !FitsByte(params.param4)))) {
            LOG_DEVICE(Tag(), "TestMode:%d params:%d %d %d %d are invalid.", mode, params.param1, params.param2,
                       params.param3, params.param4);
            return -15;
        }
        buf[0] = static_cast<uint8_t>(mode + 1);
        buf[1] = static_cast<uint8_t>(params.param1);
        if (registers) {
            buf[2] = static_cast<uint8_t>(params.param2);
            buf[3] = static_cast<uint8_t>(params.param3);
            buf[4] = static_cast<uint8_t>(params.param4);
        }
    }
    return Command(kCmdTestMode, buf, sizeof(buf), sizeof(buf), CMDTYPE_SET);
}

int Protocol::SetStream(bool on) {
    CommonControl* control = m_commonControl;
    if (!control) return -1;
    return control->SetStreamState(on);
}

int Protocol::SetOpenState(bool open) {
    m_isOpen = open;
    return 0;
}

int Protocol::GetProperty(int key, void* data, int* size) {
    if (key != kKeyOutModeList && key != kKeyDepthRangeList && key != kKeyDspStatus) return -255;
    if (!data || !size) return -12;
    switch (key) {
        case kKeyOutModeList:
            if (*size != static_cast<int>(sizeof(DataModeList))) return -15;
            return GetOutModeList(*static_cast<DataModeList*>(data));
        case kKeyDepthRangeList:
            if (*size != static_cast<int>(sizeof(DepthRangeList))) return -15;
            return GetDepthRangeList(*static_cast<DepthRangeList*>(data));
        default:
            if (*size != static_cast<int>(sizeof(DSPParameters))) return -15;
            return GetDspStatus(*static_cast<DSPParameters*>(data));
    }
}

int Protocol::SetProperty(int key, const void* data, int size) {
    if (key != kKeyOutModeList && key != kKeyDepthRangeList && key != kKeyDspStatus) return -255;
    if (!data) return -12;
    switch (key) {
        case kKeyOutModeList: {
            if (size != static_cast<int>(sizeof(DataModeList))) return -15;
            DataModeList list;
            std::memcpy(&list, data, sizeof(list));
            return SetOutModeList(list);
        }
        case kKeyDepthRangeList: {
            if (size != static_cast<int>(sizeof(DepthRangeList))) return -15;
            DepthRangeList list;
            std::memcpy(&list, data, sizeof(list));
            return SetDepthRangeList(list);
        }
        default: {
            if (size != static_cast<int>(sizeof(DSPParameters))) return -15;
            DSPParameters params;
            std::memcpy(&params, data, sizeof(params));
            return SetDspStatus(params);
        }
    }
}
