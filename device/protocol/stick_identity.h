// The identification test for the stick: class GUID text, vendor id, product code.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "hid_attributes.h"

namespace vorlane {

inline constexpr std::uint16_t kStickVendorId = 0x11C0;
inline constexpr std::uint16_t kStickProductCode = 0xF332;
inline constexpr std::uint16_t kProductIdMask = 0xA534;
// The product id the stick reports (0x5606): the one that gives kStickProductCode.
inline constexpr std::uint16_t kStickProductId = kStickProductCode ^ kProductIdMask;

// ASCII a..z to upper case; every other byte unchanged.
std::string AsciiUpper(std::string_view text);

// True when the class GUID text, upper-cased by AsciiUpper, equals kHidClassGuidText
// byte for byte (same length), the vendor id is vendorId and the product id XOR
// kProductIdMask is productCode.
bool IsStick(std::string_view classGuidText, const HidAttributes& attributes,
             std::uint16_t vendorId, std::uint16_t productCode);

}  // namespace vorlane
