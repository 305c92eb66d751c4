// What identifies a HID device: its setup class and its attributes.
#pragma once

#include <cstdint>

namespace vorlane {

// The setup class of HID devices, upper case, braces included.
inline constexpr char kHidClassGuidText[] = "{745A17A0-74D3-11D0-B6FE-00A0C90F57DA}";

struct HidAttributes {
  std::uint16_t VendorID = 0;
  std::uint16_t ProductID = 0;
  std::uint16_t VersionNumber = 0;
};

}  // namespace vorlane
