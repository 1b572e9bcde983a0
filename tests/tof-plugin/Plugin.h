#pragma once
#include <memory>
#include <string>

#include "ToF_API.h"

namespace toftest {

// The built plug-in, loaded once per process and left loaded: its threads end inside its
// code. Every object logs into one folder for the process.
class Plugin {
public:
    static Plugin& Get();

    // A fresh object from the plug-in's factory; null when the library did not load.
    std::unique_ptr<ToF_API> Create() const;
    const std::string& LogDir() const { return m_logDir; }
    // The plug-in's log as far as it has been written.
    std::string LogText() const;
    const std::string& LoadError() const { return m_error; }

private:
    Plugin();

    GetToFFunction m_factory = nullptr;
    std::string m_logDir;
    std::string m_error;
};

}  // namespace toftest
