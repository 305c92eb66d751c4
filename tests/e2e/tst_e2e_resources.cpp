// Descriptors and memory of the window over many plugs and pulls of a virtual stick,
// against the kernel's HID stack. The descriptors must come back to where they were;
// the memory figures are printed (VORLANE_E2E_CYCLES sets the number of cycles, 50 by
// default). Runs as root in the test machine, on the offscreen platform.
#include <malloc.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTest>
#include <QTimer>

#include <memory>

#include "e2e_window_helpers.h"
#include "virtual_stick_process.h"

using namespace vorlane;

namespace {

constexpr int kEventWaitMs = 3000;

int OpenDescriptors() {
  return static_cast<int>(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size()) - 1;  // less the one listing them
}

long ResidentKb() {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').first().toLong();
  }
  return -1;
}

// Bytes the program holds on the heap; not known under a sanitizer's allocator.
long long HeapInUse() {
#if defined(__SANITIZE_ADDRESS__)
  return -1;
#else
  return static_cast<long long>(mallinfo2().uordblks);
#endif
}

int Cycles() {
  bool ok = false;
  const int cycles = qEnvironmentVariableIntValue("VORLANE_E2E_CYCLES", &ok);
  return ok && cycles > 0 ? cycles : 50;
}

// One plug and pull: found, read, let go.
bool Cycle(TMainForm& form) {
  VirtualStickProcess stick({"--name", "Cycle Stick"});
  if (!stick.plug()) return false;
  if (!QTest::qWaitFor([&] { return e2e::Status(form) == stick.name() && stick.written().size() == 2; }, kEventWaitMs)) {
    return false;
  }
  if (!stick.pull()) return false;
  return QTest::qWaitFor([&] { return e2e::Status(form) == e2e::kNotConnected && !form.CurDevice; }, kEventWaitMs);
}

}  // namespace

class TestE2eResources : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY2(geteuid() == 0, "runs as root, in the test machine (tests/e2e/run_in_vm.py)");
  }

  void descriptorsComeBackAfterManyCycles() {
    // A first window and cycle load what the process keeps once loaded (fonts, the
    // platform's parts); the count is taken after them.
    {
      TMainForm warmUp(CreatePlatformHidBackend());
      warmUp.show();
      QVERIFY(Cycle(warmUp));
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const int withoutWindow = OpenDescriptors();

    auto form = std::make_unique<TMainForm>(CreatePlatformHidBackend());
    form->show();
    QVERIFY(Cycle(*form));
    const int atStart = OpenDescriptors();
    const long rssAtStart = ResidentKb();
    const long long heapAtStart = HeapInUse();

    const int cycles = Cycles();
    for (int cycle = 1; cycle <= cycles; ++cycle) {
      QVERIFY2(Cycle(*form), qPrintable(QStringLiteral("cycle %1").arg(cycle)));
      if (cycle % 50 == 0 || cycle == cycles) {
        qInfo("resources: after %d cycles: fds %d (at start %d), RSS %ld kB (at start %ld kB), heap in use "
              "%lld bytes (at start %lld)",
              cycle, OpenDescriptors(), atStart, ResidentKb(), rssAtStart, HeapInUse(), heapAtStart);
      }
    }
    QCOMPARE(OpenDescriptors(), atStart);
    QCOMPARE(form->HidCtl->Count(), 0);

    form.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    qInfo("resources: fds without a window %d, with a window %d, after it %d", withoutWindow, atStart,
          OpenDescriptors());
    QCOMPARE(OpenDescriptors(), withoutWindow);
  }
};

QTEST_MAIN(TestE2eResources)
#include "tst_e2e_resources.moc"
