// The exit codes of vorlane-cli, and the error that ends a command with one of them.
#pragma once

#include <stdexcept>
#include <string>

namespace vorlane::cli {

enum class ExitCode : int {
  Ok = 0,
  TransferFailed = 1,  // a transfer failed or the stick's answer was incomplete
  BadInput = 2,        // a bad argument or file, or a file that cannot be read or written
  NoStick = 3,         // no stick is plugged in (or the one named is gone)
  NoAccess = 4,        // the stick may not be opened for reading and writing
  NotConfirmed = 5,    // the stick took a write, but reading back shows other values
};

// The exit codes as --help and the manual page list them.
std::string ExitCodeHelp();

class CliError : public std::runtime_error {
 public:
  CliError(ExitCode code, const std::string& message) : std::runtime_error(message), code_(code) {}
  ExitCode code() const { return code_; }

 private:
  ExitCode code_;
};

inline CliError BadInput(const std::string& message) { return {ExitCode::BadInput, message}; }

}  // namespace vorlane::cli
