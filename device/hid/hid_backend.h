// What the HID controller needs of a platform: list the present devices, open one,
// and say when the system's devices changed.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "hid_device.h"

namespace vorlane {

struct HidDeviceInfo {
  // Where the system lists the device (sysfs path, device interface path, ...).
  std::string path;
  std::string classGuidText;
  HidAttributes attributes;
  // Together with the path, the identity of this appearance of the device. A platform
  // that gives a device plugged again a new path leaves it 0; one that gives it its old
  // path counts the removals it was told of for that path, so that a pull and a replug
  // between two scans still make a new device.
  unsigned appearance = 0;
  // Counts the announcements of this appearance after the first one (a change of its
  // access rights, a late "added"); 0 where the platform does not tell.
  unsigned announcements = 0;
};

// An opened device. Opening is done only for a held device and only when something
// beyond the class GUID text and the attributes is asked of it. Its feature report
// transfers (FeatureTransport) say how many bytes went and, when the system refused,
// its error code and text.
class HidDeviceIo : public FeatureTransport {
 public:
  // Open for reading and writing: transfers can go through.
  virtual bool readWrite() const = 0;
  // Not open for reading and writing because the system denies this user the access
  // (no access rights), as opposed to any other reason (busy, out of descriptors).
  virtual bool accessDenied() const { return !readWrite(); }
  virtual HidCaps caps() = 0;
  virtual std::u16string productString() = 0;
};

class HidBackend {
 public:
  virtual ~HidBackend() = default;
  // Every HID device present now that can be listed, in the system's order; nothing
  // when the system could not be asked (then the list is unknown, not empty).
  virtual std::optional<std::vector<HidDeviceInfo>> scan() = 0;
  // Opens a listed device: read-write where allowed, else an io whose transfers fail
  // (readWrite() false) and that says whether access was denied. nullptr when it cannot
  // be opened at all (it is gone, say).
  virtual std::unique_ptr<HidDeviceIo> open(const HidDeviceInfo& device) = 0;
  // Starts watching the system; changed is called on the UI thread whenever the
  // system reports that devices were added, removed or changed. Called once.
  virtual void watch(std::function<void()> changed) = 0;
};

// The backend of the platform the program was built for (libudev on Linux,
// SetupAPI/hid.dll on Windows); nullptr where there is none.
std::unique_ptr<HidBackend> CreatePlatformHidBackend();

}  // namespace vorlane
