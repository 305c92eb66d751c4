// The commands of vorlane-cli over a simulated backend: what each one sends, what it
// prints, what it writes to disk, and that bad input and failures send nothing more
// and give their exit codes.
#include <QTemporaryDir>
#include <QTest>

#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "commands.h"
#include "param_file.h"
#include "param_files_io.h"
#include "sim_backend.h"
#include "stick_identity.h"
#include "stick_model.h"
#include "test_reports.h"

using namespace vorlane;
using namespace vorlane::cli;

namespace {

constexpr std::uint16_t kFeatureLength = 128;

using Commands = std::vector<std::uint16_t>;

SimDevice StickDevice(const ParamBlock& params, std::u16string name = u"Sim Stick") {
  SimDevice device;
  device.attributes = {kStickVendorId, kStickProductId, 0x0100};
  device.featureReportByteLength = kFeatureLength;
  device.productString = std::move(name);
  device.stick = std::make_shared<StickModel>(params);
  return device;
}

SimDevice OtherDevice() {
  SimDevice device;
  device.attributes = {0x1234, 0x0001, 0x0100};
  device.featureReportByteLength = 64;
  device.productString = u"Keyboard";
  return device;
}

// One run of commands against a simulated system.
struct Rig {
  SimBackend backend;
  std::ostringstream out;
  std::ostringstream err;
  std::string devicePath;

  CommandContext Context() {
    return {backend, out, err, "vorlane-cli 0.0.test", devicePath, false,
            [] { return std::string("2026-01-02T03:04:05Z"); }, [](int) {}};
  }
  int Run(const std::function<ExitCode(const CommandContext&)>& command) {
    const CommandContext context = Context();
    return RunCommand(err, [&] { return command(context); });
  }
  QString Out() const { return QString::fromStdString(out.str()); }
  QString Err() const { return QString::fromStdString(err.str()); }
};

const ParamBlock kTuned = RisingBlock(12, 30, 9);

std::string FileIn(const QTemporaryDir& dir, const char* name) {
  return dir.filePath(QString::fromLatin1(name)).toStdString();
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

}  // namespace

class CliCommandsTest : public QObject {
  Q_OBJECT

 private slots:
  void readShowsTheGrid();
  void readJsonIsAParameterFile();
  void readShowsHowTheWindowBringsValuesIntoItsBoxes();
  void backupAndRestoreMoveASetupToAnotherStick();
  void restoreDryRunWritesNothing();
  void restoreOfTheSameValuesWritesNothing();
  void setChangesOnlyWhatIsNamed();
  void writeNotConfirmed();
  void defaultsWithBackup();
  void refusals_data();
  void refusals();
  void listTellsTheStickAndOpensNothingElse();
  void deviceChoosesAmongSeveralSticks();
  void backupNeverReplacesAFileUnasked();
};

void CliCommandsTest::readShowsTheGrid() {
  Rig rig;
  const std::string path = rig.backend.Plug(StickDevice(kTuned));
  QCOMPARE(rig.Run([](const CommandContext& c) { return ReadCommand(c, false); }), 0);
  const QString expected = QString::fromStdString(
      "stick: Sim Stick (" + path + ")\n"
      "calibrated: yes\n"
      "axis           deadzone-start  deadzone-end  resolution\n"
      "x                         1.2           3.0           9\n"
      "y                         1.3           3.1           9\n"
      "twist                     1.4           3.2           9\n"
      "slot3                     1.5           3.3           9\n"
      "throttle                  1.6           3.4           9\n"
      "rudder                    1.7           3.5           9\n"
      "left-brake                1.8           3.6           9\n"
      "right-brake               1.9           3.7           9\n");
  QCOMPARE(rig.Out(), expected);
  QCOMPARE(rig.Err(), QString());
  // Pre-command and read, nothing else.
  QCOMPARE(rig.backend.Device(path).stick->ReceivedCommands(), (Commands{CMD_PRE, CMD_READ_PARAMS}));
  QCOMPARE(rig.backend.Device(path).stick->Received().front().size(), std::size_t(kFeatureLength));
}

void CliCommandsTest::readJsonIsAParameterFile() {
  Rig rig;
  const std::string path = rig.backend.Plug(StickDevice(kTuned));
  rig.backend.Device(path).stick->SetCalibrated(false);
  QCOMPARE(rig.Run([](const CommandContext& c) { return ReadCommand(c, true); }), 0);
  const ParamFile file = ParseParamFile(rig.out.str());
  QCOMPARE(file.record.raw, kTuned);
  QCOMPARE(file.block, kTuned);
  QCOMPARE(file.record.stick, std::string("Sim Stick"));
  QCOMPARE(file.record.program, std::string("vorlane-cli 0.0.test"));
  QCOMPARE(file.record.date, std::string("2026-01-02T03:04:05Z"));
  QCOMPARE(file.record.calibrated, false);
}

void CliCommandsTest::readShowsHowTheWindowBringsValuesIntoItsBoxes() {
  Rig rig;
  ParamBlock odd = kTuned;
  odd[ParamBlockIndex(0, ParamKind::DeadZoneStart)] = 255;
  odd[ParamBlockIndex(2, ParamKind::Resolution)] = 0;
  rig.backend.Plug(StickDevice(odd));
  QCOMPARE(rig.Run([](const CommandContext& c) { return ReadCommand(c, false); }), 0);
  QVERIFY2(rig.Out().contains("x                        25.0           3.0           9\n"), qPrintable(rig.Out()));
  QVERIFY(rig.Out().contains("twist                     1.4           3.2           8\n"));
  QVERIFY(rig.Out().contains("note: the stick holds 25.5 for x.deadzone-start, outside 0.0..25.0; "
                             "shown and saved as 25.0\n"));
  QVERIFY(rig.Out().contains("note: the stick holds 0 for twist.resolution, outside 8..10; shown and saved as 8\n"));
}

void CliCommandsTest::backupAndRestoreMoveASetupToAnotherStick() {
  QTemporaryDir dir;
  const std::string file = FileIn(dir, "tuned.json");
  {
    Rig first;
    first.backend.Plug(StickDevice(kTuned, u"First"));
    QCOMPARE(first.Run([&](const CommandContext& c) { return BackupCommand(c, file, false); }), 0);
    QVERIFY2(first.Out().endsWith(QString::fromStdString("saved its parameters to " + file + "\n")),
             qPrintable(first.Out()));
  }
  QVERIFY(!QFile::exists(QString::fromStdString(file + ".part")));

  Rig second;
  const std::string path = second.backend.Plug(StickDevice(StickModel::FactoryBlock(), u"Second"));
  QCOMPARE(second.Run([&](const CommandContext& c) { return RestoreCommand(c, file, false); }), 0);
  StickModel& stick = *second.backend.Device(path).stick;
  QCOMPARE(stick.Params(), kTuned);
  QCOMPARE(stick.ReceivedCommands(),
           (Commands{CMD_PRE, CMD_READ_PARAMS, CMD_WRITE_PARAMS, CMD_PRE, CMD_READ_PARAMS}));
  // The write carries the block exactly as the window composes it.
  std::vector<std::uint8_t> expected(kFeatureLength);
  ComposeWriteParams(expected, kTuned);
  QCOMPARE(HexBytes(stick.Received()[2]), HexBytes(expected));
  const QString out = second.Out();
  QVERIFY2(out.contains("restoring " + QString::fromStdString(file) + " (from \"First\", 2026-01-02T03:04:05Z)\n"),
           qPrintable(out));
  QVERIFY(out.contains("changing:\n  x.deadzone-start: 0.5 -> 1.2\n"));
  QVERIFY(out.contains("  right-brake.resolution: 10 -> 9\n"));
  QVERIFY(out.endsWith("written; reading back confirms the new values\n"));
}

void CliCommandsTest::restoreDryRunWritesNothing() {
  QTemporaryDir dir;
  const std::string file = FileIn(dir, "p.json");
  WriteFile(file, ParamFileText({"p", "s", "d", true, kTuned}));
  Rig rig;
  const std::string path = rig.backend.Plug(StickDevice(StickModel::FactoryBlock()));
  QCOMPARE(rig.Run([&](const CommandContext& c) { return RestoreCommand(c, file, true); }), 0);
  QCOMPARE(rig.backend.Device(path).stick->ReceivedCommands(), (Commands{CMD_PRE, CMD_READ_PARAMS}));
  QCOMPARE(rig.backend.Device(path).stick->Params(), StickModel::FactoryBlock());
  QVERIFY(rig.Out().contains("would change:\n  x.deadzone-start: 0.5 -> 1.2\n"));
  QVERIFY(rig.Out().endsWith("dry run: nothing was written\n"));
}

void CliCommandsTest::restoreOfTheSameValuesWritesNothing() {
  QTemporaryDir dir;
  const std::string file = FileIn(dir, "p.json");
  WriteFile(file, ParamFileText({"p", "s", "d", true, kTuned}));
  Rig rig;
  const std::string path = rig.backend.Plug(StickDevice(kTuned));
  QCOMPARE(rig.Run([&](const CommandContext& c) { return RestoreCommand(c, file, false); }), 0);
  QCOMPARE(rig.backend.Device(path).stick->ReceivedCommands(), (Commands{CMD_PRE, CMD_READ_PARAMS}));
  QVERIFY(rig.Out().endsWith("the stick holds these values already; nothing was written\n"));
}

void CliCommandsTest::setChangesOnlyWhatIsNamed() {
  Rig rig;
  ParamBlock odd = kTuned;
  odd[ParamBlockIndex(5, ParamKind::DeadZoneEnd)] = 251;  // the window saves it as 25.0
  const std::string path = rig.backend.Plug(StickDevice(odd));
  QCOMPARE(rig.Run([](const CommandContext& c) {
             return SetCommand(c, {"x.deadzone-start=2.5", "throttle.resolution=10"}, false);
           }),
           0);
  ParamBlock expected = kTuned;
  expected[ParamBlockIndex(0, ParamKind::DeadZoneStart)] = 25;
  expected[ParamBlockIndex(4, ParamKind::Resolution)] = 10;
  expected[ParamBlockIndex(5, ParamKind::DeadZoneEnd)] = 250;
  QCOMPARE(rig.backend.Device(path).stick->Params(), expected);
  // Every byte that changes is shown, the one the window brings into its box too.
  QCOMPARE(rig.Out().count("\n  "), 3);
  QVERIFY(rig.Out().contains("  x.deadzone-start: 1.2 -> 2.5\n"));
  QVERIFY(rig.Out().contains("  rudder.deadzone-end: 25.1 (outside 0.0..25.0) -> 25.0\n"));
  QVERIFY(rig.Out().contains("  throttle.resolution: 9 -> 10\n"));
}

void CliCommandsTest::writeNotConfirmed() {
  Rig rig;
  const std::string path = rig.backend.Plug(StickDevice(kTuned));
  // A stick that takes the write but keeps its old values.
  StickModel* stick = rig.backend.Device(path).stick.get();
  rig.backend.Device(path).beforeGet = [stick] { stick->SetParams(kTuned); };
  QCOMPARE(rig.Run([](const CommandContext& c) { return SetCommand(c, {"y.deadzone-end=9.9"}, false); }),
           int(ExitCode::NotConfirmed));
  QVERIFY2(rig.Err().contains("vorlane-cli: the stick does not hold what was written; reading back gives:\n"
                              "  y.deadzone-end: written 9.9, read back 3.1\n"),
           qPrintable(rig.Err()));
  QVERIFY(!rig.Out().contains("confirms"));
}

void CliCommandsTest::defaultsWithBackup() {
  QTemporaryDir dir;
  const std::string file = FileIn(dir, "before-defaults.json");
  Rig rig;
  const std::string path = rig.backend.Plug(StickDevice(kTuned));
  QCOMPARE(rig.Run([&](const CommandContext& c) { return DefaultsCommand(c, file, false); }), 0);
  StickModel& stick = *rig.backend.Device(path).stick;
  QCOMPARE(stick.Params(), StickModel::FactoryBlock());
  QCOMPARE(stick.ReceivedCommands(),
           (Commands{CMD_PRE, CMD_READ_PARAMS, CMD_LOAD_DEFAULTS, CMD_PRE, CMD_READ_PARAMS}));
  QCOMPARE(ParseParamFile(ReadTextFile(file)).block, kTuned);
  QVERIFY(rig.Out().contains(QString::fromStdString("saved its parameters to " + file + "\n")));
  QVERIFY(rig.Out().contains("loaded the defaults; changed:\n  x.deadzone-start: 1.2 -> 0.5\n"));
}

void CliCommandsTest::refusals_data() {
  QTest::addColumn<int>("setup");
  QTest::addColumn<int>("command");
  QTest::addColumn<int>("code");
  QTest::addColumn<QString>("message");
  QTest::addColumn<int>("reportsSent");
  // setup: 0 a good stick, 1 no device, 2 only another device, 3 no access, 4 reads
  // fail, 5 no feature length, 6 two sticks, 7 writes fail, 8 a short answer
  // command: 0 read, 1 set x.resolution=10, 2 set with a bad value, 3 restore of a
  // broken file, 4 restore of a missing file, 5 defaults with an unwritable backup,
  // 6 backup into a missing folder, 7 restore of another version's file
  const int bad = int(ExitCode::BadInput);
  QTest::newRow("no device") << 1 << 0 << int(ExitCode::NoStick) << "vorlane-cli: no stick is plugged in\n" << 0;
  QTest::newRow("other device only") << 2 << 1 << int(ExitCode::NoStick) << "no stick is plugged in" << 0;
  QTest::newRow("no access") << 3 << 0 << int(ExitCode::NoAccess) << "no access to the stick sim:" << 0;
  QTest::newRow("read fails") << 4 << 0 << int(ExitCode::TransferFailed) << "vorlane-cli: answer: " << 2;
  QTest::newRow("set, read fails") << 4 << 1 << int(ExitCode::TransferFailed) << "answer: " << 2;
  QTest::newRow("short answer") << 8 << 0 << int(ExitCode::TransferFailed) << "a complete answer has 30" << 2;
  QTest::newRow("no feature length") << 5 << 0 << int(ExitCode::TransferFailed)
                                     << "tells no feature report length; nothing was sent" << 0;
  QTest::newRow("two sticks") << 6 << 0 << bad << "2 sticks are plugged in; choose one with --device PATH (sim:hid/1, sim:hid/2)" << 0;
  QTest::newRow("write fails") << 7 << 1 << int(ExitCode::TransferFailed) << "vorlane-cli: write: " << 2;
  QTest::newRow("bad value") << 0 << 2 << bad << "vorlane-cli: 'x.resolution=13': x.resolution takes values from 8..12\n" << 0;
  QTest::newRow("broken file") << 0 << 3 << bad << "broken.json: not a JSON document" << 0;
  QTest::newRow("missing file") << 0 << 4 << bad << "cannot read" << 0;
  QTest::newRow("other version") << 0 << 7 << bad << "a parameter file of version 2" << 0;
  QTest::newRow("backup not writable") << 0 << 6 << bad << "cannot write" << 2;
  QTest::newRow("defaults, backup not writable") << 0 << 5 << bad << "cannot write" << 2;
}

void CliCommandsTest::refusals() {
  QFETCH(int, setup);
  QFETCH(int, command);
  QFETCH(int, code);
  QFETCH(QString, message);
  QFETCH(int, reportsSent);

  QTemporaryDir dir;
  Rig rig;
  std::vector<std::string> sticks;
  if (setup != 1 && setup != 2) sticks.push_back(rig.backend.Plug(StickDevice(kTuned)));
  if (setup == 2) rig.backend.Plug(OtherDevice());
  if (setup == 6) sticks.push_back(rig.backend.Plug(StickDevice(kTuned)));
  for (const std::string& path : sticks) {
    SimDevice& device = rig.backend.Device(path);
    device.readWrite = setup != 3;
    device.stick->SetFailReads(setup == 4);
    if (setup == 5) device.featureReportByteLength = 0;
    // The sets fail from the first answer on: the write after a good read.
    if (setup == 7) device.beforeGet = [&device] { device.failSets = true; };
    if (setup == 8) device.answerBytes = 20;
  }
  const std::string broken = FileIn(dir, "broken.json");
  WriteFile(broken, "{\"format\": \"vorlane-parameters\",");
  const std::string otherVersion = FileIn(dir, "v2.json");
  std::string text = ParamFileText({"p", "s", "d", true, kTuned});
  text.replace(text.find("\"version\": 1"), 12, "\"version\": 2");
  WriteFile(otherVersion, text);
  const std::string unwritable = FileIn(dir, "no-such-folder/b.json");

  const int status = rig.Run([&](const CommandContext& c) {
    switch (command) {
      case 0: return ReadCommand(c, false);
      case 1: return SetCommand(c, {"x.resolution=10"}, false);
      case 2: return SetCommand(c, {"x.resolution=9", "x.resolution=13"}, false);
      case 3: return RestoreCommand(c, broken, false);
      case 4: return RestoreCommand(c, FileIn(dir, "missing.json"), false);
      case 5: return DefaultsCommand(c, unwritable, false);
      case 6: return BackupCommand(c, unwritable, false);
      default: return RestoreCommand(c, otherVersion, false);
    }
  });
  QCOMPARE(status, code);
  QVERIFY2(rig.Err().contains(message), qPrintable(rig.Err()));
  QCOMPARE(rig.Err().count(QLatin1Char('\n')), 1);
  int sent = 0;
  for (const std::string& path : sticks) {
    const StickModel& stick = *rig.backend.Device(path).stick;
    sent += int(stick.Received().size());
    // Whatever went wrong, the parameters were not touched.
    QCOMPARE(stick.Params(), kTuned);
  }
  QCOMPARE(sent, reportsSent);
  QVERIFY(!QFile::exists(QString::fromStdString(unwritable)));
}

void CliCommandsTest::listTellsTheStickAndOpensNothingElse() {
  Rig rig;
  const std::string other = rig.backend.Plug(OtherDevice());
  const std::string stick = rig.backend.Plug(StickDevice(kTuned));
  QCOMPARE(rig.Run([](const CommandContext& c) { return ListCommand(c); }), 0);
  const QString expected = QString::fromStdString(
      other + "\n    vendor 0x1234, product 0x0001, class {745A17A0-74D3-11D0-B6FE-00A0C90F57DA}\n" +
      stick + "\n    vendor 0x11C0, product 0x5606, class {745A17A0-74D3-11D0-B6FE-00A0C90F57DA}\n" +
      "    the stick: \"Sim Stick\", read-write, feature report 128 bytes\n");
  QCOMPARE(rig.Out(), expected);
  QCOMPARE(rig.backend.OpenCount(other), 0);
  QVERIFY(rig.backend.Device(stick).stick->Received().empty());

  rig.backend.Device(stick).readWrite = false;
  rig.out.str({});
  QCOMPARE(rig.Run([](const CommandContext& c) { return ListCommand(c); }), 0);
  QVERIFY(rig.Out().contains("the stick: \"Sim Stick\", no access (may not be opened read-write)"));

  rig.backend.Pull(stick);
  rig.out.str({});
  QCOMPARE(rig.Run([](const CommandContext& c) { return ListCommand(c); }), int(ExitCode::NoStick));
  QVERIFY(rig.Out().endsWith("no stick is plugged in\n"));
}

void CliCommandsTest::deviceChoosesAmongSeveralSticks() {
  Rig rig;
  const std::string first = rig.backend.Plug(StickDevice(kTuned));
  const std::string other = rig.backend.Plug(OtherDevice());
  const std::string second = rig.backend.Plug(StickDevice(kTuned));
  rig.devicePath = second;
  QCOMPARE(rig.Run([](const CommandContext& c) { return SetCommand(c, {"y.resolution=12"}, false); }), 0);
  QCOMPARE(int(rig.backend.Device(second).stick->Params()[ParamBlockIndex(1, ParamKind::Resolution)]), 12);
  QVERIFY(rig.backend.Device(first).stick->Received().empty());

  rig.devicePath = other;
  QCOMPARE(rig.Run([](const CommandContext& c) { return ReadCommand(c, false); }), int(ExitCode::BadInput));
  QVERIFY(rig.Err().contains(QString::fromStdString(other + " is not the stick")));
  QCOMPARE(rig.backend.OpenCount(other), 0);

  rig.backend.Pull(second);
  rig.devicePath = second;
  QCOMPARE(rig.Run([](const CommandContext& c) { return ReadCommand(c, false); }), int(ExitCode::NoStick));
  QVERIFY(rig.backend.Device(first).stick->Received().empty());
}

void CliCommandsTest::backupNeverReplacesAFileUnasked() {
  QTemporaryDir dir;
  const std::string file = FileIn(dir, "keep.json");
  WriteFile(file, "an older backup");
  Rig rig;
  const std::string path = rig.backend.Plug(StickDevice(kTuned));
  QCOMPARE(rig.Run([&](const CommandContext& c) { return BackupCommand(c, file, false); }), int(ExitCode::BadInput));
  QVERIFY(rig.Err().contains("exists already; give --force to replace it"));
  QCOMPARE(ReadTextFile(file), std::string("an older backup"));
  // Nor does defaults go on without its backup.
  QCOMPARE(rig.Run([&](const CommandContext& c) { return DefaultsCommand(c, file, false); }), int(ExitCode::BadInput));
  QCOMPARE(rig.backend.Device(path).stick->Params(), kTuned);
  QVERIFY(!std::ranges::count(rig.backend.Device(path).stick->ReceivedCommands(), CMD_LOAD_DEFAULTS));

  QCOMPARE(rig.Run([&](const CommandContext& c) { return BackupCommand(c, file, true); }), 0);
  QCOMPARE(ParseParamFile(ReadTextFile(file)).block, kTuned);
}

QTEST_APPLESS_MAIN(CliCommandsTest)
#include "tst_cli_commands.moc"
