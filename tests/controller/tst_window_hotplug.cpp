// The window and its controller when devices come and go in numbers, when the stick's
// access rights arrive late, and when a scan fails; through simulated devices.
#include <QLabel>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <memory>
#include <string>
#include <vector>

#include "config_report.h"
#include "decimal_spin_edit.h"
#include "main_form.h"
#include "sim_backend.h"
#include "test_reports.h"
#include "ui_main_form.h"

using namespace vorlane;

namespace {

const QString kName = QStringLiteral("Hotplug Stick");

SimDevice Stick(std::shared_ptr<StickModel> model) {
  SimDevice device;
  device.attributes = {0x11C0, 0x5606, 0x0100};
  device.featureReportByteLength = 64;
  device.productString = kName.toStdU16String();
  device.stick = std::move(model);
  return device;
}

SimDevice Keyboard() {
  SimDevice device;
  device.attributes = {0x1234, 0x0001, 0x0100};
  device.productString = u"Keyboard";
  return device;
}

// A window over simulated devices; the stick (block RisingBlock(4, 30, 11)) is
// plugged before the window exists unless told otherwise.
struct Fixture {
  SimBackend* sim = nullptr;  // owned by the window's controller
  std::shared_ptr<StickModel> model = std::make_shared<StickModel>(RisingBlock(4, 30, 11), true);
  std::string stickPath;
  std::unique_ptr<TMainForm> form;

  explicit Fixture(const std::function<void(SimDevice&)>& adapt = {}) {
    auto backend = std::make_unique<SimBackend>();
    sim = backend.get();
    SimDevice stick = Stick(model);
    if (adapt) adapt(stick);
    stickPath = sim->Plug(stick, Announce::Later);
    form = std::make_unique<TMainForm>(std::move(backend));
    form->Sleep = [](int) {};
  }

  QString status() const { return form->controls().sLabelFX3->text(); }
  double resolution(int axis) const { return double(form->paramEdit(axis, ParamKind::Resolution)->Value()); }
  // Waits for the stick to be found and read.
  bool connected() {
    return QTest::qWaitFor([this] { return form->CurDevice && !form->Timer3->isActive() && model->ReceivedCommands().size() >= 2; });
  }
};

// Simulated devices whose nodes the system refuses to open for a reason other than
// access rights (busy, say): the io opens without transfers and fails them with it.
class RefusingBackend final : public HidBackend {
 public:
  explicit RefusingBackend(int openError) : openError_(openError) {}
  SimBackend sim;

  std::optional<std::vector<HidDeviceInfo>> scan() override { return sim.scan(); }
  void watch(std::function<void()> changed) override { sim.watch(std::move(changed)); }
  std::unique_ptr<HidDeviceIo> open(const HidDeviceInfo& device) override {
    std::unique_ptr<HidDeviceIo> io = sim.open(device);
    return io ? std::make_unique<RefusedIo>(std::move(io), openError_) : nullptr;
  }

 private:
  class RefusedIo final : public HidDeviceIo {
   public:
    RefusedIo(std::unique_ptr<HidDeviceIo> io, int error) : io_(std::move(io)), error_(error) {}
    bool readWrite() const override { return false; }
    bool accessDenied() const override { return false; }
    HidCaps caps() override { return io_->caps(); }
    std::u16string productString() override { return io_->productString(); }
    TransferResult SetFeature(const std::uint8_t*, std::size_t) override { return TransferResult::SystemFailed(error_); }
    TransferResult GetFeature(std::uint8_t*, std::size_t) override { return TransferResult::SystemFailed(error_); }

   private:
    std::unique_ptr<HidDeviceIo> io_;
    int error_;
  };

  int openError_;
};

}  // namespace

class WindowHotplugTest : public QObject {
  Q_OBJECT

 private slots:
  // Each other device the window takes is given back when it goes, so the list holds
  // the stick and what is plugged now, however often a device comes and goes.
  void otherDevicesComingAndGoingLeaveTheListAsItWas() {
    Fixture f;
    QVERIFY(f.connected());
    HidDevice* const stick = f.form->CurDevice;
    QCOMPARE(f.form->HidCtl->Count(), 1);

    int most = 0;
    for (int cycle = 0; cycle < 1000; ++cycle) {
      const std::string keyboard = f.sim->Plug(Keyboard());
      most = std::max(most, f.form->HidCtl->Count());
      f.sim->Pull(keyboard);
    }
    QCOMPARE(most, 2);
    QCOMPARE(f.form->HidCtl->Count(), 1);
    QCOMPARE(f.form->CurDevice, stick);
    QCOMPARE(f.status(), kName);
  }

  // The stick is found before the system grants the access: once the system announces
  // the change, the window opens it again and reads it, without a replug.
  void accessGrantedLaterIsTakenUp() {
    Fixture f([](SimDevice& stick) { stick.readWrite = false; });
    QTRY_COMPARE(f.status(), kName + QStringLiteral(" (no access)"));
    QTRY_VERIFY(!f.form->Timer3->isActive());
    QVERIFY(f.model->Received().empty());
    QCOMPARE(f.resolution(0), 8.0);

    f.sim->Device(f.stickPath).readWrite = true;
    f.sim->Reannounce(f.stickPath);

    QCOMPARE(f.status(), kName);
    QVERIFY(f.form->CurDevice && f.form->CurDevice->HasReadWriteAccess());
    QTRY_COMPARE(f.model->ReceivedCommands(), (std::vector<std::uint16_t>{CMD_PRE, CMD_READ_PARAMS}));
    QCOMPARE(f.resolution(0), 11.0);
    QCOMPARE(f.sim->OpenCount(f.stickPath), 2);
    QCOMPARE(f.form->HidCtl->Count(), 1);
  }

  // Only a refusal of the access rights reads "(no access)"; a node that is busy fails
  // the read, and the window says so with the system's words.
  void nodeRefusedForAnotherReasonIsNoAccessProblem() {
    auto backend = std::make_unique<RefusingBackend>(EBUSY);
    auto model = std::make_shared<StickModel>(RisingBlock(4, 30, 11), true);
    backend->sim.Plug(Stick(model), Announce::Later);
    TMainForm form(std::move(backend));
    form.Sleep = [](int) {};

    QTRY_COMPARE(form.controls().sLabelFX3->text(), kName + QStringLiteral(" (read failed)"));
    QVERIFY2(form.controls().sLabelFX3->toolTip().contains(QString::fromLocal8Bit(std::strerror(EBUSY))),
             qPrintable(form.controls().sLabelFX3->toolTip()));
    QVERIFY(model->Received().empty());
  }

  // A scan that fails changes nothing for the window: the stick stays connected and
  // its block can still be saved.
  void failedScanKeepsTheStick() {
    Fixture f;
    QVERIFY(f.connected());
    HidDevice* const stick = f.form->CurDevice;
    f.sim->FailScans(true);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("could not be listed"));
    f.sim->Notify();

    QCOMPARE(f.form->CurDevice, stick);
    QCOMPARE(f.status(), kName);
    f.model->ClearReceived();
    f.form->sButton1Click();
    QCOMPARE(f.model->ReceivedCommands().size(), std::size_t{1});
    QCOMPARE(f.status(), kName);
  }

  // Pulled and plugged again under the same path before the window heard of either:
  // the old handle is let go and the stick is read again through a new one.
  void replugUnderTheSamePathReadsAgain() {
    Fixture f;
    QVERIFY(f.connected());
    HidDevice* const before = f.form->CurDevice;
    f.model->ClearReceived();
    f.model->SetParams(RisingBlock(2, 20, 9));

    f.sim->Pull(f.stickPath, Announce::Later);
    f.sim->Replug(f.stickPath, Announce::Later);
    f.sim->Notify();

    QVERIFY(f.form->CurDevice && f.form->CurDevice != before);
    QTRY_COMPARE(f.model->ReceivedCommands(), (std::vector<std::uint16_t>{CMD_PRE, CMD_READ_PARAMS}));
    QCOMPARE(f.resolution(0), 9.0);
    QCOMPARE(f.form->HidCtl->Count(), 1);
    QCOMPARE(f.sim->OpenCount(f.stickPath), 2);
  }
};

QTEST_MAIN(WindowHotplugTest)
#include "tst_window_hotplug.moc"
