// Owning pointers for the reference-counted objects of libudev.
#pragma once

#include <libudev.h>

#include <memory>

namespace vorlane::linux_hid {

template <auto Unref>
struct UdevUnref {
  void operator()(auto* object) const { Unref(object); }
};

using UdevPtr = std::unique_ptr<udev, UdevUnref<&udev_unref>>;
using UdevDevicePtr = std::unique_ptr<udev_device, UdevUnref<&udev_device_unref>>;
using UdevEnumeratePtr = std::unique_ptr<udev_enumerate, UdevUnref<&udev_enumerate_unref>>;
using UdevMonitorPtr = std::unique_ptr<udev_monitor, UdevUnref<&udev_monitor_unref>>;
using UdevQueuePtr = std::unique_ptr<udev_queue, UdevUnref<&udev_queue_unref>>;

}  // namespace vorlane::linux_hid
