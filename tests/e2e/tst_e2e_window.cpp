// The main window over the libudev backend, against virtual sticks that the kernel
// presents through uhid, hid-generic and hidraw. Runs as root in the test machine,
// on the offscreen platform.
#include <sys/stat.h>
#include <unistd.h>

#include <QFileInfo>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <array>
#include <chrono>

#include "config_report.h"
#include "decimal_spin_edit.h"
#include "image_list.h"
#include "main_form.h"
#include "recording_backend.h"
#include "stick_session.h"
#include "scoped_effective_user.h"
#include "stick_model.h"
#include "test_reports.h"
#include "ui_main_form.h"
#include "virtual_stick_process.h"

using namespace vorlane;

namespace {

constexpr int kEventWaitMs = 3000;
// Long enough for anything that would happen to have happened.
constexpr int kQuietMs = 400;
// The icon follows within a 25 ms tick; the rest is room for a slow machine.
constexpr int kIconWaitMs = 500;
const QString kNotConnected = QStringLiteral("Flightstick not connected");

QString Hex(const ParamBlock& block) {
  return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(block.data()), block.size()).toHex());
}


// Report bytes as the stick receives them: the composed report cut to the feature length.
template <typename Compose>
QByteArray Sent(int featureLength, Compose compose) {
  std::array<std::uint8_t, kReportLayoutSize> report{};
  compose(std::span<std::uint8_t>(report));
  return QByteArray(reinterpret_cast<const char*>(report.data()), featureLength);
}

QByteArray ShortCommand(int featureLength, std::uint16_t command) {
  return Sent(featureLength, [&](std::span<std::uint8_t> r) { ComposeShortCommand(r, command, CMD_GROUP); });
}

// The reports of the connect-time read as the stick session sends them: the
// pre-command, then the read request.
QList<QByteArray> PreAndRead(int featureLength) {
  struct Recorder : FeatureTransport {
    QList<QByteArray> sent;
    TransferResult SetFeature(const std::uint8_t* buffer, std::size_t size) override {
      sent << QByteArray(reinterpret_cast<const char*>(buffer), qsizetype(size));
      return TransferResult::Done(size);
    }
    TransferResult GetFeature(std::uint8_t*, std::size_t) override {
      return TransferResult::Failed("only the sent reports are wanted here");
    }
  } recorder;
  StickSession session([](int) {});
  session.Attach(&recorder, static_cast<std::uint8_t>(featureLength));
  session.PreCommand();
  session.ReadParams();
  return recorder.sent;
}

double Ms(RecordingBackend::Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

struct WindowFixture {
  RecordingBackend* backend = nullptr;  // owned by the window's controller
  std::unique_ptr<TMainForm> form;

  WindowFixture() {
    auto recording = std::make_unique<RecordingBackend>(CreatePlatformHidBackend());
    backend = recording.get();
    form = std::make_unique<TMainForm>(std::move(recording));
    form->show();
  }

  Ui::TMainForm& ui() { return form->controls(); }
  QString status() { return ui().sLabelFX3->text(); }
  int icon() { return ui().img_Target->imageIndex(); }
  DecimalSpinEdit* box(int axis, ParamKind kind) { return form->paramEdit(axis, kind); }

  // The 24 box values, slot by slot.
  std::array<long double, kAxisCount * kParamKindCount> values() {
    std::array<long double, kAxisCount * kParamKindCount> v{};
    for (std::size_t i = 0; i < v.size(); ++i) v[i] = form->ParamEdits[i]->Value();
    return v;
  }

  // Every box shows what its range makes of the stick's byte: hidden slots included.
  void verifyGridShows(const ParamBlock& block) {
    for (const ParamKind k : kParamKinds) {
      for (int a = 0; a < kAxisCount; ++a) {
        DecimalSpinEdit* b = box(a, k);
        const long double expected =
            std::clamp(ParamFromByte(k, block[ParamBlockIndex(a, k)]), b->MinValue(), b->MaxValue());
        QVERIFY2(b->Value() == expected, qPrintable(QStringLiteral("axis %1 kind %2: %3, not %4")
                                                       .arg(a).arg(KindNumber(k))
                                                       .arg(double(b->Value()))
                                                       .arg(double(expected))));
      }
    }
  }

  void verifyCalibratedShows(bool calibrated) {
    QCOMPARE(form->Calibrated, calibrated);
    QCOMPARE(ui().sLabel4->text(), calibrated ? QStringLiteral("Calibrated") : QStringLiteral("Not Calibrated"));
    QCOMPARE(ui().sImage2->imageIndex(), calibrated ? int(kDiscGreen) : int(kDiscRed));
  }
};

}  // namespace

class TestE2eWindow : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void startWithTheStickPlugged_data();
  void startWithTheStickPlugged();
  void saveSendsTheEditedBlock();
  void loadDefaultsSendsTheShortCommand();
  void pullKeepsTheGridAndPlugAgainReadsAgain();
  void otherDeviceChangesNothing();
  void twoSticksTheLastOneWins();
  void pullDuringTheReadWaitSendsNothing();
  void failingReadKeepsTheGrid_data();
  void failingReadKeepsTheGrid();
  void stickWithoutAccessSaysSo();
};

void TestE2eWindow::initTestCase() {
  QVERIFY2(geteuid() == 0, "runs as root, in the test machine (tests/e2e/run_in_vm.py)");
  QVERIFY2(QFileInfo::exists(QStringLiteral("/dev/uhid")), "needs /dev/uhid (the uhid module)");
}

void TestE2eWindow::startWithTheStickPlugged_data() {
  QTest::addColumn<bool>("calibrated");
  QTest::addColumn<QString>("params");
  QTest::addColumn<int>("featureLength");
  QTest::newRow("calibrated, values in range") << true << Hex(RisingBlock(3, 40, 9)) << 63;
  // Dead zones above 25, resolutions above 12 and 10 and below 8: the boxes bring them in.
  QTest::newRow("not calibrated, bytes out of range")
      << false << QStringLiteral("fbff00fa1e0102ff" "fffb19320001c8fa" "ff0d0c0b0a090807") << 127;
}

void TestE2eWindow::startWithTheStickPlugged() {
  QFETCH(bool, calibrated);
  QFETCH(QString, params);
  QFETCH(int, featureLength);
  VirtualStickProcess stick({"--params", params, calibrated ? "--calibrated" : "--not-calibrated",
                             "--feature-length", QString::number(featureLength)});
  QVERIFY2(stick.plug(), qPrintable(stick.error()));

  WindowFixture f;
  QCOMPARE(f.status(), kNotConnected);
  QTRY_COMPARE_WITH_TIMEOUT(f.status(), stick.name(), kEventWaitMs);
  QTRY_COMPARE_WITH_TIMEOUT(f.icon(), int(kDiscGreen), kIconWaitMs);
  QTRY_COMPARE_WITH_TIMEOUT(stick.written().size(), 2, kEventWaitMs);
  QCOMPARE(stick.written(), PreAndRead(featureLength + 1));
  QVERIFY(!f.form->Timer3->isActive());

  ParamBlock block{};
  const QByteArray bytes = QByteArray::fromHex(params.toLatin1());
  std::copy(bytes.begin(), bytes.end(), block.begin());
  f.verifyGridShows(block);
  f.verifyCalibratedShows(calibrated);

  // Found when the window first opened the stick; the pre-command is the first transfer.
  const auto& t = f.backend->transfers;
  QCOMPARE(f.backend->opens.size(), 1u);
  QCOMPARE(t.size(), 3u);
  QVERIFY(t[0].set && t[1].set && !t[2].set && t[2].ok);
  const double toPre = Ms(t[0].done - f.backend->opens[0]);
  const double toGrid = Ms(t[2].done - f.backend->opens[0]);
  qInfo("timing: stick found -> pre-command %.1f ms, -> grid filled %.1f ms", toPre, toGrid);
  // The read waits for the 100 ms timer (a coarse timer may fire 5 % early).
  QCOMPARE_GE(toPre, 95.0);
}

void TestE2eWindow::saveSendsTheEditedBlock() {
  const ParamBlock block = RisingBlock(3, 40, 9);
  VirtualStickProcess stick({"--params", Hex(block)});
  QVERIFY2(stick.plug(), qPrintable(stick.error()));
  WindowFixture f;
  QTRY_COMPARE_WITH_TIMEOUT(stick.written().size(), 2, kEventWaitMs);
  f.verifyGridShows(block);

  f.box(1, ParamKind::DeadZoneStart)->SetValue(2.45L);
  f.box(4, ParamKind::Resolution)->SetValue(9.7L);
  QTest::mouseClick(f.ui().sButton1, Qt::LeftButton);

  ParamBlock expected = block;
  expected[ParamBlockIndex(1, ParamKind::DeadZoneStart)] = 25;  // a half goes up
  expected[ParamBlockIndex(4, ParamKind::Resolution)] = 9;      // cut, not rounded
  QCOMPARE(stick.written().size(), 3);
  QCOMPARE(stick.written().last(),
           Sent(128, [&](std::span<std::uint8_t> r) { ComposeWriteParams(r, expected); }));
}

void TestE2eWindow::loadDefaultsSendsTheShortCommand() {
  VirtualStickProcess stick({"--params", Hex(RisingBlock(3, 40, 9))});
  QVERIFY2(stick.plug(), qPrintable(stick.error()));
  WindowFixture f;
  QTRY_COMPARE_WITH_TIMEOUT(stick.written().size(), 2, kEventWaitMs);
  const auto before = f.values();

  QTest::mouseClick(f.ui().sButton2, Qt::LeftButton);
  QTest::mouseClick(f.ui().sButton2, Qt::LeftButton);

  const QByteArray loadDefaults = ShortCommand(128, CMD_LOAD_DEFAULTS);
  QCOMPARE(stick.written().mid(2), (QList<QByteArray>{loadDefaults, loadDefaults}));
  QTest::qWait(kQuietMs);
  QCOMPARE(stick.written().size(), 4);  // nothing read back
  QVERIFY(f.values() == before);
}

void TestE2eWindow::pullKeepsTheGridAndPlugAgainReadsAgain() {
  const ParamBlock first = RisingBlock(3, 40, 9);
  VirtualStickProcess stick({"--params", Hex(first)});
  QVERIFY2(stick.plug(), qPrintable(stick.error()));
  WindowFixture f;
  QTRY_COMPARE_WITH_TIMEOUT(stick.written().size(), 2, kEventWaitMs);

  QVERIFY2(stick.pull(), qPrintable(stick.error()));
  QTRY_COMPARE_WITH_TIMEOUT(f.status(), kNotConnected, kEventWaitMs);
  QTRY_COMPARE_WITH_TIMEOUT(f.icon(), int(kDiscGrey), kIconWaitMs);
  f.verifyGridShows(first);
  f.verifyCalibratedShows(true);

  const ParamBlock second = RisingBlock(10, 20, 8);
  VirtualStickProcess again({"--params", Hex(second), "--not-calibrated", "--name", stick.name()});
  QVERIFY2(again.plug(), qPrintable(again.error()));
  QTRY_COMPARE_WITH_TIMEOUT(f.status(), stick.name(), kEventWaitMs);
  QTRY_COMPARE_WITH_TIMEOUT(again.written().size(), 2, kEventWaitMs);
  QCOMPARE(again.written(), PreAndRead(128));
  f.verifyCalibratedShows(false);
  f.verifyGridShows(second);
  QCOMPARE(f.icon(), int(kDiscGreen));
}

void TestE2eWindow::otherDeviceChangesNothing() {
  VirtualStickProcess stick({"--params", Hex(RisingBlock(3, 40, 9))});
  QVERIFY2(stick.plug(), qPrintable(stick.error()));
  WindowFixture f;
  QTRY_COMPARE_WITH_TIMEOUT(stick.written().size(), 2, kEventWaitMs);
  QVERIFY(!f.form->Timer3->isActive());
  const auto before = f.values();
  HidDevice* const current = f.form->CurDevice;

  VirtualStickProcess other({"--vendor", "0x1234", "--product", "0x5678", "--name", "Other Device"});
  QVERIFY2(other.plug(), qPrintable(other.error()));
  QTest::qWait(kQuietMs);
  QCOMPARE(f.status(), stick.name());
  QVERIFY2(other.pull(), qPrintable(other.error()));
  QTest::qWait(kQuietMs);

  QCOMPARE(f.form->CurDevice, current);
  QCOMPARE(f.status(), stick.name());
  QCOMPARE(f.icon(), int(kDiscGreen));
  QVERIFY(f.values() == before);
  QVERIFY(!f.form->Timer3->isActive());
  QCOMPARE(other.openCount(), 0);
  QVERIFY(other.written().isEmpty());
  QCOMPARE(stick.written().size(), 2);
}

void TestE2eWindow::twoSticksTheLastOneWins() {
  VirtualStickProcess first({"--params", Hex(RisingBlock(3, 40, 9)), "--name", "First Stick"});
  QVERIFY2(first.plug(), qPrintable(first.error()));
  WindowFixture f;
  QTRY_COMPARE_WITH_TIMEOUT(first.written().size(), 2, kEventWaitMs);

  const ParamBlock secondBlock = RisingBlock(10, 20, 8);
  VirtualStickProcess second({"--params", Hex(secondBlock), "--name", "Second Stick"});
  QVERIFY2(second.plug(), qPrintable(second.error()));
  QTRY_COMPARE_WITH_TIMEOUT(f.status(), second.name(), kEventWaitMs);
  QTRY_COMPARE_WITH_TIMEOUT(second.written().size(), 2, kEventWaitMs);
  f.verifyGridShows(secondBlock);

  // Pulling the current one leaves no stick, although the first is still plugged in.
  QVERIFY2(second.pull(), qPrintable(second.error()));
  QTRY_COMPARE_WITH_TIMEOUT(f.status(), kNotConnected, kEventWaitMs);
  QTest::qWait(kQuietMs);
  QCOMPARE(f.status(), kNotConnected);
  QVERIFY(f.form->CurDevice == nullptr);
  QCOMPARE(first.written().size(), 2);

  // The first is found again only once it was plugged in anew.
  QVERIFY2(first.pull(), qPrintable(first.error()));
  QVERIFY2(first.plug(), qPrintable(first.error()));
  QTRY_COMPARE_WITH_TIMEOUT(f.status(), first.name(), kEventWaitMs);
  QTRY_COMPARE_WITH_TIMEOUT(first.written().size(), 2, kEventWaitMs);
}

void TestE2eWindow::pullDuringTheReadWaitSendsNothing() {
  VirtualStickProcess stick;
  QVERIFY2(stick.plug(), qPrintable(stick.error()));
  WindowFixture f;
  const auto before = f.values();
  // Pulled while the window takes it, so the removal is announced well within the
  // 100 ms before the first read.
  bool pulled = false;
  f.backend->afterOpen = [&] { pulled = stick.pull(); };

  QTRY_VERIFY_WITH_TIMEOUT(!f.backend->opens.empty(), kEventWaitMs);
  QVERIFY2(pulled, qPrintable(stick.error()));
  QTRY_COMPARE_WITH_TIMEOUT(f.status(), kNotConnected, kEventWaitMs);
  QTRY_VERIFY_WITH_TIMEOUT(!f.form->Timer3->isActive(), kEventWaitMs);
  QTest::qWait(kQuietMs);

  QVERIFY(stick.written().isEmpty());
  QVERIFY(f.backend->transfers.empty());
  QVERIFY(f.values() == before);
  QCOMPARE(f.icon(), int(kDiscGrey));
}

void TestE2eWindow::failingReadKeepsTheGrid_data() {
  QTest::addColumn<QStringList>("options");
  QTest::addColumn<int>("reportsAtConnect");  // what the stick's log shows as written
  QTest::newRow("reads fail") << QStringList{"--fail-reads"} << 2;
  // 12 bytes reach the host: not the whole block.
  QTest::newRow("short answer") << QStringList{"--short-answer", "12"} << 2;
  // The pre-command and the read request reach the stick and are refused; no get follows.
  QTest::newRow("writes refused") << QStringList{"--refuse-sets"} << 2;
}

void TestE2eWindow::failingReadKeepsTheGrid() {
  QFETCH(QStringList, options);
  QFETCH(int, reportsAtConnect);
  VirtualStickProcess stick(options);
  QVERIFY2(stick.plug(), qPrintable(stick.error()));
  WindowFixture f;
  // Values that taking the failed read's buffer as an answer would overwrite: its block
  // is zero (dead zones 0, resolutions 8) and its byte 5 says "not calibrated".
  for (int a = 0; a < kAxisCount; ++a) {
    f.box(a, ParamKind::DeadZoneStart)->SetValue(1.5L);
    f.box(a, ParamKind::DeadZoneEnd)->SetValue(2.5L);
    f.box(a, ParamKind::Resolution)->SetValue(10);
  }
  f.form->Calibrated = true;
  f.form->ShowCalibrated();
  const auto before = f.values();

  QTRY_COMPARE_WITH_TIMEOUT(f.status(), stick.name() + QStringLiteral(" (read failed)"), kEventWaitMs);
  QVERIFY(!f.ui().sLabelFX3->toolTip().isEmpty());
  QCOMPARE(stick.written().size(), reportsAtConnect);
  QVERIFY(f.values() == before);
  f.verifyCalibratedShows(true);

  // Nothing was read from this stick, so Save sends it nothing, and says so.
  QTest::mouseClick(f.ui().sButton1, Qt::LeftButton);
  QCOMPARE(f.status(), stick.name() + QStringLiteral(" (not saved: nothing read)"));
  QTest::qWait(kQuietMs);
  QCOMPARE(stick.written().size(), reportsAtConnect);
  for (const QByteArray& report : stick.written()) QVERIFY(std::uint8_t(report[3]) != CMD_WRITE_PARAMS);
}

void TestE2eWindow::stickWithoutAccessSaysSo() {
  VirtualStickProcess stick;
  QVERIFY2(stick.plug(), qPrintable(stick.error()));
  const QByteArray node = stick.node().toLocal8Bit();
  QVERIFY(chown(node.constData(), 0, 0) == 0 && chmod(node.constData(), 0600) == 0);
  auto recording = std::make_unique<RecordingBackend>(CreatePlatformHidBackend());
  recording->openAs = ScopedEffectiveUser::kNobody;
  RecordingBackend* backend = recording.get();
  TMainForm form(std::move(recording));
  form.show();

  QTRY_COMPARE_WITH_TIMEOUT(form.controls().sLabelFX3->text(), stick.name() + QStringLiteral(" (no access)"),
                            kEventWaitMs);
  QVERIFY(!form.controls().sLabelFX3->toolTip().isEmpty());
  QTRY_VERIFY_WITH_TIMEOUT(!form.Timer3->isActive(), kEventWaitMs);
  // The window goes on as with any stick; its transfers fail before reaching the node,
  // and a read request that did not go out is not followed by a get.
  QCOMPARE(backend->transfers.size(), 2u);
  for (const auto& transfer : backend->transfers) QVERIFY(!transfer.ok);
  QVERIFY2(stick.pull(), qPrintable(stick.error()));
  QCOMPARE(stick.openCount(), 0);
  QVERIFY(stick.written().isEmpty());
}

QTEST_MAIN(TestE2eWindow)
#include "tst_e2e_window.moc"
