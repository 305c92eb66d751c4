// The left-Shift rule: only the left Shift key counts, as the key events report it
// where the system cannot be asked directly (here: the offscreen platform).
#include <QtTest>

#include <QKeyEvent>

#include "left_shift.h"

namespace {

constexpr quint32 kShiftL = 0xFFE1;
constexpr quint32 kShiftR = 0xFFE2;

void SendShift(QObject* target, QEvent::Type type, quint32 keysym) {
  QKeyEvent event(type, Qt::Key_Shift, Qt::ShiftModifier, /*nativeScanCode=*/50, keysym, 0);
  QCoreApplication::sendEvent(target, &event);
}

}  // namespace

class LeftShiftTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { InstallLeftShiftWatcher(); }
  void keys_data();
  void keys();
  void focusLossForgetsTheKey();
};

void LeftShiftTest::keys_data() {
  QTest::addColumn<QList<int>>("presses");  // positive: press of that keysym, negative: release
  QTest::addColumn<bool>("down");
  QTest::newRow("nothing") << QList<int>{} << false;
  QTest::newRow("left pressed") << QList<int>{int(kShiftL)} << true;
  QTest::newRow("right pressed") << QList<int>{int(kShiftR)} << false;
  QTest::newRow("left pressed and released") << QList<int>{int(kShiftL), -int(kShiftL)} << false;
  QTest::newRow("left held, right released") << QList<int>{int(kShiftL), int(kShiftR), -int(kShiftR)} << true;
}

void LeftShiftTest::keys() {
  QFETCH(QList<int>, presses);
  QFETCH(bool, down);
  QWidget target;
  SendShift(&target, QEvent::KeyRelease, kShiftL);  // start from a released key
  for (int key : presses) {
    SendShift(&target, key > 0 ? QEvent::KeyPress : QEvent::KeyRelease, quint32(std::abs(key)));
  }
  QCOMPARE(IsLeftShiftDown(), down);
}

void LeftShiftTest::focusLossForgetsTheKey() {
  QWidget target;
  SendShift(&target, QEvent::KeyPress, kShiftL);
  QVERIFY(IsLeftShiftDown());
  QEvent deactivate(QEvent::ApplicationDeactivate);
  QCoreApplication::sendEvent(qApp, &deactivate);
  QVERIFY(!IsLeftShiftDown());
}

QTEST_MAIN(LeftShiftTest)
#include "tst_left_shift.moc"
