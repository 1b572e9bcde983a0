#include "PluginLog.h"

#include "log.h"

PluginLog::PluginLog(const char* logPath) {
    LogCustom::Initance(logPath != nullptr ? logPath : "", "halden_tof", "halden_tof", false);
}
