// The commands of vorlane-cli. Each one returns its exit code or throws CliError; none
// sends anything before its arguments and files have been checked.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "cli_error.h"
#include "command_context.h"

namespace vorlane::cli {

// The HID devices, which of them is the stick, and whether it opens read-write.
// Opens no device but the sticks. NoStick when none is plugged in.
ExitCode ListCommand(const CommandContext& context);
// Pre-command and read, then the 24 values as the window shows them (or the
// parameter file's document with json).
ExitCode ReadCommand(const CommandContext& context, bool json);
// Reads and saves the block to a new file (an existing one only with force).
ExitCode BackupCommand(const CommandContext& context, const std::string& file, bool force);
// Reads the file, then the stick, shows what changes and, unless dryRun, writes and
// reads back.
ExitCode RestoreCommand(const CommandContext& context, const std::string& file, bool dryRun);
// Like restore, with the values of AXIS.KIND=VALUE arguments.
ExitCode SetCommand(const CommandContext& context, const std::vector<std::string>& assignments,
                    bool dryRun);
// Reads, saves the block first when backupFile is given, loads the defaults, reads
// back and shows what changed.
ExitCode DefaultsCommand(const CommandContext& context, const std::string& backupFile, bool force);

// Runs a command; a CliError is printed as one line "vorlane-cli: message" on err and
// gives its code.
int RunCommand(std::ostream& err, const std::function<ExitCode()>& command);

}  // namespace vorlane::cli
