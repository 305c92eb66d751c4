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
  // Bytes of every successful feature report answer, the id byte counted, from 1 to
  // featureLength + 1; 0 answers the whole report.
  std::size_t shortAnswer = 0;
  // Every feature report write is answered with an error and not stored.
  bool refuseSets = false;
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  std::string name;
  std::string logPath;    // empty: standard output
  std::string readyFile;  // empty: none

  bool operator==(const Options&) const = default;
};

// The options a run starts with: the stick's own identity, factory block, calibrated.
Options DefaultOptions();

struct ParsedCommandLine {
  enum class Action { Run, Help, Error };
  Action action = Action::Run;
  Options options;
  std::string error;  // for Action::Error

  bool operator==(const ParsedCommandLine&) const = default;
};

// Never throws for any argument vector; every problem comes back as Action::Error.
ParsedCommandLine ParseCommandLine(int argc, char** argv);

// Limits of the options.
inline constexpr std::size_t kLargestFeatureLength = 4095;  // UHID_DATA_MAX less the id byte
inline constexpr std::size_t kLargestNameLength = 127;      // the kernel keeps 128 bytes with the NUL
inline constexpr std::chrono::milliseconds kLongestReadDelay{60'000};

std::string HelpText();

}  // namespace virtualstick
