#include "Plugin.h"

#include <dlfcn.h>

#include "TempDir.h"

namespace toftest {

Plugin& Plugin::Get() {
    static Plugin plugin;
    return plugin;
}

Plugin::Plugin() {
    static testsupport::TempDir logDir;
    m_logDir = logDir.Path();
    void* library = dlopen(TOF_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        m_error = dlerror();
        return;
    }
    m_factory = reinterpret_cast<GetToFFunction>(dlsym(library, "Get_ToF"));
    if (m_factory == nullptr) {
        m_error = "no Get_ToF in " TOF_PLUGIN_PATH;
    }
}

std::unique_ptr<ToF_API> Plugin::Create() const {
    if (m_factory == nullptr) {
        return nullptr;
    }
    return std::unique_ptr<ToF_API>(m_factory(m_logDir.c_str()));
}

std::string Plugin::LogText() const { return testsupport::ReadFile(m_logDir + "/halden_tof.txt"); }

}  // namespace toftest
