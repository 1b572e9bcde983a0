// The device types a camera may announce, as the kit's product profiles know them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace camsim {

enum class ProductKind { ToFOnly, ToFAndColour };

// Empty for a type the kit has no product profile for.
std::optional<ProductKind> KindOf(uint8_t deviceType);

// One line per type ("  0x11  ToF only"), for a help text.
std::string ProductTypesHelp();

// Why a camera of this type cannot be played, colour asked for or not; empty when it can.
// A ToF-and-colour type sends colour whether asked or not.
std::string CheckProduct(uint8_t deviceType, bool colourAsked);

}  // namespace camsim
