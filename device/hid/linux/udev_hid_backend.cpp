#include "udev_hid_backend.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <QLoggingCategory>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <system_error>
#include <utility>

#include "hidraw_device_io.h"
#include "sysfs_hid.h"

Q_LOGGING_CATEGORY(lcUdevHid, "vorlane.hid.udev")

namespace vorlane::linux_hid {

namespace {

constexpr const char* kSubsystem = "hidraw";
// While no monitor can be had, the devices are looked at this often.
constexpr int kFallbackScanMs = 1000;

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

std::string ErrorText(int error) {
  return error != 0 ? std::system_category().message(error) : std::string("no reason given");
}

}  // namespace

UdevMonitorPtr OpenHidrawMonitor(udev* context) {
  const char* source = UdevDaemonRunning(context) ? "udev" : "kernel";
  UdevMonitorPtr monitor{udev_monitor_new_from_netlink(context, source)};
  if (!monitor) return nullptr;
  int result = udev_monitor_filter_add_match_subsystem_devtype(monitor.get(), kSubsystem, nullptr);
  if (result >= 0) result = udev_monitor_enable_receiving(monitor.get());
  if (result < 0) {
    errno = -result;
    return nullptr;
  }
  return monitor;
}

UdevHidBackend::UdevHidBackend(UdevPtr udev, MonitorOpener openMonitor)
    : udev_(std::move(udev)), openMonitor_(std::move(openMonitor)) {}

UdevHidBackend::~UdevHidBackend() = default;

std::optional<std::vector<HidDeviceInfo>> UdevHidBackend::scan() {
  const UdevEnumeratePtr enumerate{udev_enumerate_new(udev_.get())};
  int result = enumerate ? udev_enumerate_add_match_subsystem(enumerate.get(), kSubsystem) : -errno;
  if (result >= 0) result = udev_enumerate_scan_devices(enumerate.get());
  if (result < 0) {
    qCWarning(lcUdevHid, "udev could not list the hidraw devices: %s", ErrorText(-result).c_str());
    return std::nullopt;
  }
  const bool udevdRunning = UdevDaemonRunning(udev_.get());
  std::vector<HidDeviceInfo> devices;
  udev_list_entry* entry = nullptr;
  udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate.get())) {
    const UdevDevicePtr hidraw{udev_device_new_from_syspath(udev_.get(), udev_list_entry_get_name(entry))};
    if (!hidraw) continue;  // gone since it was listed
    if (udevdRunning && udev_device_get_is_initialized(hidraw.get()) <= 0) continue;
    udev_device* hid = HidParent(hidraw.get());
    const char* hidId = hid ? udev_device_get_property_value(hid, "HID_ID") : nullptr;
    const auto attributes = ParseHidId(hidId ? hidId : "");
    if (!attributes) continue;
    devices.push_back({udev_device_get_syspath(hidraw.get()), kHidClassGuidText, *attributes});
  }
  removed_.dropFrom(devices);
  announced_.stamp(devices);
  return devices;
}

std::unique_ptr<HidDeviceIo> UdevHidBackend::open(const HidDeviceInfo& device) {
  const UdevDevicePtr hidraw{udev_device_new_from_syspath(udev_.get(), device.path.c_str())};
  if (!hidraw || !IsHidraw(hidraw.get())) return nullptr;
  udev_device* hid = HidParent(hidraw.get());
  const char* devnode = udev_device_get_devnode(hidraw.get());
  if (!hid || !devnode) return nullptr;

  // Without access rights (EACCES, EPERM), or when the node refuses to open for
  // another reason (busy, out of descriptors), the device's attributes are still read;
  // its transfers fail with the open's error.
  const int fd = OpenReadWrite(devnode);
  const int openError = fd < 0 ? errno : 0;
  if (fd < 0 && IsGoneError(openError)) return nullptr;

  HidCaps caps;
  caps.FeatureReportByteLength = ReadFeatureReportByteLength(hid);
  return std::make_unique<HidrawDeviceIo>(fd, openError, caps, ReadProductString(hidraw.get(), hid));
}

void UdevHidBackend::watch(std::function<void()> changed) {
  changed_ = std::move(changed);
  if (startMonitor()) return;
  const int error = errno;
  qCWarning(lcUdevHid,
            "the system's device announcements cannot be received (%s): looking for HID "
            "devices every second until they can",
            ErrorText(error).c_str());
  fallback_ = std::make_unique<QTimer>();
  fallback_->setInterval(kFallbackScanMs);
  QObject::connect(fallback_.get(), &QTimer::timeout, fallback_.get(), [this] { periodicScan(); });
  fallback_->start();
}

bool UdevHidBackend::ScanningPeriodically() const { return fallback_ && fallback_->isActive(); }

bool UdevHidBackend::startMonitor() {
  errno = 0;
  UdevMonitorPtr monitor = openMonitor_ ? openMonitor_(udev_.get()) : nullptr;
  if (!monitor) return false;
  monitor_ = std::move(monitor);
  notifier_ = std::make_unique<QSocketNotifier>(udev_monitor_get_fd(monitor_.get()), QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                   [this] { receiveAnnouncements(); });
  return true;
}

void UdevHidBackend::periodicScan() {
  if (startMonitor()) {
    fallback_->stop();
    qCInfo(lcUdevHid, "the system's device announcements are received again");
  }
  // A scan either way: the periodic one, or the one that catches up with what
  // happened before the monitor started.
  if (changed_) changed_();
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
      if (action && path) {
        if (std::strcmp(action, "remove") == 0) {
          removed_.add(path);
        } else {
          announced_.add(path);
        }
      }
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
