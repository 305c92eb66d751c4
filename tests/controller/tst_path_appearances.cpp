// Removals noted per path make the next listing of that path a new appearance; a path
// a scan no longer lists starts again from its first appearance.
#include <QStringList>
#include <QTest>

#include <string>
#include <vector>

#include "path_appearances.h"

using vorlane::HidDeviceInfo;
using vorlane::PathAppearances;

namespace {

// As a backend whose paths differ in letter case between its sources.
std::string Lower(const std::string& path) {
  std::string folded = path;
  for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return folded;
}

}  // namespace

class TestPathAppearances : public QObject {
  Q_OBJECT

 private slots:
  void stamp_data() {
    // Steps: "-p" notes path p removed; "scan p q" scans p and q and gives "p:n q:m".
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("stamped");
    QTest::newRow("nothing removed") << QStringList{"scan a b", "scan a b"}
                                     << QStringList{"a:0 b:0", "a:0 b:0"};
    QTest::newRow("pulled and plugged again between two scans")
        << QStringList{"scan a b", "-a", "scan a b", "scan a b"}
        << QStringList{"a:0 b:0", "a:1 b:0", "a:1 b:0"};
    QTest::newRow("twice between two scans") << QStringList{"scan a", "-a", "-a", "scan a"}
                                             << QStringList{"a:0", "a:2"};
    QTest::newRow("pulled, scanned gone, plugged again: first appearance again")
        << QStringList{"scan a", "-a", "scan", "scan a"} << QStringList{"a:0", "", "a:0"};
    QTest::newRow("spelled in another letter case")
        << QStringList{"scan HID#A", "-hid#a", "scan HID#A"} << QStringList{"HID#A:0", "HID#A:1"};
  }

  void stamp() {
    QFETCH(QStringList, steps);
    QFETCH(QStringList, stamped);
    PathAppearances appearances;
    QStringList got;
    for (const QString& step : steps) {
      if (step.startsWith('-')) {
        appearances.noteRemoved(Lower(step.mid(1).toStdString()));
        continue;
      }
      std::vector<HidDeviceInfo> scanned;
      for (const QString& path : step.split(' ', Qt::SkipEmptyParts).mid(1)) {
        scanned.push_back({path.toStdString(), {}, {}});
      }
      appearances.stamp(scanned, Lower);
      QStringList line;
      for (const HidDeviceInfo& d : scanned) {
        line << QStringLiteral("%1:%2").arg(QString::fromStdString(d.path)).arg(d.appearance);
      }
      got << line.join(' ');
    }
    QCOMPARE(got, stamped);
  }
};

QTEST_GUILESS_MAIN(TestPathAppearances)
#include "tst_path_appearances.moc"
