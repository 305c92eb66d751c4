// The udev backend over this machine's sysfs. A build machine usually has no hidraw
// device, so what is checked is what must hold for any list: the devices listed are
// this machine's hidraw devices with the ids their HID parents declare.
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTest>

#include <cerrno>
#include <cstdint>
#include <memory>

#include "hid_backend.h"
#include "udev_hid_backend.h"

using vorlane::CreatePlatformHidBackend;
using vorlane::HidBackend;
using vorlane::HidDeviceInfo;
using vorlane::kHidClassGuidText;
using vorlane::linux_hid::OpenHidrawMonitor;
using vorlane::linux_hid::UdevHidBackend;
using vorlane::linux_hid::UdevMonitorPtr;
using vorlane::linux_hid::UdevPtr;

namespace {

// HID_ID of the "hid" device above a hidraw node (<hid>/hidraw/hidrawN), read
// directly from its uevent file.
QByteArray hidIdAbove(const QString& hidrawPath) {
  QFile uevent(hidrawPath + "/../../uevent");
  if (!uevent.open(QIODevice::ReadOnly)) return {};
  for (const QByteArray& line : uevent.readAll().split('\n')) {
    if (line.startsWith("HID_ID=")) return line.mid(7);
  }
  return {};
}

QByteArray hex4(std::uint16_t value) { return QByteArray::number(value, 16).rightJustified(4, '0').toUpper(); }

}  // namespace

class TestUdevHidBackend : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    backend_ = CreatePlatformHidBackend();
    QVERIFY(backend_);
  }

  void scanListsThisMachinesHidrawDevices() {
    const std::vector<HidDeviceInfo> devices = backend_->scan().value();
    const QStringList nodes = QDir("/sys/class/hidraw").entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QVERIFY(devices.size() <= static_cast<std::size_t>(nodes.size()));

    QSet<QString> seen;
    for (const HidDeviceInfo& device : devices) {
      const QString path = QString::fromStdString(device.path);
      QVERIFY2(path.startsWith("/sys/devices/"), qPrintable(path));
      QVERIFY2(QDir(path).exists(), qPrintable(path));
      QVERIFY2(nodes.contains(QDir(path).dirName()), qPrintable(path));
      QVERIFY2(!seen.contains(path), qPrintable(path));
      seen.insert(path);

      QCOMPARE(QString::fromStdString(device.classGuidText), QString::fromLatin1(kHidClassGuidText));
      const QByteArray hidId = hidIdAbove(path);
      // "BBBB:VVVVVVVV:PPPPPPPP": the low four digits of each id.
      QCOMPARE(hidId.mid(9, 4).toUpper(), hex4(device.attributes.VendorID));
      QCOMPARE(hidId.mid(18, 4).toUpper(), hex4(device.attributes.ProductID));
    }
  }

  void scanAgainGivesTheSameDevices() {
    const std::vector<HidDeviceInfo> first = backend_->scan().value();
    const std::vector<HidDeviceInfo> second = backend_->scan().value();
    QCOMPARE(second.size(), first.size());
    for (std::size_t i = 0; i < first.size(); ++i) QCOMPARE(second[i].path, first[i].path);
  }

  void opensEveryListedDevice() {
    const std::vector<HidDeviceInfo> devices = backend_->scan().value();
    for (const HidDeviceInfo& device : devices) {
      QVERIFY2(backend_->open(device), device.path.c_str());
    }
  }

  void monitorAtOnceMeansNoPeriodicScan() {
    UdevHidBackend backend(UdevPtr{udev_new()});
    int changes = 0;
    backend.watch([&changes] { ++changes; });
    QVERIFY2(backend.Monitoring(), "this machine gives no device monitor (no netlink?)");
    QVERIFY(!backend.ScanningPeriodically());
    QCOMPARE(changes, 0);
  }

  // Without a monitor the backend says so, looks every second, and asks for a monitor
  // again each time; once it has one it catches up once and stops looking.
  void withoutMonitorScansEverySecondUntilOneCanBeHad() {
    int refusals = 2;
    int attempts = 0;
    UdevHidBackend backend(UdevPtr{udev_new()}, [&](udev* context) -> UdevMonitorPtr {
      ++attempts;
      if (refusals > 0) {
        --refusals;
        errno = EPROTONOSUPPORT;
        return nullptr;
      }
      return OpenHidrawMonitor(context);
    });
    int changes = 0;
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression("announcements cannot be received \\(.+\\): looking for "
                                            "HID devices every second"));
    backend.watch([&changes] { ++changes; });
    QCOMPARE(attempts, 1);
    QVERIFY(!backend.Monitoring());
    QVERIFY(backend.ScanningPeriodically());
    QCOMPARE(changes, 0);

    QTRY_COMPARE_WITH_TIMEOUT(changes, 1, 5000);
    QCOMPARE(attempts, 2);
    QVERIFY(!backend.Monitoring());
    QVERIFY(backend.ScanningPeriodically());

    QTest::ignoreMessage(QtInfoMsg, "the system's device announcements are received again");
    QTRY_COMPARE_WITH_TIMEOUT(changes, 2, 5000);
    QCOMPARE(attempts, 3);
    QVERIFY(backend.Monitoring());
    QVERIFY(!backend.ScanningPeriodically());
  }

  void openFailsForWhatIsNoHidrawDevice_data() {
    QTest::addColumn<QString>("path");
    QTest::newRow("empty") << QString();
    QTest::newRow("gone") << QString("/sys/devices/virtual/misc/uhid/0006:11C0:5606.0FFF/hidraw/hidraw99");
    QTest::newRow("not a device") << QString("/sys/class");
    // Has a device node, /dev/null, which must not be opened as a HID device.
    QTest::newRow("another kind of device") << QString("/sys/devices/virtual/mem/null");
  }

  void openFailsForWhatIsNoHidrawDevice() {
    QFETCH(QString, path);
    HidDeviceInfo device;
    device.path = path.toStdString();
    device.classGuidText = kHidClassGuidText;
    QVERIFY(!backend_->open(device));
  }

 private:
  std::unique_ptr<HidBackend> backend_;
};

QTEST_GUILESS_MAIN(TestUdevHidBackend)
#include "tst_udev_hid_backend.moc"
