#pragma once
#include <string>
#include <vector>

#include "LinkTypeMap.h"

namespace Json {
class Value;
}

// One product profile: the product's name, how it connects and which sensor modules it
// carries. Copied by value into the camera records and the devices.
class DeviceTypeConfig {
public:
    // Reads the profile. False only when the file cannot be opened; a file that does not
    // parse, or holds keys of the wrong type, is logged and leaves every field empty.
    bool Init(const std::string& path);

    // Empty unless the profile was read and parsed.
    const std::string& GetConfigFilePath() const { return m_path; }
    const std::string& GetProductName() const { return m_productName; }
    QlLinkType GetLinkType() const { return m_linkType; }
    const std::vector<std::string>& GetToFType() const { return m_tofTypes; }
    const std::vector<std::string>& GetColorType() const { return m_colorTypes; }

private:
    // Each fills fields of this object from the parsed root; false with an error text when
    // a key has the wrong type.
    bool parse(const Json::Value& root, std::string& error);
    bool parseToFType(const Json::Value& root, std::string& error);
    bool parseColorType(const Json::Value& root, std::string& error);
    static bool parseSensorTypes(const Json::Value& root, const char* key, std::vector<std::string>& out,
                                 std::string& error);
    static bool parseText(const Json::Value& root, const char* key, std::string& out, std::string& error);

    std::string m_path;
    std::string m_productName;
    QlLinkType m_linkType = QlLinkTypeUnknown;
    std::vector<std::string> m_tofTypes;
    std::vector<std::string> m_colorTypes;
};
