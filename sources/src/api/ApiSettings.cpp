// The exported settings and depth-filter functions.
#include "ApiCall.h"
#include "BaseDevice.h"
#include "CommandRecords.h"
#include "FilterRecords.h"
#include "PropertyKeys.h"

namespace {

using propertykeys::Id;

constexpr uint8_t kInputSignal = 1;
constexpr uint8_t kOutputSignal = 2;
constexpr const propertykeys::Key& kSignalKey = propertykeys::Of(Id::MCUparameters);
constexpr const propertykeys::Key& kColorGainKey = propertykeys::Of(Id::ColorGain);

int SetSignal(const char* function, QlDeviceHandle handle, uint8_t signalType, uint8_t polarity, uint16_t width,
              uint16_t intervalOrDelay) {
    return api::OnDevice(function, handle, [&](BaseDevice& device) {
        const MCUParameters record{signalType, polarity, width, intervalOrDelay};
        return device.SetProperty(kSignalKey.name, &record, kSignalKey.size);
    });
}

// The camera's record of one signal in the application's (both have one layout); written
// only on success.
template <typename SignalParams>
int GetSignal(const char* function, QlDeviceHandle handle, uint8_t signalType, SignalParams* params) {
    if (!params) return api::NullArgument(function);
    return api::OnDevice(function, handle, [&](BaseDevice& device) {
        MCUParameters record{signalType, 0, 0, 0};
        const int ret = device.GetProperty(kSignalKey.name, &record, kSignalKey.size);
        if (ret == 0) *params = SignalParams{record.width, record.intervalOrDelay, record.polarity};
        return ret;
    });
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
    return api::OnDevice(__func__, handle, [&](BaseDevice& device) {
        return device.SetProperty(kColorGainKey.name, &gain, kColorGainKey.size);
    });
}

int QL_GetColorGain(QlDeviceHandle handle, float* gain) {
    if (!gain) return api::NullArgument(__func__);
    return api::OnDevice(__func__, handle, [&](BaseDevice& device) {
        return device.GetProperty(kColorGainKey.name, gain, kColorGainKey.size);
    });
}

int QL_SetInputSignalParamsForHWTrigger(QlDeviceHandle handle, QlInputSignalParamsForHWTrigger params) {
    return SetSignal(__func__, handle, kInputSignal, params.polarity, params.width, params.interval);
}

int QL_GetInputSignalParamsForHWTrigger(QlDeviceHandle handle, QlInputSignalParamsForHWTrigger* params) {
    return GetSignal(__func__, handle, kInputSignal, params);
}

int QL_SetOutputSignalParams(QlDeviceHandle handle, QlOutputSignalParams params) {
    return SetSignal(__func__, handle, kOutputSignal, params.polarity, params.width, params.delay);
}

int QL_GetOutputSignalParams(QlDeviceHandle handle, QlOutputSignalParams* params) {
    return GetSignal(__func__, handle, kOutputSignal, params);
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
