#include <exception>

#include "Imx570.h"
#include "log.h"

// The plug-in's one export. No exception crosses into the kit.
extern "C" __attribute__((visibility("default"))) ToF_API* Get_ToF(const char* logPath) {
    try {
        return new Imx570(logPath);
    } catch (const std::exception& error) {
        LOG_PRINTF("Get_ToF failed: %s", error.what());
    } catch (...) {
        LOG_PRINTF("Get_ToF failed");
    }
    return nullptr;
}
