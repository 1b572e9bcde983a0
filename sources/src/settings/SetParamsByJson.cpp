// The exported settings-file function.
#include "ApiCall.h"
#include "BaseDevice.h"
#include "SettingsFile.h"

extern "C" QL_EXPORT int QL_SetParamsByJson(QlDeviceHandle handle, const char* path) {
    if (!path) return api::NullArgument(__func__);
    if (!api::Initialised()) return status::kNotInitialised;
    if (const int ret = CheckSettingsPath(path)) return ret;
    return api::OnDevice(__func__, handle, [&](BaseDevice& device) {
        const FilterSwitches switches{[handle](bool enable) { return QL_SetFillHoleFilterEnabled(handle, enable); },
                                      [handle](bool enable) { return QL_SetSpatialFilterEnabled(handle, enable); }};
        return ApplySettingsFile(device, path, switches);
    });
}
