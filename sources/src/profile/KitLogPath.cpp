#include "KitLogPath.h"

std::string g_logPath;
