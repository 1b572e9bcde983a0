#include "CreateDevice.h"

#include <string>
#include <vector>

#include "EnumSocketDevice.h"
#include "PluginLoader.h"
#include "SocketCtl.h"
#include "TofAndColorDevice.h"
#include "tofDevice.h"

namespace {

// The camera's fixed TCP ports.
constexpr unsigned short kDataPort = 9009;
constexpr unsigned short kCommandPort = 9008;

// Loads every plug-in file whose name contains the profile's first module name, in list
// order, and keeps the object of the last one; each earlier object is destroyed as the next
// replaces it. Later module names are not used.
template <typename Api>
std::unique_ptr<Api> LoadModule(const std::vector<std::string>& moduleNames,
                                std::unique_ptr<Api> (*load)(const std::string&)) {
    std::unique_ptr<Api> kept;
    if (moduleNames.empty() || moduleNames.front().empty()) return kept;
    for (const std::string& path : EnumSocketDevice::m_driverlist) {
        // The file's own name: a folder named like a module must not match every plug-in.
        const std::string name = transport::basename(path.c_str());
        if (name.find(moduleNames.front()) != std::string::npos) kept = load(path);
    }
    return kept;
}

}  // namespace

std::unique_ptr<BaseDevice> CreateDevice(DeviceInfo& info) {
    const DeviceTypeConfig& profile = info.config;
    // The colour plug-in is loaded first.
    std::unique_ptr<Color_API> color = LoadModule(profile.GetColorType(), loadColor);
    if (profile.GetToFType().empty()) return nullptr;
    std::unique_ptr<ToF_API> tof = LoadModule(profile.GetToFType(), loadToF);
    if (profile.GetLinkType() != QlLinkTypeSocket || !tof) return nullptr;

    auto io = std::make_unique<SocketCtl>(info.ip, info.hostIP, kDataPort, kCommandPort);
    io->SetDeviceSN(info.serialNumber);
    if (color) return std::make_unique<TofAndColorDevice>(info, std::move(tof), std::move(color), std::move(io));
    return std::make_unique<tofDevice>(info, std::move(tof), std::move(io));
}
