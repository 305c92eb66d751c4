// The identification test for the stick: class GUID text, vendor id, product code.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "hid_device.h"

namespace vorlane {

inline constexpr std::uint16_t kStickVendorId = 0x11C0;
inline constexpr std::uint16_t kStickProductCode = 0xF332;
inline constexpr std::uint16_t kProductIdMask = 0xA534;

// ASCII a..z to upper case; every other byte unchanged.
std::string AsciiUpper(std::string_view text);

// True when the class GUID text (any letter case) is the HID class and the attributes
// carry vendorId and a product id whose XOR with kProductIdMask is productCode.
bool IsStick(std::string_view classGuidText, const HidAttributes& attributes,
             std::uint16_t vendorId, std::uint16_t productCode);

}  // namespace vorlane
