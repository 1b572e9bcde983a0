#include "ToFProperties.h"

#include <cstddef>
#include <cstring>

#include "CheckTransferFile.h"
#include "StatusCodes.h"

namespace {

// Property data may sit at any address: records are copied in and out.
template <typename Record>
Record Load(const void* data) {
    Record record;
    std::memcpy(&record, data, sizeof record);
    return record;
}

template <typename Record, typename Action>
int WithRecord(void* data, Action action) {
    Record record = Load<Record>(data);
    const int ret = action(record);
    std::memcpy(data, &record, sizeof record);
    return ret;
}

// The HDR and maximum exposure keys carry an ExposureTimeParams; only the time is used.
constexpr size_t kExposureTimeOffset = offsetof(ExposureTimeParams, exposureTime);

template <typename Action>
int WithExposureTime(void* data, Action action) {
    return WithRecord<int32_t>(static_cast<uint8_t*>(data) + kExposureTimeOffset, action);
}

struct RegisterData {
    uint16_t address;
    uint16_t value;
};

#pragma pack(push, 1)
struct TestModeData {
    TestMode mode;
    TestModeParams params;
};
#pragma pack(pop)

static_assert(sizeof(RegisterData) == 4, "Py_Register data");
static_assert(sizeof(TestModeData) == 20, "Py_TestMode data");
static_assert(sizeof(ExposureTimeParams) == 8, "exposure key data");

}  // namespace

ToFProperties::ToFProperties(const Parts& parts) : m_parts(parts) {}

const ToFPropertyKey* ToFProperties::Check(const char* key, const void* data, int size, bool set, int& status) const {
    CAMERA_LOG(m_parts.tag, "pKey:%s, pData:%p, dataSize:%d", key != nullptr ? key : "(null)", data, size);
    const ToFPropertyKey* entry = FindToFPropertyKey(key);
    if (entry == nullptr || !(set ? entry->settable : entry->gettable)) {
        CAMERA_LOG(m_parts.tag, "pKey:%s is not supported.", key != nullptr ? key : "(null)");
        status = status::kNotMine;
        return nullptr;
    }
    if (entry->size == ToFPropertyKey::kAnySize) {
        return entry;
    }
    if (size != entry->size) {
        CAMERA_LOG(m_parts.tag, "dataSize:%d is invalid.", size);
        status = status::kInvalidParameter;
        return nullptr;
    }
    if (data == nullptr) {
        CAMERA_LOG(m_parts.tag, "pData:%p is invalid.", data);
        status = status::kNullArgument;
        return nullptr;
    }
    return entry;
}

int ToFProperties::Finish(int status, int size) const {
    if (status == status::kInvalidParameter) {
        CAMERA_LOG(m_parts.tag, "dataSize:%d is invalid.", size);
    }
    return status;
}

int ToFProperties::Set(const char* key, const void* data, int size) {
    int status = 0;
    const ToFPropertyKey* entry = Check(key, data, size, true, status);
    if (entry == nullptr) {
        return status;
    }
    const int ret = RunSet(entry->key, data);
    // The HDR exposure answers with the command's result as it is.
    return entry->key == ToFKey::HDRExposureTime ? ret : Finish(ret, size);
}

int ToFProperties::Get(const char* key, void* data, int size) {
    int status = 0;
    const ToFPropertyKey* entry = Check(key, data, size, false, status);
    if (entry == nullptr) {
        return status;
    }
    return Finish(RunGet(entry->key, data), size);
}

int ToFProperties::RunSet(ToFKey key, const void* data) {
    Protocol& protocol = m_parts.protocol;
    switch (key) {
        case ToFKey::TemperatureOffsetEnable:
            m_parts.decode.SetTemperatureOffsetEnable(Load<uint8_t>(data) != 0);
            return 0;
        case ToFKey::WDRStyle: m_parts.decode.SetDualFreqFusionEnable(Load<uint8_t>(data) != 0); return 0;
        case ToFKey::Register: {
            const RegisterData reg = Load<RegisterData>(data);
            return protocol.SetRegVal(reg.address, reg.value);
        }
        case ToFKey::DualFreqParams: {
            DualRangeParams params = Load<DualRangeParams>(data);
            return protocol.SetDualFreqMode(params);
        }
        case ToFKey::MeasuringRange: return protocol.SetMeasuringRange(Load<MeasuringRange>(data));
        case ToFKey::DataMode: return m_parts.facade.SetDatamode(Load<int>(data));
        case ToFKey::DepthRange: return m_parts.facade.SetDepthRange(Load<int>(data));
        case ToFKey::LDState: return protocol.SetLDState(Load<int>(data));
        case ToFKey::CDMAEnable: return protocol.SetCDMAState(Load<int>(data));
        case ToFKey::APCState: return protocol.SetAPCState(Load<int>(data));
        case ToFKey::LDDriverChipType: return protocol.SetLDDriverChipType(Load<int>(data));
        case ToFKey::LDType: return protocol.SetLDType(Load<int>(data));
        case ToFKey::DepthRangeList: {
            DepthRangeList list = Load<DepthRangeList>(data);
            return protocol.SetDepthRangeList(list);
        }
        case ToFKey::DataModeList: {
            DataModeList list = Load<DataModeList>(data);
            return protocol.SetOutModeList(list);
        }
        case ToFKey::DSP: return protocol.SetDspStatus(Load<DSPParameters>(data));
        case ToFKey::TransferFile: return SetTransferFile(data);
        case ToFKey::IRPixelFormat: m_parts.decode.SetIRPixelFormat(Load<int>(data)); return 0;
        case ToFKey::SaveRawToFImg: m_parts.intake.ArmDump(); return 0;
        case ToFKey::TestMode: {
            const TestModeData test = Load<TestModeData>(data);
            return protocol.SetTestModeState(test.mode, test.params);
        }
        case ToFKey::HDRExposureTime:
            return m_parts.exposure.SetHdrExposureTime(
                Load<int32_t>(static_cast<const uint8_t*>(data) + kExposureTimeOffset));
        default: return status::kNotMine;  // the table lets no other key through
    }
}

int ToFProperties::SetTransferFile(const void* data) {
    // The caller's record is read only: the check fills in a copy.
    FileTransferParams params = Load<FileTransferParams>(data);
    TofDecode& decode = m_parts.decode;
    if (!CheckTransferFile(
            params, [&decode](int range) { return static_cast<int>(decode.GetSonyMaxDepth(range)); }, m_parts.tag)) {
        return status::kInternal;
    }
    return m_parts.transfer.Start(params);
}

int ToFProperties::RunGet(ToFKey key, void* data) {
    Protocol& protocol = m_parts.protocol;
    switch (key) {
        case ToFKey::Register:
            return WithRecord<RegisterData>(
                data, [&](RegisterData& reg) { return protocol.GetRegVal(reg.address, &reg.value); });
        case ToFKey::DualFreqParams:
            return WithRecord<DualRangeParams>(
                data, [&](DualRangeParams& params) { return protocol.GetDualFreqMode(&params); });
        case ToFKey::MeasuringRange:
            return WithRecord<MeasuringRange>(data,
                                              [&](MeasuringRange& range) { return protocol.GetMeasuringRange(range); });
        case ToFKey::DataMode:
            return WithRecord<int>(data, [&](int& mode) { return m_parts.facade.GetDatamode(mode); });
        case ToFKey::DepthRange:
            return WithRecord<int>(data, [&](int& range) { return protocol.GetDepthRange(range); });
        case ToFKey::LDState: return WithRecord<int>(data, [&](int& value) { return protocol.GetLDState(value); });
        case ToFKey::CDMAEnable: return WithRecord<int>(data, [&](int& value) { return protocol.GetCDMAState(value); });
        case ToFKey::APCState: return WithRecord<int>(data, [&](int& value) { return protocol.GetAPCState(value); });
        case ToFKey::LDDriverChipType:
            return WithRecord<int>(data, [&](int& value) { return protocol.GetLDDriverChipType(value); });
        case ToFKey::LDType: return WithRecord<int>(data, [&](int& value) { return protocol.GetLDType(value); });
        case ToFKey::DepthRangeList:
            return WithRecord<DepthRangeList>(data,
                                              [&](DepthRangeList& list) { return protocol.GetDepthRangeList(list); });
        case ToFKey::DataModeList:
            return WithRecord<DataModeList>(data, [&](DataModeList& list) { return protocol.GetOutModeList(list); });
        case ToFKey::DSP:
            return WithRecord<DSPParameters>(data,
                                             [&](DSPParameters& params) { return protocol.GetDspStatus(params); });
        case ToFKey::TransferFile:
            return WithRecord<FileTransferParams>(
                data, [&](FileTransferParams& params) { return m_parts.transfer.Start(params); });
        case ToFKey::ToFExposureTimeMax:
            return WithExposureTime(data, [&](int32_t& ms) { return m_parts.exposure.GetMaximumExposureTime(ms); });
        case ToFKey::HDRExposureTime:
            return WithExposureTime(data, [&](int32_t& ms) { return m_parts.exposure.GetHdrExposureTime(ms); });
        default: return status::kNotMine;  // the table lets no other key through
    }
}
