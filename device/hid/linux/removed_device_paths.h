// Devices that the system has announced as removed.
//
// The kernel announces a removal just before the device leaves sysfs, so a scan that
// follows the announcement at once can still list the device. Left in, it would never
// be seen to go: no further announcement comes for it.
#pragma once

#include <string>
#include <vector>

#include "hid_backend.h"

namespace vorlane::linux_hid {

class RemovedDevicePaths {
 public:
  void add(std::string path);

  // Drops the devices announced as removed from a scan's result. A path that the scan
  // no longer lists has left sysfs and is forgotten.
  void dropFrom(std::vector<HidDeviceInfo>& scanned);

 private:
  std::vector<std::string> paths_;
};

}  // namespace vorlane::linux_hid
