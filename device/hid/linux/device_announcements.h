// How often the system has announced each device as added or changed.
//
// A scan can list a hidraw node before udev has finished with it (before it applied
// the access rights, say); udev's own "added" comes later, and a "change" follows
// when the rights are changed again. The counts let the controller see that a device
// it already lists was announced anew, and open it again where opening it failed.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "hid_backend.h"

namespace vorlane::linux_hid {

class DeviceAnnouncements {
 public:
  // An announcement other than a removal.
  void add(const std::string& path);

  // Sets the announcements of each scanned device to its count. A path that the scan
  // does not list is forgotten.
  void stamp(std::vector<HidDeviceInfo>& scanned);

 private:
  std::map<std::string, unsigned> counts_;
};

}  // namespace vorlane::linux_hid
