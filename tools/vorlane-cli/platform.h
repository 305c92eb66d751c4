// What vorlane-cli does differently on Linux and on Windows.
#pragma once

#include <string>
#include <string_view>

namespace vorlane::cli {

// A product name as UTF-8.
std::string Utf8Of(std::u16string_view text);

// What to do when the stick may not be opened for reading and writing.
std::string NoAccessHint();

// Sets up the console (UTF-8 output on Windows).
void PrepareConsole();

}  // namespace vorlane::cli
