// What every command of vorlane-cli works with: the HID backend, the streams, the
// chosen device, the clock and the pause between steps. The program fills it from the
// command line; the tests fill it with a simulated backend and string streams.
#pragma once

#include <functional>
#include <ostream>
#include <string>

#include "hid_backend.h"
#include "stick_session.h"

namespace vorlane::cli {

struct CommandContext {
  HidBackend& backend;
  std::ostream& out;
  // Notes and the report trace; errors are printed by the caller.
  std::ostream& err;
  // "vorlane-cli 1.0.2", written into parameter files.
  std::string program;
  // --device: the path of the stick to use; empty: the only stick plugged in.
  std::string devicePath;
  // --trace: every report sent and received, on err.
  bool trace = false;
  // The current time, UTC, ISO 8601.
  std::function<std::string()> now;
  StickSession::Sleeper sleep;
};

}  // namespace vorlane::cli
