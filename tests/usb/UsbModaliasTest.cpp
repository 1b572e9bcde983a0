#include "UsbModalias.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct ModaliasCase {
    const char* text;
    const char* failure;  // null when the text is accepted
    uint16_t vendorId;
    uint16_t productId;
};

const ModaliasCase kCases[] = {
    {"usb:v1A2Bp3C4Dd0100dcEFdsc02dp01ic0Eisc01ip00in00\n", nullptr, 0x1A2B, 0x3C4D},
    {"usb:v1a2bp3c4dd0100", nullptr, 0x1A2B, 0x3C4D},
    {"usb:vFFFFp0000d", nullptr, 0xFFFF, 0x0000},
    // Exactly 14 characters is the shortest accepted text.
    {"usb:v0001p0002", nullptr, 0x0001, 0x0002},
    {"usb:v0001p000", "Not a usb format modalias", 0, 0},
    {"", "Not a usb format modalias", 0, 0},
    {"pci:v00008086d00001234sv", "Not a usb format modalias", 0, 0},
    {"usb:v1234x5678d0100dc", "Not a usb format modalias", 0, 0},
    {"USB:v1234p5678d0100dc", "Not a usb format modalias", 0, 0},
    {"usb:v12G4p5678d0100", "Failed to read vendor ID", 0, 0},
    {"usb:v-123p5678d0100", "Failed to read vendor ID", 0, 0},
    {"usb:v1234p56Z8d0100", "Failed to read product ID", 0, 0},
    {"usb:v1234p 678d0100", "Failed to read product ID", 0, 0},
};

TEST(UsbModalias, AcceptsOnlyUsbModaliasesWithFourHexDigitsEach) {
    for (const ModaliasCase& c : kCases) {
        SCOPED_TRACE(c.text);
        uint16_t vendorId = 0xEEEE;
        uint16_t productId = 0xEEEE;
        const char* failure = ParseUsbModalias(c.text, &vendorId, &productId);
        if (c.failure == nullptr) {
            EXPECT_EQ(failure, nullptr);
            EXPECT_EQ(vendorId, c.vendorId);
            EXPECT_EQ(productId, c.productId);
        } else {
            ASSERT_NE(failure, nullptr);
            EXPECT_STREQ(failure, c.failure);
        }
    }
}

}  // namespace
