#include "hidraw_add_watch.h"

#include <libudev.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

HidrawAddWatch::HidrawAddWatch() {
  udev_ = udev_new();
  // No udevd runs in the test machine: the kernel's own announcements are the ones.
  monitor_ = udev_ ? udev_monitor_new_from_netlink(udev_, "kernel") : nullptr;
  if (!monitor_ || udev_monitor_filter_add_match_subsystem_devtype(monitor_, "hidraw", nullptr) < 0 ||
      udev_monitor_enable_receiving(monitor_) < 0 || (stopFd_ = eventfd(0, EFD_CLOEXEC)) < 0) {
    if (monitor_) monitor_ = udev_monitor_unref(monitor_);
    return;
  }
  thread_ = std::thread([this] { receive(); });
}

HidrawAddWatch::~HidrawAddWatch() {
  if (thread_.joinable()) {
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t n = write(stopFd_, &one, sizeof one);
    thread_.join();
  }
  if (stopFd_ >= 0) close(stopFd_);
  if (monitor_) udev_monitor_unref(monitor_);
  if (udev_) udev_unref(udev_);
}

std::optional<HidrawAddWatch::Clock::time_point> HidrawAddWatch::addedAt(const QString& node) const {
  const std::lock_guard lock(mutex_);
  const auto it = added_.find(node);
  if (it == added_.end()) return std::nullopt;
  return it->second;
}

void HidrawAddWatch::receive() {
  pollfd fds[] = {{udev_monitor_get_fd(monitor_), POLLIN, 0}, {stopFd_, POLLIN, 0}};
  for (;;) {
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (fds[1].revents & POLLIN) return;
    if (!(fds[0].revents & POLLIN)) continue;
    const auto now = Clock::now();
    udev_device* device = udev_monitor_receive_device(monitor_);
    if (!device) continue;
    const char* action = udev_device_get_action(device);
    const char* node = udev_device_get_devnode(device);
    if (action && node && std::strcmp(action, "add") == 0) {
      const std::lock_guard lock(mutex_);
      added_[QString::fromUtf8(node)] = now;
    }
    udev_device_unref(device);
  }
}
