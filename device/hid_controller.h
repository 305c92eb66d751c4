// HidCtl: keeps the list of the system's HID devices, lends them out, and reports
// enumeration passes, device changes and unplugged devices. Platform-free: the
// platform is reached through a HidBackend. Everything runs on the UI thread.
#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <vector>

#include "hid_backend.h"
#include "hid_device.h"

namespace vorlane {

class HidCtlDevice;

class HidController : public QObject {
  Q_OBJECT

 public:
  // Queues one re-scan, handled once the event loop runs; that first re-scan always
  // raises OnDeviceChange. A null backend gives a controller that never scans.
  explicit HidController(std::unique_ptr<HidBackend> backend, QObject* parent = nullptr);
  // Raises OnDeviceUnplug for every device that is still held.
  ~HidController() override;

  HidController(const HidController&) = delete;
  HidController& operator=(const HidController&) = delete;

  // Offered device and its list index; return false to end the pass.
  std::function<bool(HidDevice* HidDev, int Idx)> OnEnumerate;
  // After a re-scan that found a listed device gone or a new one present.
  std::function<void()> OnDeviceChange;
  // For each listed device a re-scan no longer finds, before that re-scan's
  // OnDeviceChange; at most once per device.
  std::function<void(HidDevice* HidDev)> OnDeviceUnplug;

  // Raises OnEnumerate for each present device in list order (held ones too).
  // Returns the number of devices offered.
  int Enumerate();
  // Lends the device at Idx when it is present and nobody holds it.
  bool CheckOutByIndex(HidDevice*& HidDev, int Idx);
  // Takes a held device back (closing what was opened for it); a device that is gone
  // is discarded. Sets HidDev to null.
  void CheckIn(HidDevice*& HidDev);

  // Re-scans the system's devices now, as a system notification does. A call made while a
  // re-scan is running is dropped.
  void DeviceChange();

  // Devices in the list, the gone-but-held ones included.
  int Count() const;

 private:
  void rescan(bool always_report);

  std::unique_ptr<HidBackend> backend_;
  std::vector<std::unique_ptr<HidCtlDevice>> devices_;
  bool rescanning_ = false;
  bool destroying_ = false;
};

}  // namespace vorlane
