// The vorlane program itself on an X server (Xvfb), its Save button clicked with
// xdotool where it shows on the screen, against a virtual stick. Leaves a screenshot
// in the results directory. Runs as root in the test machine.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>

#include <array>
#include <optional>

#include "config_report.h"
#include "main_form.h"
#include "ui_main_form.h"
#include "virtual_stick_process.h"

namespace {

constexpr int kStartWaitMs = 30000;
const QString kDisplay = QStringLiteral(":42");

// Runs a helper program to its end; its standard output, or nothing when it failed.
std::optional<QString> Run(const QString& program, const QStringList& arguments, int timeoutMs = 10000) {
  QProcess process;
  process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  process.start(program, arguments);
  if (!process.waitForFinished(timeoutMs) || process.exitStatus() != QProcess::NormalExit ||
      process.exitCode() != 0) {
    process.kill();
    process.waitForFinished();
    return std::nullopt;
  }
  return QString::fromLocal8Bit(process.readAllStandardOutput());
}

// Where Save lies in the window's client area, as its own form lays it out.
QPoint SaveButtonCentre() {
  TMainForm form(nullptr);
  const QPushButton* save = form.controls().sButton1;
  return save->mapTo(&form, save->rect().center());
}

void Stop(QProcess& process) {
  process.terminate();
  if (!process.waitForFinished(5000)) {
    process.kill();
    process.waitForFinished();
  }
}

}  // namespace

class TestE2eDesktop : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void saveClickedOnTheScreenReachesTheStick();
};

void TestE2eDesktop::initTestCase() {
  for (const char* tool : {"Xvfb", "xdotool", "import"}) {
    QVERIFY2(!QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty(), tool);
  }
  QVERIFY2(QFileInfo(QStringLiteral(VORLANE_PATH)).isExecutable(), VORLANE_PATH);
  QVERIFY2(!qEnvironmentVariableIsEmpty("VORLANE_E2E_RESULTS"),
           "VORLANE_E2E_RESULTS names the directory for the screenshot");
}

void TestE2eDesktop::saveClickedOnTheScreenReachesTheStick() {
  const QPoint save = SaveButtonCentre();

  QProcess xvfb;
  xvfb.setProcessChannelMode(QProcess::ForwardedChannels);
  xvfb.start(QStringLiteral("Xvfb"), {kDisplay, "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
  QVERIFY(xvfb.waitForStarted());
  QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X42")), kStartWaitMs);

  vorlane::ParamBlock block{};
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(i < 16 ? 10 + i : 9);
  const QString params = QString::fromLatin1(
      QByteArray(reinterpret_cast<const char*>(block.data()), block.size()).toHex());
  VirtualStickProcess stick({"--params", params});
  QVERIFY2(stick.plug(), qPrintable(stick.error()));

  // For the program and the X tools; this test itself stays on the offscreen platform.
  qputenv("DISPLAY", kDisplay.toLatin1());
  QProcess vorlane;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
  vorlane.setProcessEnvironment(env);
  vorlane.setProcessChannelMode(QProcess::ForwardedChannels);
  vorlane.start(QStringLiteral(VORLANE_PATH), {});
  QVERIFY(vorlane.waitForStarted());

  // Found and read, as on any start with the stick plugged in.
  QTRY_COMPARE_WITH_TIMEOUT(stick.written().size(), 2, kStartWaitMs);
  const QString window = Run(QStringLiteral("xdotool"),
                             {"search", "--sync", "--onlyvisible", "--name", "^Vorlane"}, kStartWaitMs)
                             .value_or(QString())
                             .section(QLatin1Char('\n'), 0, 0);
  QVERIFY2(!window.isEmpty(), "no Vorlane window on the X server");
  QVERIFY(Run(QStringLiteral("xdotool"), {"mousemove", "--sync", "--window", window,
                                          QString::number(save.x()), QString::number(save.y()),
                                          "click", "1"}));

  QTRY_COMPARE_WITH_TIMEOUT(stick.written().size(), 3, kStartWaitMs);
  std::array<std::uint8_t, vorlane::kReportLayoutSize> expected{};
  vorlane::ComposeWriteParams(expected, block);
  QCOMPARE(stick.written().last(), QByteArray(reinterpret_cast<const char*>(expected.data()), 128));

  const QString shot = QDir(qEnvironmentVariable("VORLANE_E2E_RESULTS")).filePath("vorlane-xvfb.png");
  QFile::remove(shot);
  QVERIFY(Run(QStringLiteral("import"), {"-window", "root", shot}));
  QFile png(shot);
  QVERIFY(png.open(QIODevice::ReadOnly));
  QCOMPARE(png.read(8), QByteArray("\x89PNG\r\n\x1a\n"));
  qInfo("screenshot: %s", qPrintable(shot));

  Stop(vorlane);
  Stop(xvfb);
}

QTEST_MAIN(TestE2eDesktop)
#include "tst_e2e_desktop.moc"
