#include "UsbModalias.h"

#include <cctype>

namespace {

// "usb:vVVVVpPPPP...": the vendor's and the product's four hex digits after their marks.
constexpr const char kPrefix[] = "usb:v";
constexpr size_t kVendorAt = 5;
constexpr size_t kProductMarkAt = 9;
constexpr size_t kProductAt = 10;
constexpr size_t kMinLength = 14;

// Exactly four hexadecimal digits: a partly numeric field must not pass as a shorter number.
bool ParseHex4(const std::string& text, size_t at, uint16_t* value) {
    uint16_t result = 0;
    for (size_t i = at; i < at + 4; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (!std::isxdigit(c)) {
            return false;
        }
        const int digit = std::isdigit(c) ? c - '0' : std::tolower(c) - 'a' + 10;
        result = static_cast<uint16_t>(result * 16 + digit);
    }
    *value = result;
    return true;
}

}  // namespace

const char* ParseUsbModalias(const std::string& modalias, uint16_t* vendorId, uint16_t* productId) {
    if (modalias.size() < kMinLength || modalias.compare(0, kVendorAt, kPrefix) != 0 ||
        modalias[kProductMarkAt] != 'p') {
        return "Not a usb format modalias";
    }
    if (!ParseHex4(modalias, kVendorAt, vendorId)) {
        return "Failed to read vendor ID";
    }
    if (!ParseHex4(modalias, kProductAt, productId)) {
        return "Failed to read product ID";
    }
    return nullptr;
}
