#include "removed_device_paths.h"

#include <algorithm>
#include <utility>

namespace vorlane::linux_hid {

void RemovedDevicePaths::add(std::string path) { paths_.push_back(std::move(path)); }

void RemovedDevicePaths::dropFrom(std::vector<HidDeviceInfo>& scanned) {
  const auto listed = [&scanned](const std::string& path) {
    return std::ranges::any_of(scanned, [&path](const HidDeviceInfo& d) { return d.path == path; });
  };
  std::erase_if(paths_, [&listed](const std::string& path) { return !listed(path); });
  std::erase_if(scanned, [this](const HidDeviceInfo& d) {
    return std::ranges::find(paths_, d.path) != paths_.end();
  });
}

}  // namespace vorlane::linux_hid
