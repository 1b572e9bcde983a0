#include "ProductTypes.h"

#include <cstdio>

namespace camsim {

namespace {

struct ProductType {
    uint8_t deviceType;
    ProductKind kind;
    const char* note;
};

// 0x0B is listed by the host as 0x11, with that type's profile.
constexpr ProductType kProductTypes[] = {
    {0x0B, ProductKind::ToFOnly, " (listed as 0x11)"},
    {0x0E, ProductKind::ToFOnly, ""},
    {0x0F, ProductKind::ToFOnly, ""},
    {0x10, ProductKind::ToFOnly, ""},
    {0x11, ProductKind::ToFOnly, ""},
    {0x12, ProductKind::ToFAndColour, ""},
    {0x13, ProductKind::ToFAndColour, ""},
    {0x14, ProductKind::ToFAndColour, ""},
    {0x15, ProductKind::ToFAndColour, ""},
};

const char* KindText(ProductKind kind) { return kind == ProductKind::ToFOnly ? "ToF only" : "ToF and colour"; }

std::string Hex(uint8_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

std::string TypesOf(ProductKind kind) {
    std::string list;
    for (const ProductType& p : kProductTypes) {
        if (p.kind == kind) list += (list.empty() ? "" : ", ") + Hex(p.deviceType);
    }
    return list;
}

}  // namespace

std::optional<ProductKind> KindOf(uint8_t deviceType) {
    for (const ProductType& p : kProductTypes) {
        if (p.deviceType == deviceType) return p.kind;
    }
    return std::nullopt;
}

std::string ProductTypesHelp() {
    std::string text;
    for (const ProductType& p : kProductTypes) {
        text += "  " + Hex(p.deviceType) + "  " + KindText(p.kind) + p.note + "\n";
    }
    return text;
}

std::string CheckProduct(uint8_t deviceType, bool colourAsked) {
    const std::optional<ProductKind> kind = KindOf(deviceType);
    if (!kind) {
        return "the kit has no product profile for device type " + Hex(deviceType) +
               ", so it would never list the camera; ToF only: " + TypesOf(ProductKind::ToFOnly) +
               "; ToF and colour: " + TypesOf(ProductKind::ToFAndColour);
    }
    if (colourAsked && *kind == ProductKind::ToFOnly) {
        return "device type " + Hex(deviceType) +
               " is a ToF-only camera and sends no colour; colour types: " + TypesOf(ProductKind::ToFAndColour);
    }
    return "";
}

}  // namespace camsim
