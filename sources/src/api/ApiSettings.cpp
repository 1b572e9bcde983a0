// The exported settings and depth-filter functions.
#include "ApiCall.h"
#include "BaseDevice.h"
#include "CommandRecords.h"
#include "FilterRecords.h"

namespace {

constexpr uint8_t kInputSignal = 1;
constexpr uint8_t kOutputSignal = 2;
constexpr int kMcuSize = static_cast<int>(sizeof(MCUParameters));

int SetSignal(BaseDevice& device, uint8_t signalType, uint8_t polarity, uint16_t width, uint16_t intervalOrDelay) {
    const MCUParameters record{signalType, polarity, width, intervalOrDelay};
    return device.SetProperty("Py_MCUparameters", &record, kMcuSize);
}

// The camera's record of one signal; written to `record` only on success.
int GetSignal(BaseDevice& device, uint8_t signalType, MCUParameters& record) {
    MCUParameters read{signalType, 0, 0, 0};
    const int ret = device.GetProperty("Py_MCUparameters", &read, kMcuSize);
    if (ret == 0) record = read;
    return ret;
}

// Reads the filter's record, changes only its enable and writes it back.
template <typename Internal, typename Get, typename Set>
int SetFilterEnabled(bool enable, Get&& get, Set&& set) {
    Internal record{};
    const int ret = get(&record);
    if (ret != 0) return ret;
    record.enable = enable;
    return set(record);
}

}  // namespace

extern "C" {

int QL_SetWorkMode(QlDeviceHandle handle, int32_t mode) {
    return api::OnDevice(__func__, handle, [&](BaseDevice& device) { return device.SetWorkMode(mode); });
}

int QL_GetWorkMode(QlDeviceHandle handle, int32_t* mode) {
    if (!mode) return api::NullArgument(__func__);
    return api::OnDevice(__func__, handle, [&](BaseDevice& device) { return device.GetWorkMode(mode); });
}

int QL_SetSoftwareSlaveTrigger(QlDeviceHandle handle) {
    return api::OnDevice(__func__, handle, [](BaseDevice& device) { return device.SetSoftwareSlaveTrigger(); });
}

int QL_SetFrameRate(QlDeviceHandle handle, int32_t fps) {
    return api::OnDevice(__func__, handle, [&](BaseDevice& device) { return device.SetFrameRate(fps); });
}

int QL_GetFrameRate(QlDeviceHandle handle, int32_t* fps) {
    if (!fps) return api::NullArgument(__func__);
    return api::OnDevice(__func__, handle, [&](BaseDevice& device) { return device.GetFrameRate(fps); });
}

int QL_SetColorPixelFormat(QlDeviceHandle handle, PixelFormat format) {
    return api::OnDevice(__func__, handle, [&](BaseDevice& device) {
        if (format != PIXEL_FORMAT_RGB && format != PIXEL_FORMAT_BGR) {
            LOG_PRINTF_AS("QL_SetColorPixelFormat", "pixelFormat:%d is invalid.", static_cast<int>(format));
            return status::kInvalidParameter;
        }
        return device.SetColorPixelFormat(format);
    });
}

int QL_SetColorResolution(QlDeviceHandle handle, int32_t width, int32_t height) {
    return api::OnDevice(__func__, handle,
                         [&](BaseDevice& device) { return device.SetColorResolution(width, height); });
}

int QL_GetColorResolution(QlDeviceHandle handle, int32_t* width, int32_t* height) {
    if (!width || !height) return api::NullArgument(__func__);
    return api::OnDevice(__func__, handle,
                         [&](BaseDevice& device) { return device.GetColorResolution(width, height); });
}

int QlGetSupportedResolutionList(QlDeviceHandle handle, SensorType type, ResolutionList* list) {
    if (!list) return api::NullArgument(__func__);
    return api::OnDevice(__func__, handle,
                         [&](BaseDevice& device) { return device.GetSupportedResolutionList(type, list); });
}

int QL_SetExposureControlMode(QlDeviceHandle handle, SensorType type, int32_t mode) {
    return api::OnDevice(__func__, handle,
                         [&](BaseDevice& device) { return device.SetExposureControlMode(type, mode); });
}

int QL_GetExposureControlMode(QlDeviceHandle handle, SensorType type, int32_t* mode) {
    if (!mode) return api::NullArgument(__func__);
    return api::OnDevice(__func__, handle,
                         [&](BaseDevice& device) { return device.GetExposureControlMode(type, mode); });
}

int QL_SetExposureTime(QlDeviceHandle handle, SensorType type, ExposureTimeParams params) {
    return api::OnDevice(__func__, handle, [&](BaseDevice& device) { return device.SetExposureTime(type, params); });
}

int QL_GetExposureTime(QlDeviceHandle handle, SensorType type, ExposureTimeParams* params) {
    if (!params) return api::NullArgument(__func__);
    return api::OnDevice(__func__, handle, [&](BaseDevice& device) {
        // Asks for the time of the caller's mode; only the time is handed back.
        ExposureTimeParams read{params->mode, 0};
        const int ret = device.GetExposureTime(type, &read);
        params->exposureTime = read.exposureTime;
        return ret;
    });
}

int QL_SetIRGMMGain(QlDeviceHandle handle, uint8_t gain) {
    return api::OnDevice(__func__, handle, [&](BaseDevice& device) { return device.SetIRGMMGain(gain); });
}

int QL_GetIRGMMGain(QlDeviceHandle handle, uint8_t* gain) {
    if (!gain) return api::NullArgument(__func__);
    return api::OnDevice(__func__, handle, [&](BaseDevice& device) {
        int read = 0;
        const int ret = device.GetIRGMMGain(&read);
        *gain = static_cast<uint8_t>(read & 0xFF);
        return ret;
    });
}

int QL_SetHDRModeEnabled(QlDeviceHandle handle, bool enable) {
    return api::OnDevice(__func__, handle, [&](BaseDevice& device) { return device.SetHDRModeEnabled(enable); });
}

int QL_GetHDRModeEnabled(QlDeviceHandle handle, bool* enable) {
    if (!enable) return api::NullArgument(__func__);
    return api::OnDevice(__func__, handle, [&](BaseDevice& device) { return device.GetHDRModeEnabled(enable); });
}

int QL_SetColorGain(QlDeviceHandle handle, float gain) {
    return api::OnDevice(__func__, handle,
                         [&](BaseDevice& device) { return device.SetProperty("Py_ColorGain", &gain, sizeof gain); });
}

int QL_GetColorGain(QlDeviceHandle handle, float* gain) {
    if (!gain) return api::NullArgument(__func__);
    return api::OnDevice(__func__, handle,
                         [&](BaseDevice& device) { return device.GetProperty("Py_ColorGain", gain, sizeof *gain); });
}

int QL_SetInputSignalParamsForHWTrigger(QlDeviceHandle handle, QlInputSignalParamsForHWTrigger params) {
    return api::OnDevice(__func__, handle, [&](BaseDevice& device) {
        return SetSignal(device, kInputSignal, params.polarity, params.width, params.interval);
    });
}

int QL_GetInputSignalParamsForHWTrigger(QlDeviceHandle handle, QlInputSignalParamsForHWTrigger* params) {
    if (!params) return api::NullArgument(__func__);
    return api::OnDevice(__func__, handle, [&](BaseDevice& device) {
        MCUParameters record{};
        const int ret = GetSignal(device, kInputSignal, record);
        if (ret == 0) *params = QlInputSignalParamsForHWTrigger{record.width, record.intervalOrDelay, record.polarity};
        return ret;
    });
}

int QL_SetOutputSignalParams(QlDeviceHandle handle, QlOutputSignalParams params) {
    return api::OnDevice(__func__, handle, [&](BaseDevice& device) {
        return SetSignal(device, kOutputSignal, params.polarity, params.width, params.delay);
    });
}

int QL_GetOutputSignalParams(QlDeviceHandle handle, QlOutputSignalParams* params) {
    if (!params) return api::NullArgument(__func__);
    return api::OnDevice(__func__, handle, [&](BaseDevice& device) {
        MCUParameters record{};
        const int ret = GetSignal(device, kOutputSignal, record);
        if (ret == 0) *params = QlOutputSignalParams{record.width, record.intervalOrDelay, record.polarity};
        return ret;
    });
}

}  // extern "C"

// The threshold filters: set from the public record, get copied back only on success.
#define THRESHOLD_FILTER(Name)                                                                                     \
    extern "C" int QL_Set##Name##FilterParams(QlDeviceHandle handle, Ql##Name##FilterParams params) {              \
        return api::OnDevice(__func__, handle, [&](BaseDevice& device) {                                           \
            return device.Set##Name##FilterParams(filterrecords::ThresholdToInternal<Name##FilterParams>(params)); \
        });                                                                                                        \
    }                                                                                                              \
    extern "C" int QL_Get##Name##FilterParams(QlDeviceHandle handle, Ql##Name##FilterParams* params) {             \
        if (!params) return api::NullArgument(__func__);                                                           \
        return api::OnDevice(__func__, handle, [&](BaseDevice& device) {                                           \
            Name##FilterParams read{};                                                                             \
            const int ret = device.Get##Name##FilterParams(&read);                                                 \
            if (ret == 0) *params = filterrecords::ThresholdToPublic<Ql##Name##FilterParams>(read);                \
            return ret;                                                                                            \
        });                                                                                                        \
    }

THRESHOLD_FILTER(Time)
THRESHOLD_FILTER(Confidence)
THRESHOLD_FILTER(FlyingPixel)

// The filters with counts: the record as above, and the enable alone over a read-modify-write.
#define COUNT_FILTER(Name)                                                                              \
    extern "C" int QL_Set##Name##FilterParams(QlDeviceHandle handle, Ql##Name##FilterParams params) {   \
        return api::OnDevice(__func__, handle, [&](BaseDevice& device) {                                \
            return device.Set##Name##FilterParams(filterrecords::ToInternal(params));                   \
        });                                                                                             \
    }                                                                                                   \
    extern "C" int QL_Get##Name##FilterParams(QlDeviceHandle handle, Ql##Name##FilterParams* params) {  \
        if (!params) return api::NullArgument(__func__);                                                \
        return api::OnDevice(__func__, handle, [&](BaseDevice& device) {                                \
            Name##FilterParams read{};                                                                  \
            const int ret = device.Get##Name##FilterParams(&read);                                      \
            if (ret == 0) *params = filterrecords::ToPublic(read);                                      \
            return ret;                                                                                 \
        });                                                                                             \
    }                                                                                                   \
    extern "C" int QL_Set##Name##FilterEnabled(QlDeviceHandle handle, bool enable) {                    \
        return api::OnDevice(__func__, handle, [&](BaseDevice& device) {                                \
            return SetFilterEnabled<Name##FilterParams>(                                                \
                enable, [&](Name##FilterParams* read) { return device.Get##Name##FilterParams(read); }, \
                [&](Name##FilterParams record) { return device.Set##Name##FilterParams(record); });     \
        });                                                                                             \
    }                                                                                                   \
    extern "C" int QL_Get##Name##FilterEnabled(QlDeviceHandle handle, bool* enable) {                   \
        if (!enable) return api::NullArgument(__func__);                                                \
        return api::OnDevice(__func__, handle, [&](BaseDevice& device) {                                \
            Name##FilterParams read{};                                                                  \
            const int ret = device.Get##Name##FilterParams(&read);                                      \
            *enable = read.enable != 0;                                                                 \
            return ret;                                                                                 \
        });                                                                                             \
    }

COUNT_FILTER(FillHole)
COUNT_FILTER(Spatial)
