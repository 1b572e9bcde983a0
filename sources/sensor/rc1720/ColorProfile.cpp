#include "ColorProfile.h"

#include <json/json.h>

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "FileText.h"
#include "log.h"

namespace rc1720 {

namespace {
constexpr const char* kModuleName = "rc1720";
constexpr int kMaxResolutions = 6;
}  // namespace

void ReadResolutionList(const char* path, ResolutionList& list) {
    std::string text;
    if (ReadFileText(path, text) == FileTextResult::kOpenFailed) return;
    std::istringstream in(text);
    Json::CharReaderBuilder builder;
    builder["collectComments"] = false;
    Json::Value root;
    std::string errors;
    if (!Json::parseFromStream(builder, in, &root, &errors)) {
        LOG_PRINTF("%s is not valid JSON: %s", path, errors.c_str());
        return;
    }
    // Wrong-typed members read as absent rather than throw.
    if (!root.isObject() || !root["colorSensor"].isArray()) return;
    for (const Json::Value& sensor : root["colorSensor"]) {
        if (!sensor.isObject() || !sensor["type"].isString() || sensor["type"].asString() != kModuleName) continue;
        const Json::Value& resolutions = sensor["resolutionList"];
        if (!resolutions.isArray()) return;
        list.count = std::min(static_cast<int>(resolutions.size()), kMaxResolutions);
        for (int i = 0; i < list.count; ++i) {
            const Json::Value& text = resolutions[i];
            int width = 0;
            int height = 0;
            if (text.isString() && std::sscanf(text.asCString(), "%d_%d", &width, &height) == 2) {
                list.resolution[i] = {width, height};
            }
        }
        return;
    }
}

}  // namespace rc1720
