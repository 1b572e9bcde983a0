// Loads the kit, then the ToF plug-in beside it, as the kit's loader does, and creates one
// plug-in object with the log folder given. Exit 0 when everything loaded; the caller checks
// the files. A program of its own, so that neither library was loaded before.
#include <dlfcn.h>

#include <cstdio>

#include "ToF_API.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s LOG_FOLDER\n", argv[0]);
        return 2;
    }
    // Global, so that the kit's symbols are there for the plug-in to bind to, if it would.
    void* kit = dlopen(KIT_LIBRARY_PATH, RTLD_NOW | RTLD_GLOBAL);
    if (kit == nullptr) {
        fprintf(stderr, "kit: %s\n", dlerror());
        return 3;
    }
    void* plugin = dlopen(TOF_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    if (plugin == nullptr) {
        fprintf(stderr, "plug-in: %s\n", dlerror());
        return 4;
    }
    auto factory = reinterpret_cast<GetToFFunction>(dlsym(plugin, "Get_ToF"));
    if (factory == nullptr) {
        fprintf(stderr, "no Get_ToF\n");
        return 5;
    }
    ToF_API* tof = factory(argv[1]);
    if (tof == nullptr) {
        fprintf(stderr, "Get_ToF gave nothing\n");
        return 6;
    }
    tof->SetConfigFilePath("probe-config");
    delete tof;
    // The log's own functions stay inside each library.
    const char* printf = "_ZN9LogCustom6PrintfEPKcz";
    if (dlsym(plugin, printf) != nullptr || dlsym(kit, printf) != nullptr) {
        fprintf(stderr, "LogCustom::Printf is exported\n");
        return 7;
    }
    return 0;
}
