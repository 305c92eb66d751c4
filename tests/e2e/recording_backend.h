// A HidBackend around the platform one that notes when devices are opened and when
// their feature reports go out and come back, and can open devices as another user.
// Everything else passes through unchanged.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "hid_backend.h"

class RecordingBackend final : public vorlane::HidBackend {
 public:
  using Clock = std::chrono::steady_clock;
  struct Transfer {
    bool set;  // SetFeature, else GetFeature
    bool ok;
    Clock::time_point done;
  };

  explicit RecordingBackend(std::unique_ptr<vorlane::HidBackend> platform);

  std::optional<std::vector<vorlane::HidDeviceInfo>> scan() override;
  std::unique_ptr<vorlane::HidDeviceIo> open(const vorlane::HidDeviceInfo& device) override;
  void watch(std::function<void()> changed) override;

  // Every open, in order: when it returned.
  std::vector<Clock::time_point> opens;
  // Every transfer of every opened device, in order.
  std::vector<Transfer> transfers;
  // The user the devices are opened as.
  uid_t openAs = 0;
  // Called after each open, before the device is handed on.
  std::function<void()> afterOpen;

 private:
  std::unique_ptr<vorlane::HidBackend> platform_;
};
