#include "SettingsFile.h"

#include <cstring>
#include <string>

#include "Settings.h"
#include "SettingsDocument.h"
#include "StatusCodes.h"
#include "log.h"

namespace {

constexpr size_t kMaxPathLength = 260;  // the classic MAX_PATH, as for a firmware image path

}  // namespace

int CheckSettingsPath(const char* path) {
    if (path == nullptr) {
        LOG_PRINTF("settings path is null");
        return status::kNullArgument;
    }
    const size_t length = std::strlen(path);
    if (length > kMaxPathLength) {
        LOG_PRINTF("settings path of %zu characters is longer than %zu", length, kMaxPathLength);
        return status::kPathTooLong;
    }
    return 0;
}

int ApplySettingsFile(BaseDevice& device, const char* path, const FilterSwitches& switches) {
    if (const int result = CheckSettingsPath(path)) return result;
    const std::string tag = device.GetDeviceInfo().serialNumber;
    Settings settings;
    {
        Json::Value root;
        if (const int result = LoadSettingsDocument(path, tag.c_str(), &root)) return result;
        if (const int result = ReadSettings(root, tag.c_str(), &settings)) return result;
    }
    return SettingsWalk(device, switches).Apply(settings);
}
