#include "Protocol.h"

#include <cstring>
#include <set>

#include "ByteOrder.h"
#include "StatusCodes.h"
#include "ToFCommands.h"
#include "log.h"

namespace {

using namespace tofcmd;
using namespace dspcmd;

constexpr int kPayload = 64;         // the most a command payload carries
constexpr int kRegisterPayload = 8;  // address, value, and four bytes the camera does not read
constexpr int kListHead = 2;         // sub-id, count
constexpr int kDualRanges = 2;       // the camera fuses exactly two ranges
// Bytes 7-8 of every confidence-filter set carry this fixed value, whatever the threshold.
constexpr uint16_t kConfidenceExtra = 4600;
constexpr int kTestModeBytes = 5;          // mode, param1, and param2..4 for the registers
constexpr int kTestModeWithRegisters = 1;  // the mode whose param1 1 also sends param2..4

// The record as it travels: range, then effectDepthMax, effectDepthMin and depthMax little-endian.
void PutMeasuringRecord(uint8_t* p, const MeasuringRange& r) {
    p[0] = r.range;
    byteorder::PutLe16(p + 1, r.effectDepthMax);
    byteorder::PutLe16(p + 3, r.effectDepthMin);
    byteorder::PutLe16(p + 5, r.depthMax);
}

MeasuringRange GetMeasuringRecord(const uint8_t* p) {
    return MeasuringRange{p[0], static_cast<uint16_t>(byteorder::GetLe16(p + 1)),
                          static_cast<uint16_t>(byteorder::GetLe16(p + 3)),
                          static_cast<uint16_t>(byteorder::GetLe16(p + 5))};
}

bool FitsByte(int value) { return value >= 0 && value <= UINT8_MAX; }
bool FitsSignedByte(int value) { return value >= INT8_MIN && value <= INT8_MAX; }

}  // namespace

// A DSP item of the 0x19 payload with the bytes that carry it.
struct Protocol::DspLayout : tofcmd::DspItem {
    static DspLayout For(int config) { return {DspItemOf(config)}; }

    void Fill(uint8_t* buf, const DSPParameters& p, bool get) const {
        FillDsp(buf, *this, p, get);
        if (cls == kDspClassItem && !get && extra) byteorder::PutLe16(buf + 7, kConfidenceExtra);
    }

    void Read(const uint8_t* buf, DSPParameters& p) const { ReadDsp(buf, *this, p); }
};

Protocol::Protocol(linktiming::SleepFunction sleep) : m_sleep(std::move(sleep)) {}

void Protocol::SetCommonControl(CommonControl* control) { m_commonControl = control; }

const char* Protocol::Tag() const {
    CommonControl* control = m_commonControl;
    return control ? control->GetDeviceSN() : "null";
}

int Protocol::Exchange(int cmd, void* buf, int bufSize, int len, CMDTYPE type) {
    CommonControl* control = m_commonControl;
    if (!control) return status::kFailed;
    return control->SetCmd(cmd, static_cast<char*>(buf), bufSize, static_cast<unsigned char>(len), type);
}

int Protocol::Command(int cmd, void* buf, int bufSize, int len, CMDTYPE type) {
    const int ret = Exchange(cmd, buf, bufSize, len, type);
    if (ret != 0) LOG_DEVICE(Tag(), "ret:%d is failed.", ret);
    return ret;
}

int Protocol::SendCameraInitParamsEnable(bool enable) {
    uint8_t buf[kPayload] = {static_cast<uint8_t>(enable ? 1 : 0)};
    return Command(kInitParams, buf, sizeof(buf), sizeof(buf), CMDTYPE_SET);
}

int Protocol::QueryExposure(uint8_t range, uint32_t& exposure) {
    uint8_t buf[sizeof(ExposureTime)] = {range};
    const int ret = Exchange(kExposure, buf, sizeof(buf), sizeof(buf), CMDTYPE_GET);
    if (ret == 0) exposure = byteorder::GetLe32(buf + 1);
    return ret;
}

int Protocol::GetToFExposureTime(ExposureTime* exposure) {
    if (!exposure) return status::kNullArgument;
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
    byteorder::PutLe32(buf + 1, exposure.exposureTime);
    uint32_t last = 0;
    const Confirmation set = m_sets.Set(
        kExposure, buf, sizeof(buf), [&] { return QueryExposure(exposure.range, last); },
        [&] { return last == exposure.exposureTime; });
    if (set.writeLine)
        LOG_DEVICE(Tag(), "Set range:%d exposureTime:%d; Get range:%d exposureTime:%d.", exposure.range,
                   static_cast<int>(exposure.exposureTime), exposure.range, static_cast<int>(last));
    return set.result;
}

int Protocol::QueryRegister(uint16_t address, uint16_t& value) {
    uint8_t buf[kRegisterPayload] = {};
    byteorder::PutLe16(buf, address);
    const int ret = Exchange(kRegister, buf, sizeof(buf), sizeof(buf), CMDTYPE_GET);
    if (ret == 0) value = static_cast<uint16_t>(byteorder::GetLe16(buf + 2));
    return ret;
}

int Protocol::GetRegVal(uint16_t address, uint16_t* value) {
    if (!value) return status::kNullArgument;
    const int ret = QueryRegister(address, *value);
    if (ret != 0) LOG_DEVICE(Tag(), "ret:%d is failed.", ret);
    return ret;
}

int Protocol::SetRegVal(uint16_t address, uint16_t value) {
    uint8_t buf[kRegisterPayload] = {};
    byteorder::PutLe16(buf, address);
    byteorder::PutLe16(buf + 2, value);
    uint16_t last = 0;
    const Confirmation set = m_sets.Set(
        kRegister, buf, sizeof(buf), [&] { return QueryRegister(address, last); }, [&] { return last == value; });
    if (set.writeLine) LOG_DEVICE(Tag(), "Set RegVal val:%d; Get val:%d .", value, last);
    return set.result;
}

int Protocol::QueryByte(int cmd, uint8_t request, uint8_t& value) {
    uint8_t buf[1] = {request};
    const int ret = Exchange(cmd, buf, sizeof(buf), sizeof(buf), CMDTYPE_GET);
    if (ret == 0) value = buf[0];
    return ret;
}

int Protocol::GetDataMode(uint8_t* mode) {
    if (!mode) return status::kNullArgument;
    const int ret = QueryByte(kDataMode, *mode, *mode);
    if (ret != 0) LOG_DEVICE(Tag(), "ret:%d is failed.", ret);
    return ret;
}

int Protocol::SetDataMode(const uint8_t& mode) {
    const uint8_t want = mode;
    uint8_t buf[1] = {want};
    uint8_t last = 0;
    const Confirmation set = m_sets.Set(
        kDataMode, buf, sizeof(buf), [&] { return QueryByte(kDataMode, 0, last); }, [&] { return last == want; });
    if (set.writeLine) LOG_DEVICE(Tag(), "Set DataMode:%d; Get DataMode:%d.", want, last);
    return set.result;
}

int Protocol::GetDepthRange(int& range) {
    uint8_t value = 0;
    const int ret = QueryByte(kDepthRange, 0, value);
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
        return status::kInvalidParameter;
    }
    uint8_t buf[1] = {static_cast<uint8_t>(want)};
    uint8_t last = 0;
    const Confirmation set = m_sets.Set(
        kDepthRange, buf, sizeof(buf), [&] { return QueryByte(kDepthRange, 0, last); },
        [&] { return static_cast<int8_t>(last) == want; });
    if (set.writeLine) LOG_DEVICE(Tag(), "Set DepthRange:%d; GetDepthRange:%d", want, static_cast<int8_t>(last));
    return set.result;
}

int Protocol::QueryDualFreq(DualRangeParams& params) {
    uint8_t buf[4] = {};
    const int ret = Exchange(kDualFreq, buf, sizeof(buf), sizeof(buf), CMDTYPE_GET);
    if (ret == 0) {
        params = DualRangeParams{static_cast<int8_t>(buf[0]), static_cast<int8_t>(buf[1]), static_cast<int8_t>(buf[2]),
                                 static_cast<int8_t>(buf[3])};
    }
    return ret;
}

int Protocol::GetDualFreqMode(DualRangeParams* params) {
    if (!params) return status::kNullArgument;
    const int ret = QueryDualFreq(*params);
    if (ret != 0) LOG_DEVICE(Tag(), "ret:%d is failed.", ret);
    return ret;
}

int Protocol::SetDualFreqMode(DualRangeParams& params) {
    if (params.totalRange != kDualRanges) {
        LOG_DEVICE(Tag(), "wdr range count:%d is invalid.", params.totalRange);
        return status::kInvalidParameter;
    }
    if (!FitsSignedByte(params.range1) || !FitsSignedByte(params.range2) || !FitsSignedByte(params.range3)) {
        LOG_DEVICE(Tag(), "wdr ranges:%d %d %d are invalid.", params.range1, params.range2, params.range3);
        return status::kInvalidParameter;
    }
    uint8_t buf[4] = {kDualRanges, static_cast<uint8_t>(params.range1), static_cast<uint8_t>(params.range2),
                      static_cast<uint8_t>(params.range3)};
    DualRangeParams last{};
    const Confirmation set = m_sets.Set(
        kDualFreq, buf, sizeof(buf), [&] { return QueryDualFreq(last); },
        [&] {
            return last.totalRange == params.totalRange && last.range1 == params.range1 &&
                   last.range2 == params.range2 && last.range3 == params.range3;
        });
    if (set.writeLine)
        LOG_DEVICE(Tag(),
                   "Set totalRange:%d, range1:%d, range2:%d,  range3:%d; Get totalRange:%d  range1:%d  range2:%d  "
                   "range3:%d ",
                   params.totalRange, params.range1, params.range2, params.range3, last.totalRange, last.range1,
                   last.range2, last.range3);
    return set.result;
}

int Protocol::QueryMeasuringRange(MeasuringRange& range) {
    uint8_t buf[sizeof(MeasuringRange)] = {range.range};
    const int ret = Exchange(kMeasuringRange, buf, sizeof(buf), 1, CMDTYPE_GET);
    if (ret == 0) range = GetMeasuringRecord(buf);
    return ret;
}

int Protocol::GetMeasuringRange(MeasuringRange& range) {
    const int ret = QueryMeasuringRange(range);
    if (ret != 0) LOG_DEVICE(Tag(), "ret:%d is failed.", ret);
    return ret;
}

int Protocol::SetMeasuringRange(const MeasuringRange& range) {
    uint8_t buf[sizeof(MeasuringRange)];
    PutMeasuringRecord(buf, range);
    MeasuringRange last{};
    const auto query = [&] {
        last = MeasuringRange{};
        last.range = range.range;
        return QueryMeasuringRange(last);
    };
    const Confirmation set = m_sets.Set(kMeasuringRange, buf, sizeof(buf), query, [&] {
        return last.depthMax == range.depthMax && last.effectDepthMax == range.effectDepthMax &&
               last.effectDepthMin == range.effectDepthMin;
    });
    if (set.writeLine)
        LOG_DEVICE(Tag(),
                   "Set MeasuringRange range:%d, depthMax:%d, effectDepthMax:%d, effectDepthMin:%d; \tGet "
                   "MeasuringRange range:%d  depthMax:%d  effectDepthMax:%d effectDepthMin:%d",
                   range.range, range.depthMax, range.effectDepthMax, range.effectDepthMin, last.range, last.depthMax,
                   last.effectDepthMax, last.effectDepthMin);
    return set.result;
}

int Protocol::QuerySubByte(int cmd, uint8_t sub, int& value) {
    uint8_t buf[2] = {sub, 0};
    const int ret = Exchange(cmd, buf, sizeof(buf), sizeof(buf), CMDTYPE_GET);
    if (ret == 0) value = buf[1];
    return ret;
}

// A one-byte value behind a sub-id: [sub, value], read back from reply byte 1.
Confirmation Protocol::SetSubByte(int cmd, uint8_t sub, int value, int& last) {
    if (!FitsByte(value)) {
        LOG_DEVICE(Tag(), "value:%d is invalid.", value);
        return {status::kInvalidParameter, false};
    }
    uint8_t buf[2] = {sub, static_cast<uint8_t>(value)};
    return m_sets.Set(
        cmd, buf, sizeof(buf), [&] { return QuerySubByte(cmd, sub, last); }, [&] { return last == value; });
}

int Protocol::GetSubByte(int cmd, uint8_t sub, int& value) {
    const int ret = QuerySubByte(cmd, sub, value);
    if (ret != 0) LOG_DEVICE(Tag(), "ret:%d is failed.", ret);
    return ret;
}

// The laser settings: one byte behind a sub-id of their command, each read-back line under
// the operation's own name.
struct Protocol::LaserItem {
    int cmd;
    uint8_t sub;
    const char* name;  // in the read-back line
    const char* end;   // after the line's last value
};

int Protocol::SetLaser(const LaserItem& item, const char* operation, int value) {
    int last = 0;
    const Confirmation set = SetSubByte(item.cmd, item.sub, value, last);
    if (set.writeLine)
        LOG_DEVICE_AS(operation, Tag(), "Set %s value:%d; Get %s value_:%d%s", item.name, value, item.name, last,
                      item.end);
    return set.result;
}

int Protocol::SetLDState(int value) { return SetLaser({kLaser, kSubLDState, "LDState", ""}, __func__, value); }
int Protocol::SetCDMAState(int value) { return SetLaser({kLaser, kSubCDMAState, "CDMAState", "."}, __func__, value); }
int Protocol::SetAPCState(int value) { return SetLaser({kSensorInfo, kSubAPCState, "APCState", ""}, __func__, value); }
int Protocol::SetLDDriverChipType(int value) {
    return SetLaser({kSensorInfo, kSubLDDriverChipType, "LDDriverChipType", ""}, __func__, value);
}
int Protocol::SetLDType(int value) { return SetLaser({kSensorInfo, kSubLDType, "LDType", ""}, __func__, value); }

int Protocol::GetLDState(int& value) { return GetSubByte(kLaser, kSubLDState, value); }
int Protocol::GetCDMAState(int& value) { return GetSubByte(kLaser, kSubCDMAState, value); }
int Protocol::GetAPCState(int& value) { return GetSubByte(kSensorInfo, kSubAPCState, value); }
int Protocol::GetLDDriverChipType(int& value) { return GetSubByte(kSensorInfo, kSubLDDriverChipType, value); }
int Protocol::GetLDType(int& value) { return GetSubByte(kSensorInfo, kSubLDType, value); }

int Protocol::GetIRGMMGain(int* gain) {
    if (!gain) return status::kNullArgument;
    return GetSubByte(kGain, kSubIRGMMGain, *gain);
}

int Protocol::SetIRGMMGain(int gain) {
    int last = 0;
    const Confirmation set = SetSubByte(kGain, kSubIRGMMGain, gain, last);
    if (set.writeLine) LOG_DEVICE(Tag(), "Set IRGMMGain %d; Get IRGMMGain gain_:%d .", gain, last);
    return set.result;
}

// `count` is the camera's own count; at most `room` entries are copied.
int Protocol::QueryList(uint8_t sub, uint8_t& count, uint8_t* entries, int room) {
    uint8_t buf[kPayload] = {sub};
    int ret = Exchange(kSensorInfo, buf, sizeof(buf), sizeof(buf), CMDTYPE_GET);
    if (ret == 0 && buf[0] != sub) ret = status::kNoAnswer;
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
        return status::kInvalidParameter;
    }
    uint8_t buf[kPayload] = {sub, count};
    std::memcpy(buf + kListHead, entries, count);
    uint8_t lastCount = 0;
    uint8_t got[kPayload - kListHead] = {};
    const auto query = [&] {
        std::memset(got, 0, sizeof(got));
        return QueryList(sub, lastCount, got, room);
    };
    const auto same = [&] {
        if (lastCount != count) return false;
        if (names.logEntries) {
            for (int i = 0; i < count; ++i) LOG_DEVICE(Tag(), "Get %s:%d.", names.list, got[i]);
        }
        const std::set<uint8_t> read(got, got + count);
        for (int i = 0; i < count; ++i) {
            if (read.count(entries[i]) == 0) {
                LOG_DEVICE(Tag(), "Set %s:%d is failed.", names.missing, entries[i]);
                return false;
            }
        }
        return true;
    };
    const Confirmation set = m_sets.Set(kSensorInfo, buf, sizeof(buf), query, same);
    if (set.writeLine)
        LOG_DEVICE(Tag(), "Set %s list.count: %d; Get %s list_.count:%d.", names.list, count, names.list, lastCount);
    return set.result;
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
    const int ret = Exchange(kDsp, buf, sizeof(buf), sizeof(buf), CMDTYPE_GET);
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
        return status::kInvalidParameter;
    }
    uint8_t buf[kPayload] = {};
    layout.Fill(buf, params, false);
    DSPParameters last{};
    const auto query = [&] {
        last = DSPParameters{params.DSPConfig, params.option, 0, 0};
        return QueryDsp(last, last);
    };
    const Confirmation set = m_sets.Set(kDsp, buf, sizeof(buf), query, [&] {
        return last.enable == params.enable &&
               (params.enable == 0 || !layout.comparesThreshold || last.threshold == params.threshold);
    });
    if (set.writeLine)
        LOG_DEVICE(Tag(),
                   "Set option:%d  DSPConfig:%d  enable:%d threshold:%d; Get DspStatus option_:%d  DSPConfig_:%d  "
                   "enable_:%d threshold_ :%d",
                   params.option, params.DSPConfig, params.enable, params.threshold, last.option, last.DSPConfig,
                   last.enable, last.threshold);
    return set.result;
}

int Protocol::QueryConfidence(ConfidenceFilterParams& params) {
    uint8_t buf[kPayload] = {};
    DspLayout::For(kDspConfigConfidence).Fill(buf, DSPParameters{kDspConfigConfidence, 0, 0, 0}, true);
    int ret = Exchange(kDsp, buf, sizeof(buf), sizeof(buf), CMDTYPE_GET);
    if (ret == 0 && buf[3] != kDspItemConfidence) ret = status::kNoAnswer;
    if (ret == 0) {
        params.enable = buf[4] != 0 ? 1 : 0;
        params.threshold = static_cast<uint16_t>(byteorder::GetLe16(buf + 5));
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
        return status::kInvalidParameter;
    }
    const DSPParameters dsp{kDspConfigConfidence, 0, params.enable, static_cast<uint16_t>(threshold)};
    uint8_t buf[kPayload] = {};
    DspLayout::For(kDspConfigConfidence).Fill(buf, dsp, false);
    const bool on = params.enable != 0;
    ConfidenceFilterParams last{};
    const Confirmation set = m_sets.Set(
        kDsp, buf, sizeof(buf), [&] { return QueryConfidence(last); },
        [&] { return (last.enable != 0) == on && (!on || last.threshold == threshold); });
    if (set.writeLine) {
        const int lastThreshold = last.threshold;
        LOG_DEVICE(Tag(), "Set ConfidenceFilterParams enable:%d threshold:%d; Get enable:%d threshold:%d .",
                   params.enable, threshold, last.enable, lastThreshold);
    }
    return set.result;
}

int Protocol::SetTestModeState(TestMode mode, const TestModeParams& params) {
    uint8_t buf[kTestModeBytes] = {};
    if (mode == 0 || mode == kTestModeWithRegisters) {
        const bool registers = mode == kTestModeWithRegisters && params.param1 == 1;
        if (!FitsByte(params.param1) ||
            (registers && (!FitsByte(params.param2) || !FitsByte(params.param3) || !FitsByte(params.param4)))) {
            LOG_DEVICE(Tag(), "TestMode:%d params:%d %d %d %d are invalid.", mode, params.param1, params.param2,
                       params.param3, params.param4);
            return status::kInvalidParameter;
        }
        buf[0] = static_cast<uint8_t>(mode + 1);
        buf[1] = static_cast<uint8_t>(params.param1);
        if (registers) {
            buf[2] = static_cast<uint8_t>(params.param2);
            buf[3] = static_cast<uint8_t>(params.param3);
            buf[4] = static_cast<uint8_t>(params.param4);
        }
    }
    return Command(kTestMode, buf, sizeof(buf), sizeof(buf), CMDTYPE_SET);
}

int Protocol::SetStream(bool on) {
    CommonControl* control = m_commonControl;
    if (!control) return status::kFailed;
    return control->SetStreamState(on);
}

int Protocol::SetOpenState(bool open) {
    m_isOpen = open;
    return 0;
}

int Protocol::GetProperty(int key, void* data, int* size) {
    if (key != kKeyOutModeList && key != kKeyDepthRangeList && key != kKeyDspStatus) return status::kNotMine;
    if (!data || !size) return status::kNullArgument;
    switch (key) {
        case kKeyOutModeList:
            if (*size != static_cast<int>(sizeof(DataModeList))) return status::kInvalidParameter;
            return GetOutModeList(*static_cast<DataModeList*>(data));
        case kKeyDepthRangeList:
            if (*size != static_cast<int>(sizeof(DepthRangeList))) return status::kInvalidParameter;
            return GetDepthRangeList(*static_cast<DepthRangeList*>(data));
        default:
            if (*size != static_cast<int>(sizeof(DSPParameters))) return status::kInvalidParameter;
            return GetDspStatus(*static_cast<DSPParameters*>(data));
    }
}

int Protocol::SetProperty(int key, const void* data, int size) {
    if (key != kKeyOutModeList && key != kKeyDepthRangeList && key != kKeyDspStatus) return status::kNotMine;
    if (!data) return status::kNullArgument;
    switch (key) {
        case kKeyOutModeList: {
            if (size != static_cast<int>(sizeof(DataModeList))) return status::kInvalidParameter;
            DataModeList list;
            std::memcpy(&list, data, sizeof(list));
            return SetOutModeList(list);
        }
        case kKeyDepthRangeList: {
            if (size != static_cast<int>(sizeof(DepthRangeList))) return status::kInvalidParameter;
            DepthRangeList list;
            std::memcpy(&list, data, sizeof(list));
            return SetDepthRangeList(list);
        }
        default: {
            if (size != static_cast<int>(sizeof(DSPParameters))) return status::kInvalidParameter;
            DSPParameters params;
            std::memcpy(&params, data, sizeof(params));
            return SetDspStatus(params);
        }
    }
}
