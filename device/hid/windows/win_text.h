// Conversions between the UTF-16 text of the Win32 API and the UTF-8 text of the
// program. Text that is not valid in its encoding converts to an empty string.
#pragma once

#include <string>
#include <string_view>

namespace vorlane::win {

std::string Utf8FromWide(std::wstring_view text);
std::string Utf8FromUtf16(std::u16string_view text);
std::wstring WideFromUtf8(std::string_view text);

}  // namespace vorlane::win
