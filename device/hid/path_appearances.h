// Appearances of devices under paths that come back.
//
// Where the system gives a device plugged again the path it had before (Windows keeps
// a device interface path for as long as the device sits in the same port), a pull and
// a replug that fall between two scans leave the path listed by both. Counting the
// removals the system announced for each path tells the two appearances apart.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "hid_backend.h"

namespace vorlane {

class PathAppearances {
 public:
  // The system announced the device at path removed. Paths are compared as given:
  // the caller folds them where the system's spellings differ.
  void noteRemoved(const std::string& path);

  // Sets the appearance of each scanned device, found by key(its path), to the
  // removals noted for it. A path that the scan no longer lists is forgotten: the
  // device under it was seen gone, and its next appearance is new to the list anyway.
  template <typename Key>
  void stamp(std::vector<HidDeviceInfo>& scanned, Key key) {
    std::vector<std::string> keys;
    keys.reserve(scanned.size());
    for (const HidDeviceInfo& device : scanned) keys.push_back(key(device.path));
    keepOnly(keys);
    for (std::size_t i = 0; i < scanned.size(); ++i) scanned[i].appearance = removalsOf(keys[i]);
  }
  void stamp(std::vector<HidDeviceInfo>& scanned) {
    stamp(scanned, [](const std::string& path) { return path; });
  }

 private:
  void keepOnly(const std::vector<std::string>& paths);
  unsigned removalsOf(const std::string& path) const;

  std::map<std::string, unsigned> removals_;
};

}  // namespace vorlane
