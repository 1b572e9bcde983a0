// The exported firmware-upgrade and JSON-transfer functions.
#include <cstring>

#include "ApiCall.h"
#include "BaseDevice.h"

namespace {

constexpr size_t kMaxImagePath = 260;  // the classic MAX_PATH; a longer image path gives -18

// The initialised check, then `check` (a non-zero result ends the call), then `call`.
template <typename Check, typename Call>
int Checked(const char* function, Check&& check, Call&& call) {
    return api::Boundary(function, [&]() -> int {
        if (!api::Initialised()) return status::kNotInitialised;
        const int refused = check();
        return refused != 0 ? refused : call();
    });
}

int RequireCallback(const char* function, const void* callback) { return callback ? 0 : api::NullArgument(function); }

}  // namespace

extern "C" {

int QL_StartUpgradeFirmWare(QlDeviceHandle handle, const char* imgPath) {
    if (!imgPath) return api::NullArgument(__func__);
    const auto pathFits = [&] {
        const size_t length = std::strlen(imgPath);
        if (length <= kMaxImagePath) return 0;
        LOG_PRINTF_AS("QL_StartUpgradeFirmWare", "pImgPath length:%zu is more than %zu.", length, kMaxImagePath);
        return status::kPathTooLong;
    };
    return Checked(__func__, pathFits, [&] {
        // The upgrade's own results reach the application, without the status mapping.
        return api::OnDeviceUnmapped("QL_StartUpgradeFirmWare", handle, [&](BaseDevice& device) {
            // The upgrade controller records the transfer in the device manager as it starts.
            return device.StartUpgradeFirmWare(imgPath);
        });
    });
}

int QL_SetUpgradeStatusCallback(QlDeviceHandle handle, UpgradeStatusCallback callback, const void* userData) {
    return Checked(
        __func__,
        [&] { return RequireCallback("QL_SetUpgradeStatusCallback", reinterpret_cast<const void*>(callback)); },
        [&] {
            return api::OnDevice("QL_SetUpgradeStatusCallback", handle, [&](BaseDevice& device) {
                return device.SetUpgradeStatusCallback(callback, userData);
            });
        });
}

int QL_SetUpgradeJsonStatusCallback(QlDeviceHandle handle, UpgradeJsonStatusCallback callback, const void* userData) {
    return Checked(
        __func__,
        [&] { return RequireCallback("QL_SetUpgradeJsonStatusCallback", reinterpret_cast<const void*>(callback)); },
        [&] {
            return api::OnDevice("QL_SetUpgradeJsonStatusCallback", handle, [&](BaseDevice& device) {
                return device.SetUpgradeJsonStatusCallback(callback, userData);
            });
        });
}

}  // extern "C"
