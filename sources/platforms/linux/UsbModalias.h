#pragma once
#include <cstdint>
#include <string>

// Vendor and product of a USB modalias ("usb:vVVVVpPPPP..."). Returns null on success, else
// the reason the text was refused.
const char* ParseUsbModalias(const std::string& modalias, uint16_t* vendorId, uint16_t* productId);
