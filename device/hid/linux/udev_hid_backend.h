// The HID layer on Linux: hidraw devices listed and watched through libudev,
// attributes read from sysfs, feature reports through the hidraw ioctls.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "hid_backend.h"
#include "removed_device_paths.h"
#include "udev_ptr.h"

class QSocketNotifier;

namespace vorlane::linux_hid {

class UdevHidBackend final : public HidBackend {
 public:
  explicit UdevHidBackend(UdevPtr udev);
  ~UdevHidBackend() override;

  UdevHidBackend(const UdevHidBackend&) = delete;
  UdevHidBackend& operator=(const UdevHidBackend&) = delete;

  // Every hidraw device whose ids can be read, by sysfs path (which is new for every
  // appearance of a device, as the HID instance number in it grows). Opens nothing.
  std::vector<HidDeviceInfo> scan() override;
  // nullptr only when the device is gone (or is no hidraw device).
  std::unique_ptr<HidDeviceIo> open(const HidDeviceInfo& device) override;
  // Listens to udevd's announcements when it runs (they come after it has applied the
  // device's permissions), else to the kernel's.
  void watch(std::function<void()> changed) override;

 private:
  void receiveAnnouncements();

  UdevPtr udev_;
  UdevMonitorPtr monitor_;
  std::unique_ptr<QSocketNotifier> notifier_;
  std::function<void()> changed_;
  RemovedDevicePaths removed_;
};

}  // namespace vorlane::linux_hid
