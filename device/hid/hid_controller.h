// HidCtl: keeps the list of the system's HID devices, lends them out, and reports
// enumeration passes, device changes and unplugged devices. Platform-free: the
// platform is reached through a HidBackend. Everything runs on the UI thread; there
// are no threads and no polling.
#pragma once

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "hid_backend.h"
#include "hid_device.h"

namespace vorlane {

class HidCtlDevice;

// Lending rules: a device is held from CheckOutByIndex until CheckIn. The controller
// opens a device only while it is present and held, and only when something beyond
// its class GUID text and attributes is asked of it; it closes it again on CheckIn or
// when a re-scan finds it gone. A device that is gone but still held stays listed
// (never offered, never lent) until it is checked in, and is then discarded.
//
// Handlers may call Enumerate, CheckOutByIndex and CheckIn while an event is being
// raised, CheckIn from OnDeviceUnplug for the very device reported included. While a
// pass or a re-scan runs, a device being discarded stays in the list (gone, so never
// offered) until the outermost pass ends; list indices therefore stay stable during
// a pass. A handler must not destroy the controller.
class HidController : public QObject {
  Q_OBJECT

 public:
  // Starts the backend's watch and queues one re-scan, handled once the event loop
  // runs; the first re-scan always raises OnDeviceChange. A null backend gives a
  // controller that never scans and raises nothing.
  explicit HidController(std::unique_ptr<HidBackend> backend, QObject* parent = nullptr);
  // Raises OnDeviceUnplug for every device that is still held and has not been
  // reported gone already (the handler may check it in or not), then frees every
  // device and the backend. The devices' owner must not use any HidDevice it holds,
  // nor the controller, once the destructor has raised its events.
  ~HidController() override;

  HidController(const HidController&) = delete;
  HidController& operator=(const HidController&) = delete;

  // Offered device and its list index; return false to end the pass.
  std::function<bool(HidDevice* HidDev, int Idx)> OnEnumerate;
  // After a re-scan that found a listed device gone or a new one present, and after
  // the first re-scan in any case.
  std::function<void()> OnDeviceChange;
  // For each listed device a re-scan no longer finds (or offers anew, see above),
  // after its io is closed and before that re-scan's OnDeviceChange; at most once per
  // device.
  std::function<void(HidDevice* HidDev)> OnDeviceUnplug;

  // Raises OnEnumerate for each present device in list order (held ones too), until
  // the handler returns false. The only source of OnEnumerate. Returns the number of
  // devices offered (0 without a handler).
  int Enumerate();
  // Lends the device at Idx when it is present and nobody holds it. Otherwise (held,
  // gone, Idx out of range) sets HidDev to null and returns false.
  bool CheckOutByIndex(HidDevice*& HidDev, int Idx);
  // Takes a held device back, closing what was opened for it: a present device
  // becomes free to be lent again, a gone one is discarded. Sets HidDev to null.
  // A null, unknown or not held device is left alone.
  void CheckIn(HidDevice*& HidDev);

  // Re-scans the system's devices now, as a system notification does. A call made
  // while a re-scan is running, or while the controller is being destroyed, is dropped.
  void DeviceChange();

  // Devices in the list: the gone ones still held included, and while a pass runs
  // also the gone ones waiting to be discarded.
  int Count() const;

  // The list as it stands, in list order, for checks and diagnostics.
  struct ListedDevice {
    const HidDevice* device;
    // 1 for the first device ever listed, counting up: unlike the address, never reused.
    std::uint64_t serial;
    std::string path;
    bool present;
    bool held;
    bool ioOpen;
  };
  std::vector<ListedDevice> Listed() const;

 private:
  // Counts the running passes (enumeration, re-scan, destruction); the list keeps
  // its indices while one runs.
  class PassScope;

  void Rescan();
  HidCtlDevice* Find(const HidDevice* device) const;
  // Drops the gone devices nobody holds, unless a pass is running.
  void DiscardGone();

  std::unique_ptr<HidBackend> backend_;
  std::vector<std::unique_ptr<HidCtlDevice>> devices_;
  int passDepth_ = 0;
  bool rescanning_ = false;
  bool scannedOnce_ = false;
  bool destroying_ = false;
  std::uint64_t listedSerial_ = 0;
};

}  // namespace vorlane
