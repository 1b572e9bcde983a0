#include "PluginLoader.h"

#include <dlfcn.h>

#include "KitLogPath.h"
#include "Mutex.h"
#include "log.h"

namespace {

// Opens of different cameras run side by side: a plug-in's first load runs its initialisers
// and its factory sets the plug-in's process-wide log, so one load and factory call at a time.
// It guards no data of the kit's: it orders those calls.
Mutex g_loadLock;

template <typename Api, typename Factory>
std::unique_ptr<Api> LoadPlugin(const std::string& path, const char* factoryName) EXCLUDES(g_loadLock) {
    LockGuard lock(g_loadLock);
    // Bound at once, so that a plug-in with an unresolved symbol fails here with a log line
    // instead of ending the process at its first call.
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        LOG_PRINTF("Open Error:%s.", dlerror());
        return nullptr;
    }
    dlerror();
    void* symbol = dlsym(library, factoryName);
    const char* error = dlerror();
    if (error != nullptr) {
        LOG_PRINTF("Dlsym Error:%s.", error);
        return nullptr;
    }
    if (symbol == nullptr) {
        LOG_PRINTF("Dlsym Error:%s is null in %s.", factoryName, path.c_str());
        return nullptr;
    }
    return std::unique_ptr<Api>(reinterpret_cast<Factory>(symbol)(g_logPath.c_str()));
}

}  // namespace

std::unique_ptr<ToF_API> loadToF(const std::string& path) {
    return LoadPlugin<ToF_API, GetToFFunction>(path, "Get_ToF");
}

std::unique_ptr<Color_API> loadColor(const std::string& path) {
    return LoadPlugin<Color_API, GetColorFunction>(path, "Get_Color");
}
