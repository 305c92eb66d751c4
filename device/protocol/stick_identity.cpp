#include "stick_identity.h"

namespace vorlane {

std::string AsciiUpper(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
  }
  return upper;
}

bool IsStick(std::string_view classGuidText, const HidAttributes& attributes,
             std::uint16_t vendorId, std::uint16_t productCode) {
  const auto code = static_cast<std::uint16_t>(attributes.ProductID ^ kProductIdMask);
  return AsciiUpper(classGuidText) == kHidClassGuidText && attributes.VendorID == vendorId &&
         code == productCode;
}

}  // namespace vorlane
