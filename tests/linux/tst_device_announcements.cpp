// Announcements other than removals are counted per path and stamped on the scans
// that list the path; a path a scan no longer lists starts again from nothing.
#include <QStringList>
#include <QTest>

#include <vector>

#include "device_announcements.h"

using vorlane::HidDeviceInfo;
using vorlane::linux_hid::DeviceAnnouncements;

class TestDeviceAnnouncements : public QObject {
  Q_OBJECT

 private slots:
  void stamp_data() {
    // Steps: "+p" announces path p; "scan p q" scans p and q and gives "p:n q:m".
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("stamped");
    QTest::newRow("never announced") << QStringList{"scan a b"} << QStringList{"a:0 b:0"};
    QTest::newRow("announced before the first scan")
        << QStringList{"+a", "scan a b", "scan a b"} << QStringList{"a:1 b:0", "a:1 b:0"};
    QTest::newRow("announced again after a scan")
        << QStringList{"+a", "scan a", "+a", "+a", "scan a"} << QStringList{"a:1", "a:3"};
    QTest::newRow("left sysfs: forgotten")
        << QStringList{"+a", "+b", "scan b", "scan a b"} << QStringList{"b:1", "a:0 b:1"};
    QTest::newRow("announced while unlisted, then listed")
        << QStringList{"scan b", "+a", "scan a b"} << QStringList{"b:0", "a:1 b:0"};
  }

  void stamp() {
    QFETCH(QStringList, steps);
    QFETCH(QStringList, stamped);
    DeviceAnnouncements announcements;
    QStringList got;
    for (const QString& step : steps) {
      if (step.startsWith('+')) {
        announcements.add(step.mid(1).toStdString());
        continue;
      }
      std::vector<HidDeviceInfo> scanned;
      for (const QString& path : step.split(' ').mid(1)) scanned.push_back({path.toStdString(), {}, {}});
      announcements.stamp(scanned);
      QStringList line;
      for (const HidDeviceInfo& d : scanned) {
        line << QStringLiteral("%1:%2").arg(QString::fromStdString(d.path)).arg(d.announcements);
      }
      got << line.join(' ');
    }
    QCOMPARE(got, stamped);
  }
};

QTEST_GUILESS_MAIN(TestDeviceAnnouncements)
#include "tst_device_announcements.moc"
