// vorlane-cli.exe, the Windows build, under Wine in the test machine: Wine's HID stack
// reaches the virtual stick through its hidraw node, so the Windows device layer
// (SetupAPI, hid.dll) runs for real. Every command must send the stick the same reports,
// byte for byte, as the Linux vorlane-cli does from the same state. Runs as root in the
// test machine, started by run_wine_stage.py with a prepared Wine prefix.
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <map>

#include "cli_process.h"
#include "config_report.h"
#include "param_file.h"
#include "virtual_stick_process.h"

namespace {

constexpr int kLinuxRunMs = 30000;
// The first program of a fresh wineserver starts Wine's services, which takes about a
// minute under emulation.
constexpr int kWineRunMs = 240000;

vorlane::ParamBlock Block(int base, int resolution) {
  vorlane::ParamBlock block{};
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(i < 16 ? base + i : resolution);
  return block;
}

QString Hex(const vorlane::ParamBlock& block) {
  return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(block.data()), block.size()).toHex());
}

// What one command did: its run and the reports the stick received meanwhile.
struct Step {
  CliRun run;
  QList<QByteArray> reports;
};

// The output without its first line, which names the device by its platform's path.
QString WithoutStickLine(const QString& out) { return out.section(QLatin1Char('\n'), 1); }

}  // namespace

class TestWineCli : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void sameReportsAsLinux();
  void cleanupTestCase();

 private:
  CliRun Linux(const QStringList& arguments) {
    return RunProgram(QStringLiteral(VORLANE_CLI_PATH), arguments, kLinuxRunMs);
  }
  CliRun Windows(const QStringList& arguments) {
    QElapsedTimer timer;
    timer.start();
    CliRun run = RunProgram(wine_, QStringList{exe_} + arguments, kWineRunMs);
    // A Windows console program ends its lines with CR LF.
    run.out.remove(QLatin1Char('\r'));
    run.err.remove(QLatin1Char('\r'));
    qInfo("timing: vorlane-cli.exe %s took %lld ms", qPrintable(arguments.join(' ')), timer.elapsed());
    return run;
  }
  // A path as the Windows program sees it: the Unix root is drive Z:.
  static QString WinPath(const QString& path) { return QStringLiteral("Z:") + path; }

  QString wine_;
  QString exe_;
  QTemporaryDir dir_;
};

void TestWineCli::initTestCase() {
  QVERIFY2(geteuid() == 0, "runs as root, in the test machine (tests/wine/run_wine_stage.py)");
  QVERIFY2(!qEnvironmentVariableIsEmpty("WINEPREFIX"), "WINEPREFIX names the prepared prefix");
  exe_ = qEnvironmentVariable("VORLANE_WINDOWS_CLI");
  QVERIFY2(QFileInfo(exe_).isFile(), "VORLANE_WINDOWS_CLI names vorlane-cli.exe");
  wine_ = QStandardPaths::findExecutable(QStringLiteral("wine"));
  QVERIFY2(!wine_.isEmpty(), "wine is installed (Debian packages wine and wine64)");
  // One wineserver for every run: Wine's services then start once.
  const CliRun server = RunProgram(QStringLiteral("wineserver"), {"--persistent"}, kLinuxRunMs);
  QVERIFY2(server.finished && server.status == 0, server.describe());
}

void TestWineCli::cleanupTestCase() { RunProgram(QStringLiteral("wineserver"), {"--kill"}, kLinuxRunMs); }

void TestWineCli::sameReportsAsLinux() {
  const vorlane::ParamBlock tuned = Block(20, 9);
  VirtualStickProcess stick({"--params", Hex(tuned), "--name", "Wine Stick"});
  QVERIFY2(stick.plug(), qPrintable(stick.error()));

  // A file with other values for restore.
  const QString other = dir_.filePath("other.json");
  {
    QFile file(other);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::fromStdString(vorlane::cli::ParamFileText({"test", "Other", "2026-01-01T00:00:00Z", true, Block(40, 8)})));
  }

  // The same commands from the same stick state, on each platform.
  const QStringList names{"list", "read", "backup", "restore", "defaults"};
  std::map<QString, std::map<QString, Step>> steps;
  for (const QString& platform : {QStringLiteral("linux"), QStringLiteral("windows")}) {
    const bool windows = platform == "windows";
    const auto path = [&](const QString& name) {
      const QString file = dir_.filePath(platform + "-" + name);
      return windows ? WinPath(file) : file;
    };
    const std::map<QString, QStringList> arguments{
        {"list", {"list"}},
        {"read", {"read"}},
        {"backup", {"backup", path("backup.json")}},
        {"restore", {"restore", windows ? WinPath(other) : other}},
        {"defaults", {"defaults", "--backup", path("defaults.json")}},
    };
    for (const QString& name : names) {
      const qsizetype before = stick.written().size();
      Step step;
      step.run = windows ? Windows(arguments.at(name)) : Linux(arguments.at(name));
      step.reports = stick.written().mid(before);
      QVERIFY2(step.run.finished && step.run.status == 0,
               qPrintable(platform + " " + name + ": " + step.run.describe()));
      steps[platform][name] = step;
    }
    // Back to the first state for the other platform.
    const CliRun reset = Linux({"restore", dir_.filePath("linux-backup.json")});
    QVERIFY2(reset.finished && reset.status == 0, reset.describe());
  }

  for (const QString& name : names) {
    const Step& linux = steps["linux"][name];
    const Step& windows = steps["windows"][name];
    QVERIFY2(linux.reports == windows.reports,
             qPrintable(QStringLiteral("%1: Linux sent %2 reports, Windows %3")
                            .arg(name).arg(linux.reports.size()).arg(windows.reports.size())));
  }
  QCOMPARE(steps["linux"]["read"].reports.size(), 2);
  QCOMPARE(steps["linux"]["restore"].reports.size(), 5);
  QCOMPARE(steps["linux"]["defaults"].reports.size(), 5);
  QCOMPARE(steps["linux"]["restore"].reports.at(2).left(30), steps["windows"]["restore"].reports.at(2).left(30));

  // The Windows device layer found the stick by its class, ids, name and feature length.
  const QString list = steps["windows"]["list"].run.out;
  QVERIFY2(list.contains("    vendor 0x11C0, product 0x5606, class {745A17A0-74D3-11D0-B6FE-00A0C90F57DA}\n"
                         "    the stick: \"Wine Stick\", read-write, feature report 128 bytes\n"),
           qPrintable(list));
  // Both show and save the same.
  for (const QString& name : {QStringLiteral("read"), QStringLiteral("restore"), QStringLiteral("defaults")}) {
    QCOMPARE(WithoutStickLine(steps["windows"][name].run.out).replace("Z:", "").replace("windows-", "linux-"),
             WithoutStickLine(steps["linux"][name].run.out));
  }
  for (const QString& name : {QStringLiteral("backup"), QStringLiteral("defaults")}) {
    QFile linuxFile(dir_.filePath("linux-" + name + ".json"));
    QFile windowsFile(dir_.filePath("windows-" + name + ".json"));
    QVERIFY(linuxFile.open(QIODevice::ReadOnly) && windowsFile.open(QIODevice::ReadOnly));
    const vorlane::cli::ParamFile a = vorlane::cli::ParseParamFile(linuxFile.readAll().toStdString());
    const vorlane::cli::ParamFile b = vorlane::cli::ParseParamFile(windowsFile.readAll().toStdString());
    QCOMPARE(b.record.raw, a.record.raw);
    QCOMPARE(b.record.stick, std::string("Wine Stick"));
    QCOMPARE(b.record.calibrated, a.record.calibrated);
    QCOMPARE(b.block, a.block);
  }

  // A pulled stick: "no stick".
  QVERIFY2(stick.pull(), qPrintable(stick.error()));
  const CliRun pulled = Windows({"read"});
  QVERIFY2(pulled.finished && pulled.status == 3, pulled.describe());
  QVERIFY2(pulled.err.contains("vorlane-cli: no stick is plugged in"), pulled.describe());
  const CliRun linuxPulled = Linux({"read"});
  QCOMPARE(linuxPulled.status, 3);
}

QTEST_GUILESS_MAIN(TestWineCli)
#include "tst_wine_cli.moc"
