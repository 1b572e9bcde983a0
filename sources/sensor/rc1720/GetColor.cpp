#include "RC1720.h"
#include "log.h"

namespace {
constexpr const char* kModuleName = "rc1720";
constexpr const char* kVersion = "1.1.11";

// The plug-in's own log lives until the library is unloaded.
struct LogRelease {
    ~LogRelease() { LogCustom::Release(); }
} g_logRelease;
}  // namespace

extern "C" __attribute__((visibility("default"))) Color_API* Get_Color(const char* logPath) {
    try {
        LogCustom::Initance(logPath ? logPath : "", kModuleName, kModuleName, false);
        LOG_PRINTF("Version:%s", kVersion);
        return new RC1720();
    } catch (...) {
        return nullptr;  // nothing may cross the library boundary
    }
}
