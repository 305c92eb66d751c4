// Access to the stick's node that comes late, against the kernel's HID stack: a node
// granted after the window took the stick, and a node that udev has not finished
// with. Runs as root in the test machine, on the offscreen platform.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <memory>

#include "e2e_window_helpers.h"
#include "recording_backend.h"
#include "scoped_effective_user.h"
#include "test_reports.h"
#include "virtual_stick_process.h"

using namespace vorlane;

namespace {

constexpr int kEventWaitMs = 3000;

bool WriteFile(const QString& path, const QByteArray& text) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

// The sysfs directory of a hidraw node, e.g. /sys/class/hidraw/hidraw0.
QString SysfsOf(const QString& node) { return QStringLiteral("/sys/class/hidraw/") + QFileInfo(node).fileName(); }

// While it lives, libudev takes udevd for running (it looks for its control socket),
// and the udev database says which devices udevd has finished with.
class PretendedUdevd {
 public:
  PretendedUdevd() {
    ok_ = QDir().mkpath(QStringLiteral("/run/udev/data")) &&
          WriteFile(QStringLiteral("/run/udev/control"), {});
  }
  ~PretendedUdevd() {
    QFile::remove(QStringLiteral("/run/udev/control"));
    QDir(QStringLiteral("/run/udev/data")).removeRecursively();
  }
  PretendedUdevd(const PretendedUdevd&) = delete;
  PretendedUdevd& operator=(const PretendedUdevd&) = delete;

  bool ok() const { return ok_; }
  // Records the character device node as finished, as udevd does once it applied
  // its rules.
  bool finish(const QString& node) {
    struct stat info {};
    if (::stat(node.toLocal8Bit().constData(), &info) != 0) return false;
    const QString entry = QStringLiteral("/run/udev/data/c%1:%2").arg(major(info.st_rdev)).arg(minor(info.st_rdev));
    return WriteFile(entry, "I:1\n");
  }

 private:
  bool ok_ = false;
};

bool Lists(const std::vector<HidDeviceInfo>& devices, const QString& syspath) {
  return std::any_of(devices.begin(), devices.end(),
                     [&](const HidDeviceInfo& d) { return QString::fromStdString(d.path) == syspath; });
}

}  // namespace

class TestE2eAccess : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY2(geteuid() == 0, "runs as root, in the test machine (tests/e2e/run_in_vm.py)");
    QVERIFY2(!QFileInfo::exists(QStringLiteral("/run/udev/control")), "needs a machine without udevd");
  }

  // The window takes the stick while its node is closed to the user; the node is then
  // given to the user and the kernel announces the change: the window opens it again
  // and reads it, without a replug.
  void accessGrantedAfterTheStickWasTaken() {
    const ParamBlock block = RisingBlock(3, 40, 9);
    VirtualStickProcess stick({"--params", e2e::Hex(block)});
    QVERIFY2(stick.plug(), qPrintable(stick.error()));
    const QByteArray node = stick.node().toLocal8Bit();
    QVERIFY(chown(node.constData(), 0, 0) == 0 && chmod(node.constData(), 0600) == 0);
    auto recording = std::make_unique<RecordingBackend>(CreatePlatformHidBackend());
    recording->openAs = ScopedEffectiveUser::kNobody;
    TMainForm form(std::move(recording));
    form.show();
    QTRY_COMPARE_WITH_TIMEOUT(e2e::Status(form), stick.name() + QStringLiteral(" (no access)"), kEventWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(!form.Timer3->isActive(), kEventWaitMs);
    QCOMPARE(stick.openCount(), 0);

    QVERIFY(chown(node.constData(), ScopedEffectiveUser::kNobody, 0) == 0);
    QVERIFY(WriteFile(SysfsOf(stick.node()) + QStringLiteral("/uevent"), "change"));

    QTRY_COMPARE_WITH_TIMEOUT(e2e::Status(form), stick.name(), kEventWaitMs);
    QVERIFY(form.CurDevice && form.CurDevice->HasReadWriteAccess());
    QTRY_COMPARE_WITH_TIMEOUT(stick.written().size(), 2, kEventWaitMs);
    QCOMPARE(stick.written(), e2e::PreAndRead(128));
    QTRY_VERIFY_WITH_TIMEOUT(e2e::GridShows(form, block), kEventWaitMs);
    QCOMPARE(stick.openCount(), 1);
  }

  // While udevd runs, a node it has not finished with is not listed yet: its access
  // rights may not be set. Once udevd has finished, it is.
  void nodeUdevdHasNotFinishedIsLeftOut() {
    VirtualStickProcess stick;
    QVERIFY2(stick.plug(), qPrintable(stick.error()));
    const QString syspath = QFileInfo(SysfsOf(stick.node())).canonicalFilePath();
    const std::unique_ptr<HidBackend> backend = CreatePlatformHidBackend();
    QVERIFY(Lists(backend->scan().value(), syspath));  // no udevd: nothing to wait for

    PretendedUdevd udevd;
    QVERIFY(udevd.ok());
    QVERIFY(!Lists(backend->scan().value(), syspath));
    QVERIFY(udevd.finish(stick.node()));
    QVERIFY(Lists(backend->scan().value(), syspath));
  }
};

QTEST_MAIN(TestE2eAccess)
#include "tst_e2e_access.moc"
