#include "commands.h"

#include <cstdio>
#include <iomanip>

#include "assignments.h"
#include "block_diff.h"
#include "param_file.h"
#include "param_files_io.h"
#include "param_table.h"
#include "platform.h"
#include "stick_connection.h"

namespace vorlane::cli {

namespace {

constexpr int kNameWidth = 13;

std::string Hex16(std::uint16_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%04X", static_cast<unsigned>(value));
  return text;
}

ParamRecord RecordOf(const CommandContext& context, const StickConnection& stick,
                     const ParamAnswer& answer) {
  return {context.program, stick.name(), context.now(), answer.calibrated, answer.block};
}

void PrintTable(std::ostream& out, const ParamBlock& raw) {
  const ParamBlock shown = WindowBlock(raw);
  out << std::left << std::setw(kNameWidth) << "axis" << std::right;
  for (const std::string_view kind : kKindNames) out << "  " << kind;
  out << '\n';
  for (int axis = 0; axis < kAxisCount; ++axis) {
    out << std::left << std::setw(kNameWidth) << kAxisNames[static_cast<std::size_t>(axis)]
        << std::right;
    for (const ParamKind kind : kParamKinds) {
      out << "  " << std::setw(static_cast<int>(KindName(kind).size()))
          << FormatByte(kind, shown[ParamBlockIndex(axis, kind)]);
    }
    out << '\n';
  }
  // What the stick holds outside a box is shown, and written back, as the window does.
  for (const ParamChange& change : BlockChanges(raw, shown)) {
    out << "note: the stick holds " << FormatByte(change.id.kind, change.before) << " for "
        << ParamName(change.id) << ", outside " << FormatRange(change.id)
        << "; shown and saved as " << FormatByte(change.id.kind, change.after) << '\n';
  }
}

void PrintChanges(std::ostream& out, const std::vector<ParamChange>& changes) {
  for (const ParamChange& change : changes) out << "  " << ChangeLine(change) << '\n';
}

// Shows what changes, writes unless dryRun, and checks the stick's answer.
ExitCode WriteBlock(const CommandContext& context, StickConnection& stick,
                    const ParamBlock& before, const ParamBlock& target, bool dryRun) {
  const std::vector<ParamChange> changes = BlockChanges(before, target);
  if (changes.empty()) {
    context.out << "the stick holds these values already; nothing was written\n";
    return ExitCode::Ok;
  }
  context.out << (dryRun ? "would change:\n" : "changing:\n");
  PrintChanges(context.out, changes);
  if (dryRun) {
    context.out << "dry run: nothing was written\n";
    return ExitCode::Ok;
  }
  stick.Write(target);
  const ParamAnswer after = stick.Read();
  const std::vector<ParamChange> differences = BlockChanges(target, after.block);
  if (!differences.empty()) {
    std::string message = "the stick does not hold what was written; reading back gives:";
    for (const ParamChange& d : differences) {
      message += "\n  " + ParamName(d.id) + ": written " + FormatByte(d.id.kind, d.before) +
                 ", read back " + FormatByte(d.id.kind, d.after);
    }
    throw CliError(ExitCode::NotConfirmed, message);
  }
  context.out << "written; reading back confirms the new values\n";
  return ExitCode::Ok;
}

void PrintStick(const CommandContext& context, const StickConnection& stick) {
  context.out << "stick: " << stick.name() << " (" << stick.info().path << ")\n";
}

}  // namespace

ExitCode ListCommand(const CommandContext& context) {
  const std::vector<HidDeviceInfo> devices = ScanDevices(context);
  if (devices.empty()) context.out << "no HID devices\n";
  int sticks = 0;
  for (const HidDeviceInfo& device : devices) {
    const bool stick = !SticksAmong({device}).empty();
    context.out << device.path << "\n    vendor " << Hex16(device.attributes.VendorID)
                << ", product " << Hex16(device.attributes.ProductID) << ", class "
                << (device.classGuidText.empty() ? "(unreadable)" : device.classGuidText) << '\n';
    if (!stick) continue;
    ++sticks;
    const std::unique_ptr<HidDeviceIo> io = context.backend.open(device);
    if (!io) {
      context.out << "    the stick; gone before it could be opened\n";
      continue;
    }
    context.out << "    the stick: \"" << Utf8Of(io->productString()) << "\", "
                << (io->readWrite() ? "read-write" : "no access (may not be opened read-write)")
                << ", feature report " << io->caps().FeatureReportByteLength << " bytes\n";
  }
  if (sticks == 0) {
    context.out << "no stick is plugged in\n";
    return ExitCode::NoStick;
  }
  return ExitCode::Ok;
}

ExitCode ReadCommand(const CommandContext& context, bool json) {
  StickConnection stick(context);
  const ParamAnswer answer = stick.Read();
  if (json) {
    context.out << ParamFileText(RecordOf(context, stick, answer));
    return ExitCode::Ok;
  }
  PrintStick(context, stick);
  context.out << "calibrated: " << (answer.calibrated ? "yes" : "no") << '\n';
  PrintTable(context.out, answer.block);
  return ExitCode::Ok;
}

ExitCode BackupCommand(const CommandContext& context, const std::string& file, bool force) {
  StickConnection stick(context);
  const ParamAnswer answer = stick.Read();
  WriteTextFile(file, ParamFileText(RecordOf(context, stick, answer)), force);
  PrintStick(context, stick);
  context.out << "saved its parameters to " << file << '\n';
  return ExitCode::Ok;
}

ExitCode RestoreCommand(const CommandContext& context, const std::string& file, bool dryRun) {
  const ParamFile saved = [&] {
    try {
      return ParseParamFile(ReadTextFile(file));
    } catch (const CliError& e) {
      // Messages about the file's content name the file.
      const std::string message = e.what();
      if (message.find(file) != std::string::npos) throw;
      throw CliError(e.code(), file + ": " + message);
    }
  }();
  StickConnection stick(context);
  const ParamAnswer answer = stick.Read();
  PrintStick(context, stick);
  context.out << "restoring " << file << " (from \"" << saved.record.stick << "\", "
              << saved.record.date << ")\n";
  return WriteBlock(context, stick, answer.block, saved.block, dryRun);
}

ExitCode SetCommand(const CommandContext& context, const std::vector<std::string>& arguments,
                    bool dryRun) {
  const std::vector<Assignment> assignments = ParseAssignments(arguments);
  StickConnection stick(context);
  const ParamAnswer answer = stick.Read();
  PrintStick(context, stick);
  // The other values as the window would save them.
  return WriteBlock(context, stick, answer.block, Assign(WindowBlock(answer.block), assignments),
                    dryRun);
}

ExitCode DefaultsCommand(const CommandContext& context, const std::string& backupFile, bool force) {
  StickConnection stick(context);
  const ParamAnswer before = stick.Read();
  PrintStick(context, stick);
  if (!backupFile.empty()) {
    WriteTextFile(backupFile, ParamFileText(RecordOf(context, stick, before)), force);
    context.out << "saved its parameters to " << backupFile << '\n';
  }
  stick.LoadDefaults();
  const ParamAnswer after = stick.Read();
  const std::vector<ParamChange> changes = BlockChanges(before.block, after.block);
  context.out << "loaded the defaults; ";
  if (changes.empty()) {
    context.out << "no value changed\n";
  } else {
    context.out << "changed:\n";
    PrintChanges(context.out, changes);
  }
  return ExitCode::Ok;
}

int RunCommand(std::ostream& err, const std::function<ExitCode()>& command) {
  try {
    return static_cast<int>(command());
  } catch (const CliError& e) {
    err << "vorlane-cli: " << e.what() << '\n';
    return static_cast<int>(e.code());
  }
}

}  // namespace vorlane::cli
