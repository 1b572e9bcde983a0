// Start-up and shut-down of the kit.
#include <string>

#include "ApiCall.h"
#include "ApiVersion.h"
#include "DeviceManager.h"
#include "DeviceParamsConfig.h"
#include "JsonCtl.h"
#include "KitLogPath.h"
#include "ManagerDirectory.h"
#include "Upgrade.h"

namespace {

constexpr size_t kBannerWidth = 53;  // the start and shut-down lines that frame a session in the log

// 0, or -24 / -25 when the log reported its folder or its file.
int OpenLog() {
    const bool console = DeviceParamsConfig::GetInstance()->LogToConsole;
    switch (LogCustom::Initance(g_logPath, api::kLogPrefix, api::kLogPrefix, console)) {
        case 1: return status::kLogFolderUnusable;
        case 2: return status::kLogFileUnusable;
        default: return 0;
    }
}

// Undoes the log and the parameter store.
void CloseLog() {
    LogCustom::Release();
    DeviceParamsConfig::Release();
}

// Stops the manager's thread and releases the manager with what it set up: the transfer
// controllers, discovery with its socket and thread, and the devices still held.
void ReleaseManager(DeviceManager& manager) {
    manager.Stop();
    manager.Join();
    // The workers go before the devices whose command sets they borrow; a camera still
    // in a transfer is rebooted while its device lives.
    Upgrade::Release();
    JsonCtl::Release();
    // The devices go while the manager still lives; its release then waits for the
    // hot-plug reports in flight, so nothing calls the application back afterwards.
    api::Detach();
    DeviceManager::Release();
}

// The log is open (or not wanted); starts the manager. A start without product profiles
// leaves nothing behind, so that a later one can succeed once they are in place.
int StartKit() {
    LOG_PRINTF("%s", std::string(kBannerWidth, '-').c_str());
    LOG_PRINTF("Version: %s", api::kVersion);
    bool profileEmpty = true;
    DeviceManager* manager = DeviceManager::GetInstance(&profileEmpty);
    if (profileEmpty) {
        LOG_PRINTF("IsProductProfileEmpty:%d", 1);
        ReleaseManager(*manager);
        CloseLog();
        return status::kNoProfile;
    }
    manager->Start();
    api::Attach(std::make_unique<ManagerDirectory>(*manager));
    return 0;
}

int Refuse(const char* function) {
    LOG_PRINTF_AS(function, "ReInitialized,do not call QL_Shutdown");
    return status::kAlreadyInitialised;
}

}  // namespace

extern "C" {

int QL_Initialize(void) {
    return api::Boundary(__func__, [] {
        if (api::Initialised()) return Refuse("QL_Initialize");
        // Without a log file the kit still runs.
        OpenLog();
        return StartKit();
    });
}

int QL_InitializeWithLogPath(const char* logPath) {
    return api::Boundary(__func__, [&] {
        if (api::Initialised()) return Refuse("QL_InitializeWithLogPath");
        if (logPath) g_logPath = logPath;
        const int log = OpenLog();
        if (log == 0) return StartKit();
        CloseLog();
        return log;
    });
}

int QL_Shutdown(void) {
    return api::Boundary(__func__, [] {
        if (!api::Initialised()) {
            LOG_PRINTF_AS("QL_Shutdown", "do not call QL_Initialize");
            return status::kNotInitialised;
        }
        ReleaseManager(*DeviceManager::GetInstance(nullptr));
        LOG_PRINTF_AS("QL_Shutdown", "%s", std::string(kBannerWidth, '=').c_str());
        CloseLog();
        return 0;
    });
}

const char* QL_GetSDKVersion(void) { return api::kVersion; }

}  // extern "C"
