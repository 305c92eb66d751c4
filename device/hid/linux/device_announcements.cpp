#include "device_announcements.h"

#include <algorithm>

namespace vorlane::linux_hid {

void DeviceAnnouncements::add(const std::string& path) { ++counts_[path]; }

void DeviceAnnouncements::stamp(std::vector<HidDeviceInfo>& scanned) {
  std::erase_if(counts_, [&scanned](const auto& entry) {
    return std::ranges::none_of(scanned, [&entry](const HidDeviceInfo& d) { return d.path == entry.first; });
  });
  for (HidDeviceInfo& device : scanned) {
    const auto it = counts_.find(device.path);
    device.announcements = it == counts_.end() ? 0 : it->second;
  }
}

}  // namespace vorlane::linux_hid
