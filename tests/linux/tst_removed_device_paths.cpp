// Devices announced as removed are left out of the scans that still list them, and
// forgotten once sysfs no longer does.
#include <QStringList>
#include <QTest>

#include <vector>

#include "removed_device_paths.h"

using vorlane::HidDeviceInfo;
using vorlane::linux_hid::RemovedDevicePaths;

namespace {

std::vector<HidDeviceInfo> devices(const QStringList& paths) {
  std::vector<HidDeviceInfo> result;
  for (const QString& path : paths) {
    HidDeviceInfo device;
    device.path = path.toStdString();
    result.push_back(device);
  }
  return result;
}

QStringList paths(const std::vector<HidDeviceInfo>& devices) {
  QStringList result;
  for (const HidDeviceInfo& device : devices) result << QString::fromStdString(device.path);
  return result;
}

}  // namespace

class TestRemovedDevicePaths : public QObject {
  Q_OBJECT

 private slots:
  void dropFrom_data() {
    QTest::addColumn<QStringList>("announced");
    QTest::addColumn<QStringList>("firstScan");
    QTest::addColumn<QStringList>("firstKept");
    QTest::addColumn<QStringList>("secondScan");
    QTest::addColumn<QStringList>("secondKept");

    const QString a = "/sys/devices/x/0003:11C0:5606.0001/hidraw/hidraw0";
    const QString b = "/sys/devices/y/0003:7A11:0042.0002/hidraw/hidraw1";
    const QString c = "/sys/devices/z/0006:1234:5678.0003/hidraw/hidraw2";

    QTest::newRow("nothing announced") << QStringList{} << QStringList{a, b} << QStringList{a, b}
                                       << QStringList{a, b} << QStringList{a, b};
    QTest::newRow("still listed: dropped, order kept, while it is listed")
        << QStringList{b} << QStringList{a, b, c} << QStringList{a, c} << QStringList{a, b, c}
        << QStringList{a, c};
    QTest::newRow("gone from sysfs: forgotten") << QStringList{b} << QStringList{a, c} << QStringList{a, c}
                                                << QStringList{a, b} << QStringList{a, b};
    QTest::newRow("every device announced") << QStringList{a, b} << QStringList{a, b} << QStringList{}
                                            << QStringList{b} << QStringList{};
  }

  void dropFrom() {
    QFETCH(QStringList, announced);
    QFETCH(QStringList, firstScan);
    QFETCH(QStringList, firstKept);
    QFETCH(QStringList, secondScan);
    QFETCH(QStringList, secondKept);

    RemovedDevicePaths removed;
    for (const QString& path : announced) removed.add(path.toStdString());

    std::vector<HidDeviceInfo> scanned = devices(firstScan);
    removed.dropFrom(scanned);
    QCOMPARE(paths(scanned), firstKept);

    scanned = devices(secondScan);
    removed.dropFrom(scanned);
    QCOMPARE(paths(scanned), secondKept);
  }
};

QTEST_GUILESS_MAIN(TestRemovedDevicePaths)
#include "tst_removed_device_paths.moc"
