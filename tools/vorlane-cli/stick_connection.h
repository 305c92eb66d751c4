// The stick that a command works on: found among the HID devices, opened read-write,
// and attached to a protocol session that carries out the window's steps.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "command_context.h"
#include "hid_backend.h"
#include "stick_session.h"

namespace vorlane::cli {

// The listed devices that identify as the stick.
std::vector<HidDeviceInfo> SticksAmong(const std::vector<HidDeviceInfo>& devices);
// Every HID device present now. Throws CliError (TransferFailed) when the system could
// not be asked: that list is unknown, not empty.
std::vector<HidDeviceInfo> ScanDevices(const CommandContext& context);

class StickConnection {
 public:
  // Takes the stick named by context.devicePath, or the only one plugged in. Throws
  // CliError: NoStick (none, or the named one is gone), BadInput (the named device is
  // no stick, or several sticks and none named), NoAccess (opens only without read
  // and write access), TransferFailed (no feature report length: nothing is sent).
  explicit StickConnection(const CommandContext& context);

  const HidDeviceInfo& info() const { return info_; }
  // The product name, UTF-8.
  const std::string& name() const { return name_; }

  // The read the window makes after connecting: a pause of 100 ms, the pre-command,
  // then the parameter read. Throws CliError (TransferFailed) when a step fails.
  // Also the read-back after a write.
  ParamAnswer Read();
  // Sends the block (allowed once a read was complete). Throws on failure.
  void Write(const ParamBlock& block);
  // Sends the load-defaults command. Throws on failure.
  void LoadDefaults();

 private:
  StickSession session_;
  const CommandContext& context_;
  HidDeviceInfo info_;
  std::unique_ptr<HidDeviceIo> device_;
  std::string name_;
};

}  // namespace vorlane::cli
