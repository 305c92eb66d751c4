#include "decimal_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <system_error>

namespace vorlane {
namespace {

// Room for the longest fixed-notation text: a sign, all integer digits of the largest
// long double, the point and the most decimals.
constexpr std::size_t kFormatBufferSize =
    1 + (std::numeric_limits<long double>::max_exponent10 + 1) + 1 + kMaxDecimalPlaces;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The draft spelt for std::from_chars: '.' as the point, no plus sign. Nothing when
// the text is not a draft.
std::optional<std::string> NormalizeDraft(std::string_view text, std::string_view separator,
                                          bool allow_minus) {
  std::string ascii;
  ascii.reserve(text.size());
  if (text.starts_with('+')) {
    text.remove_prefix(1);
  } else if (text.starts_with('-')) {
    if (!allow_minus) return std::nullopt;
    ascii += '-';
    text.remove_prefix(1);
  }
  bool separator_seen = false;
  while (!text.empty()) {
    if (IsDigit(text.front())) {
      ascii += text.front();
      text.remove_prefix(1);
    } else if (!separator_seen && !separator.empty() && text.starts_with(separator)) {
      separator_seen = true;
      ascii += '.';
      text.remove_prefix(separator.size());
    } else {
      return std::nullopt;
    }
  }
  return ascii;
}

}  // namespace

std::string FormatDecimal(long double value, int places, std::string_view separator) {
  std::array<char, kFormatBufferSize> buffer;
  // The buffer holds every long double in fixed notation, so this cannot fail.
  char* end = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                  std::chars_format::fixed, std::clamp(places, 0, kMaxDecimalPlaces))
                        .ptr;
  std::string text(buffer.data(), end);
  if (text.starts_with('-') && text.find_first_not_of("0.", 1) == std::string::npos) {
    text.erase(0, 1);
  }
  if (const auto point = text.find('.'); point != std::string::npos) {
    text.replace(point, 1, separator);
  }
  return text;
}

bool IsDecimalDraft(std::string_view text, std::string_view separator, bool allow_minus) {
  return NormalizeDraft(text, separator, allow_minus).has_value();
}

std::optional<long double> ReadDecimal(std::string_view text, std::string_view separator) {
  const std::optional<std::string> ascii = NormalizeDraft(text, separator, true);
  if (!ascii) return std::nullopt;
  const bool negative = ascii->starts_with('-');
  const std::string_view number = std::string_view(*ascii).substr(negative ? 1 : 0);
  if (std::ranges::none_of(number, IsDigit)) return 0.0L;

  long double value = 0;
  const auto [end, error] = std::from_chars(ascii->data(), ascii->data() + ascii->size(), value,
                                            std::chars_format::fixed);
  if (error == std::errc::result_out_of_range) {
    // Beyond the largest long double if the integer part is not zero, else below the
    // smallest one.
    const std::string_view integer_part = number.substr(0, number.find('.'));
    const bool huge = integer_part.find_first_not_of('0') != std::string_view::npos;
    value = huge ? std::numeric_limits<long double>::infinity() : 0.0L;
    return negative ? -value : value;
  }
  if (error != std::errc() || end != ascii->data() + ascii->size()) return std::nullopt;
  return value;
}

}  // namespace vorlane
