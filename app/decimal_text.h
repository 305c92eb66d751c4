// Decimal numbers as the parameter boxes show and read them: fixed notation with a
// given decimal separator, read back at full long double precision. Plain C++, no Qt.
//
// Texts are UTF-8; the separator is the locale's (".", ",", or any other string).
// Digits are the ASCII digits 0-9 and signs the ASCII '+' and '-'.
#pragma once

#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace vorlane {

// More decimals than long double carries significant digits would show nothing new.
inline constexpr int kMaxDecimalPlaces = std::numeric_limits<long double>::max_digits10;

// The value in fixed notation with exactly `places` decimals (clamped to
// 0..kMaxDecimalPlaces), correctly rounded from the exact binary value: to the
// nearest, and a value exactly halfway goes to the even digit (0.25 -> "0.2",
// 0.75 -> "0.8"). 2.45L lies a little above 2.45 and so gives "2.5". A result made
// of zeros only carries no sign ("0.0", never "-0.0").
std::string FormatDecimal(long double value, int places, std::string_view separator);

// True when the text is a decimal number or the start of one: an optional sign, then
// digits with at most one separator among them ("", "-", ",", "12,", ",5" all pass).
// A minus sign passes only when allow_minus is true; a plus sign always does.
bool IsDecimalDraft(std::string_view text, std::string_view separator, bool allow_minus);

// The number a draft stands for. A draft without digits ("", "+", "-", ",") stands
// for 0. A number too large for long double gives the infinity of its sign; one too
// small gives zero. Any text that is not a draft gives nothing.
std::optional<long double> ReadDecimal(std::string_view text, std::string_view separator);

}  // namespace vorlane
