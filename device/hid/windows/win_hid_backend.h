// The Windows HID backend: lists HID device interfaces through SetupAPI, opens them
// with CreateFile and hid.dll, and watches for devices arriving and leaving.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "hid_backend.h"
#include "path_appearances.h"

namespace vorlane::win {

class DeviceChangeWindow;

class WinHidBackend final : public HidBackend {
 public:
  WinHidBackend();
  ~WinHidBackend() override;

  WinHidBackend(const WinHidBackend&) = delete;
  WinHidBackend& operator=(const WinHidBackend&) = delete;

  // Every present HID interface that opens (read-write, else without access rights)
  // and yields its attributes. Each one is closed again before the next is looked at.
  // A device plugged again keeps its interface path; the removals the notifications
  // reported for a path make it a new appearance. Nothing when the system could not
  // list the interfaces.
  std::optional<std::vector<HidDeviceInfo>> scan() override;
  std::unique_ptr<HidDeviceIo> open(const HidDeviceInfo& device) override;
  // The notifications reach the message loop of the calling thread.
  void watch(std::function<void()> changed) override;

 private:
  std::unique_ptr<DeviceChangeWindow> watcher_;
  PathAppearances appearances_;
};

}  // namespace vorlane::win
