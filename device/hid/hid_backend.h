// What the HID controller needs of a platform: list the present devices, open one,
// and say when the system's devices changed.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "hid_device.h"

namespace vorlane {

struct HidDeviceInfo {
  // Identity of this appearance of the device (sysfs path, device interface path, ...).
  // A device plugged again gets a new path or is seen as new after it was gone.
  std::string path;
  std::string classGuidText;
  HidAttributes attributes;
};

// An opened device. Opening is done only for a held device and only when something
// beyond the class GUID text and the attributes is asked of it. Its feature report
// transfers (FeatureTransport) say how many bytes went and, when the system refused,
// its error code and text.
class HidDeviceIo : public FeatureTransport {
 public:
  virtual bool readWrite() const = 0;
  virtual HidCaps caps() = 0;
  virtual std::u16string productString() = 0;
};

class HidBackend {
 public:
  virtual ~HidBackend() = default;
  // Every HID device present now that can be listed, in the system's order.
  virtual std::vector<HidDeviceInfo> scan() = 0;
  // Opens a listed device: read-write where allowed, else without access rights
  // (readWrite() false). nullptr when it cannot be opened at all.
  virtual std::unique_ptr<HidDeviceIo> open(const HidDeviceInfo& device) = 0;
  // Starts watching the system; changed is called on the UI thread whenever the
  // system reports that devices were added or removed. Called once.
  virtual void watch(std::function<void()> changed) = 0;
};

// The backend of the platform the program was built for (libudev on Linux,
// SetupAPI/hid.dll on Windows); nullptr where there is none.
std::unique_ptr<HidBackend> CreatePlatformHidBackend();

}  // namespace vorlane
