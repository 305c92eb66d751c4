// Notes the moment the kernel announces each new hidraw node, on a thread of its own,
// so that the time stamp does not wait for the test's event loop.
#pragma once

#include <QString>

#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

struct udev;
struct udev_monitor;

class HidrawAddWatch {
 public:
  using Clock = std::chrono::steady_clock;

  // Listening from here on; false from listening() when the kernel's announcements
  // cannot be received.
  HidrawAddWatch();
  ~HidrawAddWatch();

  HidrawAddWatch(const HidrawAddWatch&) = delete;
  HidrawAddWatch& operator=(const HidrawAddWatch&) = delete;

  bool listening() const { return monitor_ != nullptr; }
  // When the node (/dev/hidrawN) was announced as added, if it was.
  std::optional<Clock::time_point> addedAt(const QString& node) const;

 private:
  void receive();

  udev* udev_ = nullptr;
  udev_monitor* monitor_ = nullptr;
  int stopFd_ = -1;
  std::thread thread_;
  mutable std::mutex mutex_;
  std::map<QString, Clock::time_point> added_;
};
