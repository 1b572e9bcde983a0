#include "SettingsDocument.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <sstream>
#include <string>

#include "FileText.h"
#include "StatusCodes.h"
#include "log.h"

namespace {

// A settings file holds a few dozen keys; anything far larger is not one (or never ends,
// like a device node).
constexpr size_t kMaxFileSize = 1 << 20;

// The file's whole text, or false with the failure logged.
bool ReadText(const std::string& path, const char* tag, std::string* text) {
    switch (ReadFileText(path, *text, kMaxFileSize)) {
        case FileTextResult::kRead: return true;
        case FileTextResult::kTooLarge:
            LOG_DEVICE(tag, "Json File:%s is larger than %zu bytes", path.c_str(), kMaxFileSize);
            return false;
        default: LOG_DEVICE(tag, "Open Json File:%s error: %d", path.c_str(), errno); return false;
    }
}

}  // namespace

int LoadSettingsDocument(const char* path, const char* tag, Json::Value* root) {
    std::string converted(path);
    std::replace(converted.begin(), converted.end(), '\\', '/');
    if (converted.find('/') == std::string::npos) {
        LOG_DEVICE(tag, "JsonFileFullPath:%s error", path);
        return status::kInvalidParameter;
    }
    std::string text;
    if (!ReadText(converted, tag, &text)) return status::kInvalidParameter;

    Json::CharReaderBuilder builder;
    builder["collectComments"] = false;
    std::istringstream stream(text);
    std::string errors;
    try {
        if (!Json::parseFromStream(builder, stream, root, &errors)) {
            LOG_DEVICE(tag, "parse %s is failed:%s", path, errors.c_str());
            return status::kInvalidParameter;
        }
    } catch (const Json::Exception& e) {
        // The reader throws instead of failing on nesting beyond its stack limit.
        LOG_DEVICE(tag, "parse %s is failed:%s", path, e.what());
        return status::kInvalidParameter;
    }
    return 0;
}
