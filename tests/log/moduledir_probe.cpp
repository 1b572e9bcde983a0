#include <string>

#include "pathtools.h"

// The folder that this library's own copy of the path helpers reports.
extern "C" __attribute__((visibility("default"))) const char* ProbeModuleDir() {
    static const std::string folder = Path_GetModuleDir();
    return folder.c_str();
}
