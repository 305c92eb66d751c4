// Command line of the virtual stick.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include "config_report.h"

namespace virtualstick {

struct Options {
  // Data bytes of the feature report after its id; the host sees one more.
  std::size_t featureLength = 127;
  bool calibrated = true;
  vorlane::ParamBlock params{};
  std::chrono::milliseconds readDelay{0};
  bool failReads = false;
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  std::string name;
  std::string logPath;    // empty: standard output
  std::string readyFile;  // empty: none
};

// The options a run starts with: the stick's own identity, factory block, calibrated.
Options DefaultOptions();

struct ParsedCommandLine {
  enum class Action { Run, Help, Error };
  Action action = Action::Run;
  Options options;
  std::string error;  // for Action::Error
};

ParsedCommandLine ParseCommandLine(int argc, char** argv);

std::string HelpText();

}  // namespace virtualstick
