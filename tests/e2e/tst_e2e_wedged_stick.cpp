// A stick that answers a read only after 7 s, against the kernel's HID stack, which
// gives up waiting after about 5 s. Runs as root in the test machine, on the
// offscreen platform.
#include <unistd.h>

#include <QElapsedTimer>
#include <QFileInfo>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <memory>

#include "e2e_window_helpers.h"
#include "test_reports.h"
#include "virtual_stick_process.h"

using namespace vorlane;

namespace {

constexpr int kEventWaitMs = 3000;
constexpr int kQuietMs = 400;

// The longest time the UI thread went without running a 10 ms timer.
class StallMeter {
 public:
  StallMeter() {
    timer_.setInterval(10);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      longest_ = std::max(longest_, clock_.restart());
    });
    clock_.start();
    timer_.start();
  }
  // Counts the time since the last tick too: the UI thread may not have been back to
  // the timer since it was held up.
  qint64 longestMs() const { return std::max(longest_, clock_.elapsed()); }

 private:
  QTimer timer_;
  QElapsedTimer clock_;
  qint64 longest_ = 0;
};

}  // namespace

class TestE2eWedgedStick : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY2(geteuid() == 0, "runs as root, in the test machine (tests/e2e/run_in_vm.py)");
  }

  // The read fails once the kernel gives up, nothing is written, the window says so;
  // the next stick is read as it should be, and the wedged stick's late answer is
  // dropped by the kernel.
  void wedgedReadFailsAndTheNextStickIsRead() {
    VirtualStickProcess wedged({"--read-delay-ms", "7000", "--params", e2e::Hex(RisingBlock(3, 40, 9)),
                                "--name", "Wedged Stick"});
    QVERIFY2(wedged.plug(), qPrintable(wedged.error()));
    TMainForm form(CreatePlatformHidBackend());
    form.show();
    const ParamBlock before = RisingBlock(6, 7, 8);
    for (const ParamKind k : kParamKinds) {
      for (int a = 0; a < kAxisCount; ++a) form.paramEdit(a, k)->SetValue(ParamFromByte(k, before[ParamBlockIndex(a, k)]));
    }
    QVERIFY(e2e::GridShows(form, before));

    StallMeter meter;
    QTRY_COMPARE_WITH_TIMEOUT(e2e::Status(form), wedged.name(), kEventWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(e2e::Status(form), wedged.name() + QStringLiteral(" (read failed)"), 12000);
    qInfo("timing: longest stall of the UI thread by the wedged read: %lld ms", meter.longestMs());
    QVERIFY(!form.controls().sLabelFX3->toolTip().isEmpty());
    QVERIFY(e2e::GridShows(form, before));
    QCOMPARE(wedged.written(), e2e::PreAndRead(128));

    // No block was read from this stick: Save sends nothing.
    QTest::mouseClick(form.controls().sButton1, Qt::LeftButton);
    QCOMPARE(wedged.written().size(), 2);

    const ParamBlock fresh = RisingBlock(10, 20, 8);
    VirtualStickProcess next({"--params", e2e::Hex(fresh), "--name", "Next Stick"});
    QVERIFY2(next.plug(), qPrintable(next.error()));
    QTRY_COMPARE_WITH_TIMEOUT(e2e::Status(form), next.name(), kEventWaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(next.written().size(), 2, kEventWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(e2e::GridShows(form, fresh), kEventWaitMs);

    // The late answer goes out 7 s after the request; nothing comes of it.
    QTRY_COMPARE_WITH_TIMEOUT(wedged.answered().size(), 1, 8000);
    QTest::qWait(kQuietMs);
    QVERIFY(e2e::GridShows(form, fresh));
    QCOMPARE(e2e::Status(form), next.name());
    QCOMPARE(wedged.written().size(), 2);
  }
};

QTEST_MAIN(TestE2eWedgedStick)
#include "tst_e2e_wedged_stick.moc"
