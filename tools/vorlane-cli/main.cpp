// vorlane-cli: the stick's parameters from a terminal. Reads, backs up, restores and
// sets them, and loads the defaults, over the same device layer and protocol session as
// the window.
#include <CLI/CLI.hpp>

#include <chrono>
#include <ctime>
#include <iostream>
#include <thread>

#include "cli_error.h"
#include "command_context.h"
#include "commands.h"
#include "hid_backend.h"
#include "param_table.h"
#include "platform.h"

namespace {

using vorlane::cli::ExitCode;

std::string UtcNow() {
  const std::time_t now = std::time(nullptr);
  char text[32] = "";
  if (const std::tm* utc = std::gmtime(&now)) std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", utc);
  return text;
}

const std::string kProgram = std::string("vorlane-cli ") + VORLANE_VERSION;

}  // namespace

int main(int argc, char** argv) {
  vorlane::cli::PrepareConsole();

  CLI::App app(
      "Reads, backs up, restores and sets the parameters of the flight stick that Vorlane "
      "configures: the dead-zone start, dead-zone end and resolution of its 8 axis slots. "
      "It talks to the stick as the window does: a pre-command and a read first, and every "
      "write read back.",
      "vorlane-cli");
  app.set_version_flag("--version", kProgram, "Show the program's version");
  app.footer(vorlane::cli::ExitCodeHelp());
  app.require_subcommand(1, 1);
  app.fallthrough();
  std::string device;
  bool trace = false;
  app.add_option("--device", device,
                 "The stick to use, by its path from 'list' (needed when several are plugged in)");
  app.add_flag("--trace", trace, "Print every report sent and received on standard error");

  CLI::App* list = app.add_subcommand(
      "list", "List the HID devices, tell which one is the stick and whether it opens read-write");

  CLI::App* read = app.add_subcommand(
      "read", "Read the stick and show its 24 values as the window shows them");
  bool json = false;
  read->add_flag("--json", json, "Print the values as a parameter file (JSON), as backup writes it");

  CLI::App* backup = app.add_subcommand("backup", "Save the stick's parameters to a JSON file");
  std::string backupFile;
  bool force = false;
  backup->add_option("FILE", backupFile, "The file to write")->required();
  backup->add_flag("--force", force, "Replace FILE if it exists");

  CLI::App* restore = app.add_subcommand(
      "restore", "Write the parameters of a file made by backup to the stick, and read them back");
  std::string restoreFile;
  bool dryRun = false;
  restore->add_option("FILE", restoreFile, "The parameter file")->required();
  restore->add_flag("--dry-run", dryRun, "Only show what would change");

  const std::string axes = vorlane::cli::AxisNameList();
  const std::string kinds = vorlane::cli::KindNameList();
  CLI::App* set = app.add_subcommand(
      "set", "Change parameters: AXIS.KIND=VALUE ..., e.g. x.deadzone-start=1.5; reads, "
             "writes and reads back");
  std::vector<std::string> assignments;
  set->add_option("AXIS.KIND=VALUE", assignments,
                  "AXIS: " + axes + "; KIND: " + kinds +
                      "; dead zones 0..25 in steps of 0.1, resolutions 8..12 on x and y and "
                      "8..10 on the other axes")
      ->required();
  set->add_flag("--dry-run", dryRun, "Only show what would change");

  CLI::App* defaults = app.add_subcommand(
      "defaults", "Have the stick load its factory parameters, after saving the current ones "
                  "when asked");
  std::string defaultsBackup;
  defaults->add_option("--backup", defaultsBackup, "Save the current parameters to this file first");
  defaults->add_flag("--force", force, "Replace the --backup file if it exists");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // Help and version go to standard output with status 0.
    if (e.get_exit_code() == 0) return app.exit(e);
    std::cerr << "vorlane-cli: " << e.what() << " (see vorlane-cli --help)\n";
    return static_cast<int>(ExitCode::BadInput);
  }

  const std::unique_ptr<vorlane::HidBackend> backend = vorlane::CreatePlatformHidBackend();
  if (!backend) {
    std::cerr << "vorlane-cli: the system's HID devices cannot be listed\n";
    return static_cast<int>(ExitCode::NoStick);
  }
  const vorlane::cli::CommandContext context{
      *backend,
      std::cout,
      std::cerr,
      kProgram,
      device,
      trace,
      UtcNow,
      [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); },
  };
  using namespace vorlane::cli;
  return RunCommand(std::cerr, [&] {
    if (*list) return ListCommand(context);
    if (*read) return ReadCommand(context, json);
    if (*backup) return BackupCommand(context, backupFile, force);
    if (*restore) return RestoreCommand(context, restoreFile, dryRun);
    if (*set) return SetCommand(context, assignments, dryRun);
    return DefaultsCommand(context, defaultsBackup, force);
  });
}
