// What the window does when the stick does not answer as it should: nothing it shows
// or writes may come from an answer that did not arrive whole, and every failure is
// shown until the next transfer succeeds or a stick is connected anew.
#include <QtTest>

#include <cerrno>
#include <optional>

#include "device_fixture.h"
#include "test_reports.h"

using namespace vorlane;

namespace {

enum class Fault { None, AnswerBytes, FailedGet, FailedSet, GoneBeforeGet };

const QString kName = QString::fromStdU16String(kStickName);

// A stick whose block differs from the grid's built-in values in every box.
std::shared_ptr<StickModel> TunedStick() {
  return std::make_shared<StickModel>(RisingBlock(3, 40, 9), /*calibrated=*/true);
}

// The window holding a stick once its connect-time read has run; plug changes the
// simulated device before it is plugged.
struct ConnectedFixture : DeviceFixture {
  std::shared_ptr<StickModel> model = TunedStick();
  std::string path;

  explicit ConnectedFixture(const std::function<void(SimDevice&, SimBackend&)>& plug = {})
      : DeviceFixture() {
    SimDevice device = Stick(model);
    if (plug) plug(device, *sim);
    path = sim->Plug(std::move(device));
    QTRY_VERIFY(form->CurDevice != nullptr);
    QTRY_VERIFY(!form->Timer3->isActive());
  }

  // The grid as the built-in values or as the model's block shows it.
  bool gridShows(const std::optional<ParamBlock>& block) {
    for (const ParamKind kind : kParamKinds) {
      for (int a = 0; a < kAxisCount; ++a) {
        const long double built = kind == ParamKind::Resolution ? 8 : 0;
        const long double expected =
            block ? ParamFromByte(kind, (*block)[ParamBlockIndex(a, kind)]) : built;
        if (form->paramEdit(a, kind)->Value() != expected) return false;
      }
    }
    return true;
  }

  // Presses Save and tells whether a write report reached the stick.
  bool saveWrites() {
    model->ClearReceived();
    ui().sButton1->click();
    const auto commands = model->ReceivedCommands();
    return std::find(commands.begin(), commands.end(), CMD_WRITE_PARAMS) != commands.end();
  }
};

}  // namespace

class FormFaultsTest : public QObject {
  Q_OBJECT

 private slots:
  void connectTimeRead_data();
  void connectTimeRead();
  void failedSaveIsShownUntilATransferSucceeds();
  void failedLoadDefaultsIsShown();
  void faultsFollowTheLanguage();
  void newConnectionForgetsTheFault();
  void failedTransfersAreMarkedInTheLog();
};

void FormFaultsTest::connectTimeRead_data() {
  QTest::addColumn<Fault>("fault");
  QTest::addColumn<int>("answerBytes");
  QTest::addColumn<bool>("readOk");

  QTest::newRow("healthy stick") << Fault::None << 0 << true;
  // A complete answer holds bytes 0..29: the calibrated flag in 5, the block in 6..29.
  for (int k : {1, 5, 29, 30, 64}) {
    QTest::addRow("answer of %d bytes", k) << Fault::AnswerBytes << k << (k >= 30);
  }
  QTest::newRow("get fails") << Fault::FailedGet << 0 << false;
  QTest::newRow("stick refuses every set") << Fault::FailedSet << 0 << false;
  QTest::newRow("gone between request and answer") << Fault::GoneBeforeGet << 0 << false;
}

void FormFaultsTest::connectTimeRead() {
  QFETCH(Fault, fault);
  QFETCH(int, answerBytes);
  QFETCH(bool, readOk);

  ConnectedFixture f([&](SimDevice& device, SimBackend& sim) {
    switch (fault) {
      case Fault::None: break;
      case Fault::AnswerBytes: device.answerBytes = std::size_t(answerBytes); break;
      case Fault::FailedGet: device.failGets = true; break;
      case Fault::FailedSet: device.failSets = true; break;
      case Fault::GoneBeforeGet:
        // Pulled, and not yet announced: the window still holds it when the get fails.
        device.beforeGet = [&sim] { sim.Pull(sim.OpenedPaths().front(), Announce::Later); };
        break;
    }
  });

  QCOMPARE(f.gridShows(readOk ? std::optional(f.model->Params()) : std::nullopt), true);
  QCOMPARE(f.form->Calibrated, readOk);
  QCOMPARE(f.status(), readOk ? kName : kName + QStringLiteral(" (read failed)"));
  QCOMPARE(f.ui().sLabelFX3->toolTip().isEmpty(), readOk);
  if (fault == Fault::GoneBeforeGet) {
    QVERIFY2(f.ui().sLabelFX3->toolTip().contains(QString::fromStdString(std::strerror(ENODEV))),
             qPrintable(f.ui().sLabelFX3->toolTip()));
  }

  // Save writes only the block that was read from this stick.
  const ParamBlock before = f.model->Params();
  QCOMPARE(f.saveWrites(), readOk);
  QCOMPARE(f.model->Params(), before);
  if (!readOk) QCOMPARE(f.status(), kName + QStringLiteral(" (not saved: nothing read)"));
}

void FormFaultsTest::failedSaveIsShownUntilATransferSucceeds() {
  ConnectedFixture f;
  QCOMPARE(f.status(), kName);
  f.sim->Device(f.path).failSets = true;
  f.form->paramEdit(0, ParamKind::DeadZoneStart)->SetValue(2.5L);

  QVERIFY(!f.saveWrites());
  QCOMPARE(f.status(), kName + QStringLiteral(" (save failed)"));
  QVERIFY(!f.ui().sLabelFX3->toolTip().isEmpty());

  // Still failing: still shown. Then a save that goes through clears it.
  QVERIFY(!f.saveWrites());
  QCOMPARE(f.status(), kName + QStringLiteral(" (save failed)"));
  f.sim->Device(f.path).failSets = false;
  QVERIFY(f.saveWrites());
  QCOMPARE(f.status(), kName);
  QVERIFY(f.ui().sLabelFX3->toolTip().isEmpty());
  QCOMPARE(int(f.model->Params()[ParamBlockIndex(0, ParamKind::DeadZoneStart)]), 25);
}

void FormFaultsTest::failedLoadDefaultsIsShown() {
  ConnectedFixture f;
  f.sim->Device(f.path).failSets = true;
  f.ui().sButton2->click();
  QCOMPARE(f.status(), kName + QStringLiteral(" (load defaults failed)"));
  QCOMPARE(f.model->Params(), RisingBlock(3, 40, 9));  // the stick kept its block

  f.sim->Device(f.path).failSets = false;
  f.ui().sButton2->click();
  QCOMPARE(f.status(), kName);
  QCOMPARE(f.model->Params(), StickModel::FactoryBlock());
}

void FormFaultsTest::faultsFollowTheLanguage() {
  ConnectedFixture f([](SimDevice& device, SimBackend&) { device.failGets = true; });
  QCOMPARE(f.status(), kName + QStringLiteral(" (read failed)"));
  f.ui().RadioButton2->click();
  QCOMPARE(f.status(), kName + QStringLiteral(" (Lesefehler)"));
  f.saveWrites();
  QCOMPARE(f.status(), kName + QStringLiteral(" (nicht gespeichert)"));
  QVERIFY(f.ui().sLabelFX3->toolTip().startsWith(QStringLiteral("Speichern schreibt nur")));
  f.ui().RadioButton1->click();
  QCOMPARE(f.status(), kName + QStringLiteral(" (not saved: nothing read)"));
  QVERIFY(f.ui().sLabelFX3->toolTip().startsWith(QStringLiteral("Save writes only")));
}

void FormFaultsTest::newConnectionForgetsTheFault() {
  ConnectedFixture f([](SimDevice& device, SimBackend&) { device.failGets = true; });
  QCOMPARE(f.status(), kName + QStringLiteral(" (read failed)"));
  QVERIFY(!f.saveWrites());

  // Pulled: the not-connected text. Plugged again, healthy: read, and Save may write.
  f.sim->Pull(f.path);
  QCOMPARE(f.status(), QStringLiteral("Flightstick not connected"));
  QVERIFY(f.ui().sLabelFX3->toolTip().isEmpty());
  f.sim->Device(f.path).failGets = false;
  f.sim->Replug(f.path);
  QTRY_VERIFY(f.form->CurDevice != nullptr);
  QCOMPARE(f.status(), kName);
  QTRY_VERIFY(f.form->Session.BlockRead());
  QVERIFY(f.gridShows(f.model->Params()));
  QVERIFY(f.saveWrites());
}

void FormFaultsTest::failedTransfersAreMarkedInTheLog() {
  ConnectedFixture f;
  f.ui().cbLog->setChecked(true);
  f.sim->Device(f.path).answerBytes = 12;
  f.form->Read_Param_DZ();
  f.sim->Device(f.path).failSets = true;
  f.ui().sButton2->click();

  const QStringList lines = f.ui().sMemo1->toPlainText().split(QLatin1Char('\n'));
  QCOMPARE(lines.size(), 3);
  QVERIFY(lines[0].startsWith(QStringLiteral("W  59 A5 1A 12 00 04 ")));
  QVERIFY(lines[0].endsWith(QStringLiteral("00 ")));  // a transfer that went through
  QVERIFY2(lines[1].startsWith(QStringLiteral("R  ")) &&
               lines[1].contains(QStringLiteral("FAILED: the stick answered 12 bytes")),
           qPrintable(lines[1]));
  QVERIFY2(lines[2].startsWith(QStringLiteral("W  59 A5 1A 13 00 ")) &&
               lines[2].contains(QStringLiteral("FAILED: ")),
           qPrintable(lines[2]));
}

QTEST_MAIN(FormFaultsTest)
#include "tst_form_faults.moc"
