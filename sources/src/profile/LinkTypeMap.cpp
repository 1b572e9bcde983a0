#include "LinkTypeMap.h"

const std::map<std::string, QlLinkType> LinkTypeMap::s_map = {
    {"usb", QlLinkTypeUsb},
    {"socket", QlLinkTypeSocket},
    {"mipi", QlLinkTypeMipi},
};

QlLinkType LinkTypeMap::Find(const std::string& text) {
    const auto it = s_map.find(text);
    return it != s_map.end() ? it->second : QlLinkTypeUnknown;
}
