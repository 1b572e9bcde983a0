#include "DeviceTypeConfig.h"

#include <json/json.h>

#include <cstring>
#include <exception>
#include <sstream>

#include "FileText.h"
#include "log.h"

namespace {

// The member of an object, or null when the value is no object or lacks the key.
const Json::Value* Member(const Json::Value& object, const char* key) {
    return object.isObject() ? object.find(key, key + std::strlen(key)) : nullptr;
}

// Parses the whole stream; the parser throws on nesting deeper than its stack limit.
bool Parse(std::istream& stream, Json::Value& root, std::string& error) {
    Json::CharReaderBuilder builder;
    builder["collectComments"] = false;
    try {
        return Json::parseFromStream(builder, stream, &root, &error);
    } catch (const std::exception& e) {
        error = e.what();
        return false;
    }
}

}  // namespace

bool DeviceTypeConfig::Init(const std::string& path) {
    std::string text;
    if (ReadFileText(path, text) == FileTextResult::kOpenFailed) {
        LOG_PRINTF("configFileFullPath:%s error:", path.c_str());
        return false;
    }
    std::istringstream file(text);
    Json::Value root;
    std::string error;
    // Fields change only once the whole profile has the expected shape.
    DeviceTypeConfig parsed;
    if (!Parse(file, root, error) || !parsed.parse(root, error)) {
        LOG_PRINTF("parse %s is failed:%s", path.c_str(), error.c_str());
        return true;
    }
    parsed.m_path = path;
    *this = std::move(parsed);
    return true;
}

bool DeviceTypeConfig::parse(const Json::Value& root, std::string& error) {
    if (!root.isObject()) {
        error = "the profile is not an object";
        return false;
    }
    std::string connectType;
    if (!parseText(root, "productName", m_productName, error) || !parseText(root, "connectType", connectType, error) ||
        !parseToFType(root, error) || !parseColorType(root, error)) {
        return false;
    }
    m_linkType = LinkTypeMap::Find(connectType);
    return true;
}

bool DeviceTypeConfig::parseToFType(const Json::Value& root, std::string& error) {
    return parseSensorTypes(root, "toFSensor", m_tofTypes, error);
}

bool DeviceTypeConfig::parseColorType(const Json::Value& root, std::string& error) {
    return parseSensorTypes(root, "colorSensor", m_colorTypes, error);
}

bool DeviceTypeConfig::parseSensorTypes(const Json::Value& root, const char* key, std::vector<std::string>& out,
                                        std::string& error) {
    const Json::Value* sensors = Member(root, key);
    if (sensors == nullptr) {
        return true;  // a product without sensors of this kind
    }
    if (!sensors->isArray()) {
        error = std::string("\"") + key + "\" is not an array";
        return false;
    }
    for (const Json::Value& sensor : *sensors) {
        const Json::Value* type = Member(sensor, "type");
        if (type == nullptr || !type->isString()) {
            error = std::string("an entry of \"") + key + "\" has no \"type\" text";
            return false;
        }
        out.push_back(type->asString());
    }
    return true;
}

bool DeviceTypeConfig::parseText(const Json::Value& root, const char* key, std::string& out, std::string& error) {
    const Json::Value* value = Member(root, key);
    if (value == nullptr || !value->isString()) {
        error = std::string("\"") + key + "\" is not a text";
        return false;
    }
    out = value->asString();
    return true;
}
