// The vorlane-cli program against virtual sticks that the kernel presents through uhid
// and hidraw: what each command sends, what it leaves on the stick, and its exit codes.
// Runs as root in the test machine.
#include <sys/types.h>
#include <unistd.h>

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <array>
#include <vector>

#include "cli_process.h"
#include "config_report.h"
#include "stick_model.h"
#include "virtual_stick_process.h"

namespace {

constexpr int kRunMs = 30000;
constexpr int kLength = 128;  // the virtual stick's feature length, its id byte included

CliRun Cli(const QStringList& arguments, const std::function<void()>& childSetup = {}) {
  return RunProgram(QStringLiteral(VORLANE_CLI_PATH), arguments, kRunMs, childSetup);
}

QString Hex(const vorlane::ParamBlock& block) {
  return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(block.data()), block.size()).toHex());
}

vorlane::ParamBlock Tuned() {
  vorlane::ParamBlock block{};
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<std::uint8_t>(i < 16 ? 20 + i : 9);
  return block;
}

QByteArray Report(const std::function<void(std::span<std::uint8_t>)>& compose) {
  std::array<std::uint8_t, kLength> report{};
  compose(report);
  return QByteArray(reinterpret_cast<const char*>(report.data()), kLength);
}

QByteArray Pre() { return Report([](auto r) { vorlane::ComposeShortCommand(r, vorlane::CMD_PRE, vorlane::CMD_GROUP); }); }
QByteArray ReadRequest() { return Report([](auto r) { vorlane::ComposeReadRequest(r); }); }
QByteArray Write(const vorlane::ParamBlock& block) {
  return Report([&](auto r) { vorlane::ComposeWriteParams(r, block); });
}

// The block of the stick's last answer.
QByteArray LastBlock(const VirtualStickProcess& stick) {
  const QList<QByteArray> answers = stick.answered();
  return answers.isEmpty() ? QByteArray() : answers.last().mid(vorlane::kParamBlockOffset, vorlane::kParamBlockSize);
}

QByteArray Bytes(const vorlane::ParamBlock& block) {
  return QByteArray(reinterpret_cast<const char*>(block.data()), block.size());
}

// The sysfs path that list and --device use for the stick's hidraw node.
QString DevicePath(const VirtualStickProcess& stick) {
  return QFileInfo(QStringLiteral("/sys/class/hidraw/") + QFileInfo(stick.node()).fileName()).canonicalFilePath();
}

}  // namespace

class TestE2eCli : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void listAndRead();
  void backupAndRestoreMoveASetupToASecondStick();
  void setAndDefaults();
  void failures_data();
  void failures();
};

void TestE2eCli::initTestCase() {
  QVERIFY2(geteuid() == 0, "runs as root, in the test machine (tests/e2e/run_in_vm.py)");
  QVERIFY2(QFileInfo(QStringLiteral(VORLANE_CLI_PATH)).isExecutable(), VORLANE_CLI_PATH);
}

void TestE2eCli::listAndRead() {
  VirtualStickProcess other({"--vendor", "0x1234", "--product", "0x0001", "--name", "Other Device"});
  QVERIFY2(other.plug(), qPrintable(other.error()));
  VirtualStickProcess stick({"--params", Hex(Tuned()), "--not-calibrated"});
  QVERIFY2(stick.plug(), qPrintable(stick.error()));

  const CliRun list = Cli({"list"});
  QVERIFY2(list.finished && list.status == 0, list.describe());
  QVERIFY2(list.out.contains(DevicePath(stick) + "\n    vendor 0x11C0, product 0x5606, class "
                             "{745A17A0-74D3-11D0-B6FE-00A0C90F57DA}\n    the stick: \"" + stick.name() +
                             "\", read-write, feature report 128 bytes\n"),
           list.describe());
  QVERIFY2(list.out.contains(DevicePath(other) + "\n    vendor 0x1234, product 0x0001"), list.describe());
  QCOMPARE(other.openCount(), 0);
  QVERIFY(stick.written().isEmpty());

  const CliRun read = Cli({"read"});
  QVERIFY2(read.finished && read.status == 0, read.describe());
  QVERIFY2(read.out.startsWith("stick: " + stick.name() + " (" + DevicePath(stick) + ")\ncalibrated: no\n"),
           read.describe());
  QVERIFY2(read.out.contains("x                         2.0           2.8           9\n"), read.describe());
  QVERIFY2(read.out.contains("right-brake               2.7           3.5           9\n"), read.describe());
  QCOMPARE(stick.written(), (QList<QByteArray>{Pre(), ReadRequest()}));
  QCOMPARE(other.openCount(), 0);
}

void TestE2eCli::backupAndRestoreMoveASetupToASecondStick() {
  QTemporaryDir dir;
  const QString file = dir.filePath("setup.json");
  VirtualStickProcess first({"--params", Hex(Tuned())});
  VirtualStickProcess second;  // factory parameters
  QVERIFY2(first.plug(), qPrintable(first.error()));
  QVERIFY2(second.plug(), qPrintable(second.error()));

  // Two sticks: the command wants to be told which.
  const CliRun unnamed = Cli({"backup", file});
  QCOMPARE(unnamed.status, 2);
  QVERIFY2(unnamed.err.contains("2 sticks are plugged in; choose one with --device PATH"), unnamed.describe());

  const CliRun backup = Cli({"--device", DevicePath(first), "backup", file});
  QVERIFY2(backup.finished && backup.status == 0, backup.describe());
  QVERIFY(second.written().isEmpty());

  const CliRun restore = Cli({"restore", file, "--device", DevicePath(second)});
  QVERIFY2(restore.finished && restore.status == 0, restore.describe());
  QVERIFY2(restore.out.contains("  x.deadzone-start: 0.5 -> 2.0\n"), restore.describe());
  QVERIFY2(restore.out.endsWith("written; reading back confirms the new values\n"), restore.describe());
  QCOMPARE(second.written(), (QList<QByteArray>{Pre(), ReadRequest(), Write(Tuned()), Pre(), ReadRequest()}));
  QCOMPARE(LastBlock(second), Bytes(Tuned()));
  QCOMPARE(first.written(), (QList<QByteArray>{Pre(), ReadRequest()}));
}

void TestE2eCli::setAndDefaults() {
  QTemporaryDir dir;
  const QString file = dir.filePath("before-defaults.json");
  VirtualStickProcess stick({"--params", Hex(Tuned())});
  QVERIFY2(stick.plug(), qPrintable(stick.error()));

  const CliRun set = Cli({"set", "x.deadzone-start=1.5", "throttle.resolution=8"});
  QVERIFY2(set.finished && set.status == 0, set.describe());
  vorlane::ParamBlock expected = Tuned();
  expected[0] = 15;
  expected[vorlane::ParamBlockIndex(4, vorlane::ParamKind::Resolution)] = 8;
  QCOMPARE(stick.written().at(2), Write(expected));
  QCOMPARE(LastBlock(stick), Bytes(expected));

  const CliRun defaults = Cli({"defaults", "--backup", file});
  QVERIFY2(defaults.finished && defaults.status == 0, defaults.describe());
  QVERIFY2(defaults.out.contains("loaded the defaults; changed:\n  x.deadzone-start: 1.5 -> 0.5\n"), defaults.describe());
  QCOMPARE(LastBlock(stick), Bytes(vorlane::StickModel::FactoryBlock()));
  // The saved block goes back on as it was.
  const CliRun restore = Cli({"restore", file});
  QVERIFY2(restore.finished && restore.status == 0, restore.describe());
  QCOMPARE(LastBlock(stick), Bytes(expected));
}

void TestE2eCli::failures_data() {
  QTest::addColumn<QStringList>("stickOptions");
  QTest::addColumn<int>("how");  // 0 as root, 1 as nobody, 2 with the stick pulled first
  QTest::addColumn<QStringList>("arguments");
  QTest::addColumn<int>("status");
  QTest::addColumn<QString>("message");
  QTest::addColumn<int>("reportsSent");
  QTest::newRow("no stick") << QStringList() << 2 << QStringList{"read"} << 3 << "no stick is plugged in" << 0;
  QTest::newRow("no access") << QStringList() << 1 << QStringList{"set", "x.resolution=9"} << 4
                             << "no access to the stick" << 0;
  QTest::newRow("reads fail") << QStringList{"--fail-reads"} << 0 << QStringList{"set", "x.resolution=9"} << 1
                              << "vorlane-cli: answer: " << 2;
  QTest::newRow("value out of range") << QStringList() << 0 << QStringList{"set", "twist.resolution=11"} << 2
                                      << "twist.resolution takes values from 8..10" << 0;
  QTest::newRow("unknown axis") << QStringList() << 0 << QStringList{"set", "z.resolution=9"} << 2
                                << "unknown axis 'z'" << 0;
  QTest::newRow("missing file") << QStringList() << 0 << QStringList{"restore", "/nonexistent.json"} << 2
                                << "cannot read /nonexistent.json" << 0;
}

void TestE2eCli::failures() {
  QFETCH(QStringList, stickOptions);
  QFETCH(int, how);
  QFETCH(QStringList, arguments);
  QFETCH(int, status);
  QFETCH(QString, message);
  QFETCH(int, reportsSent);
  VirtualStickProcess stick(stickOptions);
  QVERIFY2(stick.plug(), qPrintable(stick.error()));
  if (how == 2) QVERIFY2(stick.pull(), qPrintable(stick.error()));
  const auto asNobody = [] {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(125);
  };
  const CliRun run = Cli(arguments, how == 1 ? std::function<void()>(asNobody) : std::function<void()>());
  QVERIFY2(run.finished && run.status == status, run.describe());
  QVERIFY2(run.err.contains(message), run.describe());
  QCOMPARE(run.err.count('\n'), 1);
  QCOMPARE(stick.written().size(), reportsSent);
}

QTEST_GUILESS_MAIN(TestE2eCli)
#include "tst_e2e_cli.moc"
