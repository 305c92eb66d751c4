#include "cli_error.h"

namespace vorlane::cli {

std::string ExitCodeHelp() {
  return "Exit codes:\n"
         "  0  done\n"
         "  1  transfer failed: a report did not go through, or the stick's answer was incomplete\n"
         "  2  bad input: an unknown command, option, axis or kind, a value outside its range,\n"
         "     a broken or foreign file or one of another version, a file that cannot be read\n"
         "     or written, several sticks and none chosen; nothing was sent to the stick\n"
         "  3  no stick: none is plugged in, or the chosen one is gone\n"
         "  4  no access: the stick may not be opened for reading and writing\n"
         "  5  not confirmed: the stick took a write, but reading back shows other values";
}

}  // namespace vorlane::cli
