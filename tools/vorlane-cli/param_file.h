// The parameter file of backup and restore (also what "read --json" prints): a JSON
// document with the stick's block as the window shows it and as the stick gave it.
//
//   {
//     "format": "vorlane-parameters", "version": 1,
//     "program": "vorlane-cli 1.0.2", "stick": "...", "date": "2026-01-31T12:00:00Z",
//     "calibrated": true,
//     "parameters": { "x": { "deadzone-start": 0.5, "deadzone-end": 1.0, "resolution": 10 },
//                     ... one object for each of the 8 axes ... },
//     "raw-block": "0505...0a"      (the 24 bytes as the stick gave them, in hex)
//   }
//
// "parameters" holds what restore writes; "raw-block" keeps what the stick held,
// values outside the boxes included, for the record.
#pragma once

#include <string>
#include <string_view>

#include "config_report.h"

namespace vorlane::cli {

inline constexpr std::string_view kFileFormat = "vorlane-parameters";
inline constexpr int kFileVersion = 1;

struct ParamRecord {
  std::string program;  // name and version of the program that wrote it
  std::string stick;    // the stick's product name
  std::string date;     // when it was read, UTC, ISO 8601
  bool calibrated = false;
  ParamBlock raw{};     // as the stick gave it
};

// The document, indented, with a final newline. The parameters are the raw block
// brought into the boxes as the window does.
std::string ParamFileText(const ParamRecord& record);

struct ParamFile {
  ParamRecord record;
  // The block the parameters give, as Save converts them.
  ParamBlock block{};
};

// Reads a document. Throws CliError (BadInput) with one line telling what is wrong: not
// JSON, not a parameter file, another version, a missing or unknown axis or kind, a
// value that is no number or lies outside its box, a malformed field.
ParamFile ParseParamFile(std::string_view text);

}  // namespace vorlane::cli
