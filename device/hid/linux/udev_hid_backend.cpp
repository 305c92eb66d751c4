#include "udev_hid_backend.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <QSocketNotifier>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <span>
#include <utility>

#include "hidraw_device_io.h"
#include "sysfs_hid.h"

namespace vorlane::linux_hid {

namespace {

constexpr const char* kSubsystem = "hidraw";

bool UdevDaemonRunning(udev* context) {
  const UdevQueuePtr queue{udev_queue_new(context)};
  return queue && udev_queue_get_udev_is_active(queue.get()) > 0;
}

bool IsHidraw(udev_device* device) {
  const char* subsystem = udev_device_get_subsystem(device);
  return subsystem && std::strcmp(subsystem, kSubsystem) == 0;
}

// The "hid" device that a hidraw node belongs to; owned by the node's udev_device.
udev_device* HidParent(udev_device* hidraw) {
  return udev_device_get_parent_with_subsystem_devtype(hidraw, "hid", nullptr);
}

// The report descriptor is binary and holds zero bytes, so it is read from its file
// rather than as a udev attribute (a C string).
std::uint16_t ReadFeatureReportByteLength(udev_device* hid) {
  QFile file(QString::fromUtf8(udev_device_get_syspath(hid)) + QStringLiteral("/report_descriptor"));
  if (!file.open(QIODevice::ReadOnly)) return 0;
  const QByteArray descriptor = file.readAll();
  return FeatureReportByteLengthOf(
      {reinterpret_cast<const std::uint8_t*>(descriptor.constData()), static_cast<std::size_t>(descriptor.size())});
}

std::u16string ReadProductString(udev_device* hidraw, udev_device* hid) {
  udev_device* usb = udev_device_get_parent_with_subsystem_devtype(hidraw, "usb", "usb_device");
  return ProductString(usb ? udev_device_get_sysattr_value(usb, "product") : nullptr,
                       udev_device_get_property_value(hid, "HID_NAME"));
}

// -1 with errno set when the node cannot be opened for reading and writing.
int OpenReadWrite(const char* devnode) {
  int fd;
  do {
    fd = ::open(devnode, O_RDWR | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

bool IsGoneError(int error) { return error == ENOENT || error == ENODEV || error == ENXIO; }

}  // namespace

UdevHidBackend::UdevHidBackend(UdevPtr udev) : udev_(std::move(udev)) {}

UdevHidBackend::~UdevHidBackend() = default;

std::vector<HidDeviceInfo> UdevHidBackend::scan() {
  std::vector<HidDeviceInfo> devices;
  const UdevEnumeratePtr enumerate{udev_enumerate_new(udev_.get())};
  if (!enumerate || udev_enumerate_add_match_subsystem(enumerate.get(), kSubsystem) < 0 ||
      udev_enumerate_scan_devices(enumerate.get()) < 0) {
    return devices;
  }
  udev_list_entry* entry = nullptr;
  udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate.get())) {
    const UdevDevicePtr hidraw{udev_device_new_from_syspath(udev_.get(), udev_list_entry_get_name(entry))};
    if (!hidraw) continue;  // gone since it was listed
    udev_device* hid = HidParent(hidraw.get());
    const char* hidId = hid ? udev_device_get_property_value(hid, "HID_ID") : nullptr;
    const auto attributes = ParseHidId(hidId ? hidId : "");
    if (!attributes) continue;
    devices.push_back({udev_device_get_syspath(hidraw.get()), kHidClassGuidText, *attributes});
  }
  removed_.dropFrom(devices);
  return devices;
}

std::unique_ptr<HidDeviceIo> UdevHidBackend::open(const HidDeviceInfo& device) {
  const UdevDevicePtr hidraw{udev_device_new_from_syspath(udev_.get(), device.path.c_str())};
  if (!hidraw || !IsHidraw(hidraw.get())) return nullptr;
  udev_device* hid = HidParent(hidraw.get());
  const char* devnode = udev_device_get_devnode(hidraw.get());
  if (!hid || !devnode) return nullptr;

  // Without access rights (EACCES, EPERM, ...) the device is still listed and its
  // attributes still read; only its transfers fail.
  const int fd = OpenReadWrite(devnode);
  if (fd < 0 && IsGoneError(errno)) return nullptr;

  HidCaps caps;
  caps.FeatureReportByteLength = ReadFeatureReportByteLength(hid);
  return std::make_unique<HidrawDeviceIo>(fd, caps, ReadProductString(hidraw.get(), hid));
}

void UdevHidBackend::watch(std::function<void()> changed) {
  notifier_.reset();
  const char* source = UdevDaemonRunning(udev_.get()) ? "udev" : "kernel";
  UdevMonitorPtr monitor{udev_monitor_new_from_netlink(udev_.get(), source)};
  if (!monitor || udev_monitor_filter_add_match_subsystem_devtype(monitor.get(), kSubsystem, nullptr) < 0 ||
      udev_monitor_enable_receiving(monitor.get()) < 0) {
    return;
  }
  monitor_ = std::move(monitor);
  changed_ = std::move(changed);
  notifier_ = std::make_unique<QSocketNotifier>(udev_monitor_get_fd(monitor_.get()), QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                   [this] { receiveAnnouncements(); });
}

void UdevHidBackend::receiveAnnouncements() {
  // The monitor's socket does not block: read until it is empty, then report once.
  bool devicesChanged = false;
  for (;;) {
    errno = 0;
    const UdevDevicePtr device{udev_monitor_receive_device(monitor_.get())};
    if (device) {
      devicesChanged = true;
      // Announcements of a removal carry no parent attributes when they come from the
      // kernel; only their own path is used.
      const char* action = udev_device_get_action(device.get());
      const char* path = udev_device_get_syspath(device.get());
      if (action && path && std::strcmp(action, "remove") == 0) removed_.add(path);
      continue;
    }
    if (errno == EINTR) continue;
    // Anything but an empty socket (a full receive buffer, say) may have lost
    // announcements: a re-scan finds what they would have said.
    if (errno != EAGAIN && errno != EWOULDBLOCK) devicesChanged = true;
    break;
  }
  if (devicesChanged && changed_) changed_();
}

}  // namespace vorlane::linux_hid

namespace vorlane {

std::unique_ptr<HidBackend> CreatePlatformHidBackend() {
  linux_hid::UdevPtr udev{udev_new()};
  if (!udev) return nullptr;
  return std::make_unique<linux_hid::UdevHidBackend>(std::move(udev));
}

}  // namespace vorlane
