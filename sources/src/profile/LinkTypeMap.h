#pragma once
#include <cstdint>
#include <map>
#include <string>

// How a product connects to the host. Only the socket link has a transport.
enum QlLinkType : int32_t {
    QlLinkTypeUnknown = 0,
    QlLinkTypeUsb = 1,
    QlLinkTypeSocket = 2,
    QlLinkTypeMipi = 3,
};

// The "connectType" texts of the product profiles.
class LinkTypeMap {
public:
    // QlLinkTypeUnknown for a text that is not in the map.
    static QlLinkType Find(const std::string& text);

private:
    static const std::map<std::string, QlLinkType> s_map;
};
