#pragma once
#include <string>

// The kit's log folder: empty until the application names one; the plug-in loader and the
// receive paths hand it on.
extern std::string g_logPath;
