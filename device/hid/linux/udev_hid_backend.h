// The HID layer on Linux: hidraw devices listed and watched through libudev,
// attributes read from sysfs, feature reports through the hidraw ioctls.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "device_announcements.h"
#include "hid_backend.h"
#include "removed_device_paths.h"
#include "udev_ptr.h"

class QSocketNotifier;
class QTimer;

namespace vorlane::linux_hid {

// A monitor of the hidraw devices' announcements, receiving; null with errno set when
// none can be had (no netlink in a sandbox, say).
using MonitorOpener = std::function<UdevMonitorPtr(udev*)>;

// Listens to udevd's announcements when it runs (they come after it has applied the
// device's permissions), else to the kernel's.
UdevMonitorPtr OpenHidrawMonitor(udev* context);

class UdevHidBackend final : public HidBackend {
 public:
  explicit UdevHidBackend(UdevPtr udev, MonitorOpener openMonitor = OpenHidrawMonitor);
  ~UdevHidBackend() override;

  UdevHidBackend(const UdevHidBackend&) = delete;
  UdevHidBackend& operator=(const UdevHidBackend&) = delete;

  // Every hidraw device whose ids can be read, by sysfs path (which is new for every
  // appearance of a device, as the HID instance number in it grows). While udevd runs,
  // a device it has not finished with yet is left out: its access rights may not be
  // set, and udevd's announcement that it was added follows. Opens nothing. Nothing
  // when udev could not list the devices.
  std::optional<std::vector<HidDeviceInfo>> scan() override;
  // nullptr only when the device is gone (or is no hidraw device).
  std::unique_ptr<HidDeviceIo> open(const HidDeviceInfo& device) override;
  // Reports every announcement of a hidraw device. While no monitor can be had it
  // says so in the log and calls changed once a second instead, trying again for a
  // monitor each time; once it has one, it calls changed once more and stops.
  void watch(std::function<void()> changed) override;

  bool Monitoring() const { return monitor_ != nullptr; }
  bool ScanningPeriodically() const;

 private:
  bool startMonitor();
  void periodicScan();
  void receiveAnnouncements();

  UdevPtr udev_;
  MonitorOpener openMonitor_;
  UdevMonitorPtr monitor_;
  std::unique_ptr<QSocketNotifier> notifier_;
  std::unique_ptr<QTimer> fallback_;
  std::function<void()> changed_;
  RemovedDevicePaths removed_;
  DeviceAnnouncements announced_;
};

}  // namespace vorlane::linux_hid
