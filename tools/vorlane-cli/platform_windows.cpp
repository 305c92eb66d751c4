#include <windows.h>

#include "platform.h"
#include "win_text.h"

namespace vorlane::cli {

std::string Utf8Of(std::u16string_view text) { return win::Utf8FromUtf16(text); }

std::string NoAccessHint() {
  return "close other programs that hold the stick, or run as a user who may use it";
}

void PrepareConsole() { SetConsoleOutputCP(CP_UTF8); }

}  // namespace vorlane::cli
