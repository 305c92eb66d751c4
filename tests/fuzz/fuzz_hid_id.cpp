// libFuzzer entry point for the parser of the kernel's HID_ID property. Besides the
// sanitizers, it checks each accepted text against a second reading of it: the shape
// "BBBB:VVVVVVVV:PPPPPPPP" of hex digits, and ids read digit by digit.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "hid_id.h"

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The field read digit by digit; -1 when a character is no hex digit.
long long Field(std::string_view text) {
  long long value = 0;
  for (char c : text) {
    const int digit = HexDigit(c);
    if (digit < 0) return -1;
    value = value * 16 + digit;
  }
  return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto parsed = vorlane::linux_hid::ParseHidId(text);

  const bool shaped = size == 22 && text[4] == ':' && text[13] == ':';
  const long long bus = shaped ? Field(text.substr(0, 4)) : -1;
  const long long vendor = shaped ? Field(text.substr(5, 8)) : -1;
  const long long product = shaped ? Field(text.substr(14, 8)) : -1;
  const bool valid = bus >= 0 && vendor >= 0 && product >= 0 && vendor <= 0xFFFF && product <= 0xFFFF;

  if (parsed.has_value() != valid) std::abort();
  if (parsed && (parsed->VendorID != vendor || parsed->ProductID != product || parsed->VersionNumber != 0)) {
    std::abort();
  }
  return 0;
}
