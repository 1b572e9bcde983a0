#include "ToFProperties.h"

#include <cstddef>
#include <cstring>

#include "CheckTransferFile.h"
#include "StatusCodes.h"

namespace {

using propertykeys::Id;

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

// Each key's record is its checked size: a record is read whole from the caller's data.
template <typename Record>
constexpr bool Sized(Id key) {
    return propertykeys::Of(key).size == static_cast<int>(sizeof(Record));
}
static_assert(Sized<RegisterData>(Id::Register), "register data");
static_assert(Sized<DualRangeParams>(Id::DualFreqParams), "dual-frequency data");
static_assert(Sized<MeasuringRange>(Id::MeasuringRange), "measuring-range data");
static_assert(Sized<int>(Id::DataMode) && Sized<int>(Id::DepthRange) && Sized<int>(Id::LDState) &&
                  Sized<int>(Id::CDMAEnable) && Sized<int>(Id::APCState) && Sized<int>(Id::LDDriverChipType) &&
                  Sized<int>(Id::LDType) && Sized<int>(Id::IRPixelFormat),
              "int keys");
static_assert(Sized<DepthRangeList>(Id::DepthRangeList), "depth-range list data");
static_assert(Sized<DataModeList>(Id::DataModeList), "data-mode list data");
static_assert(Sized<DSPParameters>(Id::DSP), "DSP data");
static_assert(Sized<FileTransferParams>(Id::TransferFile), "transfer data");
static_assert(Sized<TestModeData>(Id::TestMode), "test-mode data");
static_assert(Sized<ExposureTimeParams>(Id::ToFExposureTimeMax) && Sized<ExposureTimeParams>(Id::HDRExposureTime),
              "exposure key data");

}  // namespace

ToFProperties::ToFProperties(const Parts& parts) : m_parts(parts) {}

const propertykeys::Key* ToFProperties::Check(const char* key, const void* data, int size, bool set,
                                              int& status) const {
    CAMERA_LOG(m_parts.tag, "pKey:%s, pData:%p, dataSize:%d", key != nullptr ? key : "(null)", data, size);
    const propertykeys::Key* entry = propertykeys::Find(key, propertykeys::Owner::ToFPlugin);
    if (entry == nullptr || !(set ? entry->Sets() : entry->Gets())) {
        CAMERA_LOG(m_parts.tag, "pKey:%s is not supported.", key != nullptr ? key : "(null)");
        status = status::kNotMine;
        return nullptr;
    }
    if (entry->rule == propertykeys::SizeRule::Any) {
        return entry;
    }
    if (!entry->Fits(size)) {
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
    const propertykeys::Key* entry = Check(key, data, size, true, status);
    if (entry == nullptr) {
        return status;
    }
    const int ret = RunSet(entry->id, data);
    // The HDR exposure answers with the command's result as it is.
    return entry->id == Id::HDRExposureTime ? ret : Finish(ret, size);
}

int ToFProperties::Get(const char* key, void* data, int size) {
    int status = 0;
    const propertykeys::Key* entry = Check(key, data, size, false, status);
    if (entry == nullptr) {
        return status;
    }
    return Finish(RunGet(entry->id, data), size);
}

int ToFProperties::RunSet(Id key, const void* data) {
    Protocol& protocol = m_parts.protocol;
    switch (key) {
        case Id::TemperatureOffsetEnable: m_parts.decode.SetTemperatureOffsetEnable(Load<uint8_t>(data) != 0); return 0;
        case Id::WDRStyle: m_parts.decode.SetDualFreqFusionEnable(Load<uint8_t>(data) != 0); return 0;
        case Id::Register: {
            const RegisterData reg = Load<RegisterData>(data);
            return protocol.SetRegVal(reg.address, reg.value);
        }
        case Id::DualFreqParams: {
            DualRangeParams params = Load<DualRangeParams>(data);
            return protocol.SetDualFreqMode(params);
        }
        case Id::MeasuringRange: return protocol.SetMeasuringRange(Load<MeasuringRange>(data));
        case Id::DataMode: return m_parts.facade.SetDatamode(Load<int>(data));
        case Id::DepthRange: return m_parts.facade.SetDepthRange(Load<int>(data));
        case Id::LDState: return protocol.SetLDState(Load<int>(data));
        case Id::CDMAEnable: return protocol.SetCDMAState(Load<int>(data));
        case Id::APCState: return protocol.SetAPCState(Load<int>(data));
        case Id::LDDriverChipType: return protocol.SetLDDriverChipType(Load<int>(data));
        case Id::LDType: return protocol.SetLDType(Load<int>(data));
        case Id::DepthRangeList: {
            DepthRangeList list = Load<DepthRangeList>(data);
            return protocol.SetDepthRangeList(list);
        }
        case Id::DataModeList: {
            DataModeList list = Load<DataModeList>(data);
            return protocol.SetOutModeList(list);
        }
        case Id::DSP: return protocol.SetDspStatus(Load<DSPParameters>(data));
        case Id::TransferFile: return SetTransferFile(data);
        case Id::IRPixelFormat: m_parts.decode.SetIRPixelFormat(Load<int>(data)); return 0;
        case Id::SaveRawToFImg: m_parts.intake.ArmDump(); return 0;
        case Id::TestMode: {
            const TestModeData test = Load<TestModeData>(data);
            return protocol.SetTestModeState(test.mode, test.params);
        }
        case Id::HDRExposureTime:
            return m_parts.exposure.SetHdrExposureTime(
                Load<int32_t>(static_cast<const uint8_t*>(data) + kExposureTimeOffset));
        default: return status::kNotMine;  // the catalogue lets no other key through
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

int ToFProperties::RunGet(Id key, void* data) {
    Protocol& protocol = m_parts.protocol;
    switch (key) {
        case Id::Register:
            return WithRecord<RegisterData>(
                data, [&](RegisterData& reg) { return protocol.GetRegVal(reg.address, &reg.value); });
        case Id::DualFreqParams:
            return WithRecord<DualRangeParams>(
                data, [&](DualRangeParams& params) { return protocol.GetDualFreqMode(&params); });
        case Id::MeasuringRange:
            return WithRecord<MeasuringRange>(data,
                                              [&](MeasuringRange& range) { return protocol.GetMeasuringRange(range); });
        case Id::DataMode: return WithRecord<int>(data, [&](int& mode) { return m_parts.facade.GetDatamode(mode); });
        case Id::DepthRange: return WithRecord<int>(data, [&](int& range) { return protocol.GetDepthRange(range); });
        case Id::LDState: return WithRecord<int>(data, [&](int& value) { return protocol.GetLDState(value); });
        case Id::CDMAEnable: return WithRecord<int>(data, [&](int& value) { return protocol.GetCDMAState(value); });
        case Id::APCState: return WithRecord<int>(data, [&](int& value) { return protocol.GetAPCState(value); });
        case Id::LDDriverChipType:
            return WithRecord<int>(data, [&](int& value) { return protocol.GetLDDriverChipType(value); });
        case Id::LDType: return WithRecord<int>(data, [&](int& value) { return protocol.GetLDType(value); });
        case Id::DepthRangeList:
            return WithRecord<DepthRangeList>(data,
                                              [&](DepthRangeList& list) { return protocol.GetDepthRangeList(list); });
        case Id::DataModeList:
            return WithRecord<DataModeList>(data, [&](DataModeList& list) { return protocol.GetOutModeList(list); });
        case Id::DSP:
            return WithRecord<DSPParameters>(data,
                                             [&](DSPParameters& params) { return protocol.GetDspStatus(params); });
        case Id::TransferFile:
            return WithRecord<FileTransferParams>(
                data, [&](FileTransferParams& params) { return m_parts.transfer.Start(params); });
        case Id::ToFExposureTimeMax:
            return WithExposureTime(data, [&](int32_t& ms) { return m_parts.exposure.GetMaximumExposureTime(ms); });
        case Id::HDRExposureTime:
            return WithExposureTime(data, [&](int32_t& ms) { return m_parts.exposure.GetHdrExposureTime(ms); });
        default: return status::kNotMine;  // the catalogue lets no other key through
    }
}
