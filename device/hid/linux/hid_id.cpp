#include "hid_id.h"

#include <charconv>
#include <cstdint>
#include <limits>

namespace vorlane::linux_hid {

namespace {

// A field of hex digits only (no sign, prefix or blank), read in full.
std::optional<std::uint32_t> ParseHexField(std::string_view field) {
  std::uint32_t value = 0;
  const char* end = field.data() + field.size();
  const auto [stop, error] = std::from_chars(field.data(), end, value, 16);
  if (error != std::errc{} || stop != end) return std::nullopt;
  return value;
}

}  // namespace

std::optional<HidAttributes> ParseHidId(std::string_view hidId) {
  // "BBBB:VVVVVVVV:PPPPPPPP"
  if (hidId.size() != 22 || hidId[4] != ':' || hidId[13] != ':') return std::nullopt;
  const auto bus = ParseHexField(hidId.substr(0, 4));
  const auto vendor = ParseHexField(hidId.substr(5, 8));
  const auto product = ParseHexField(hidId.substr(14, 8));
  constexpr std::uint32_t kMaxId = std::numeric_limits<std::uint16_t>::max();
  if (!bus || !vendor || !product || *vendor > kMaxId || *product > kMaxId) return std::nullopt;

  HidAttributes attributes;
  attributes.VendorID = static_cast<std::uint16_t>(*vendor);
  attributes.ProductID = static_cast<std::uint16_t>(*product);
  return attributes;
}

}  // namespace vorlane::linux_hid
