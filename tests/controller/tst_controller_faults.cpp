// The controller when the system misleads it: a scan that fails, a device pulled and
// plugged again under its old path between two scans, and a device announced anew
// after its open gave no way to transfer.
#include <QCoreApplication>
#include <QRegularExpression>
#include <QTest>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "config_report.h"
#include "hid_controller.h"
#include "sim_backend.h"
#include "test_reports.h"

using namespace vorlane;

namespace {

constexpr std::uint16_t kFeatureLength = 64;

SimDevice Tagged(int tag) {
  SimDevice device;
  device.attributes = {0x7A11, static_cast<std::uint16_t>(tag), 0x0100};
  device.featureReportByteLength = kFeatureLength;
  device.stick = std::make_shared<StickModel>();
  return device;
}

int TagOf(const HidDevice* device) { return device->Attributes().ProductID; }

// A controller over simulated devices 1..count, its events logged as "change" and
// "unplug <tag>"; an unplugged device is checked in when checkInOnUnplug is set.
struct Rig {
  SimBackend* sim = nullptr;
  std::map<int, std::string> paths;
  QStringList log;
  bool checkInOnUnplug = true;
  std::unique_ptr<HidController> controller;

  explicit Rig(int count) {
    auto backend = std::make_unique<SimBackend>();
    sim = backend.get();
    for (int tag = 1; tag <= count; ++tag) paths[tag] = sim->Plug(Tagged(tag));
    controller = std::make_unique<HidController>(std::move(backend));
    controller->OnDeviceChange = [this] { log << QStringLiteral("change"); };
    controller->OnDeviceUnplug = [this](HidDevice* device) {
      log << QStringLiteral("unplug %1").arg(TagOf(device));
      if (checkInOnUnplug) controller->CheckIn(device);
    };
    QCoreApplication::processEvents();
    log.clear();
  }

  // The present device with this tag, checked out; null when it is not free.
  HidDevice* Take(int tag) {
    HidDevice* taken = nullptr;
    controller->OnEnumerate = [&](HidDevice* device, int index) {
      if (TagOf(device) != tag) return true;
      controller->CheckOutByIndex(taken, index);
      return false;
    };
    controller->Enumerate();
    controller->OnEnumerate = nullptr;
    return taken;
  }

  // Sends a read request through the device and says whether the stick got it.
  bool Reaches(HidDevice* device, int tag) {
    StickModel& stick = *sim->Device(paths.at(tag)).stick;
    const std::size_t before = stick.Received().size();
    std::vector<std::uint8_t> report = ReadRequestReport(kFeatureLength);
    return device->SetFeature(report.data(), kFeatureLength).ok && stick.Received().size() == before + 1;
  }
};

}  // namespace

class ControllerFaultsTest : public QObject {
  Q_OBJECT

 private slots:
  // A failed scan is no news: nothing is reported gone, the device in use stays open.
  void failedScanKeepsTheList() {
    Rig rig(3);
    HidDevice* held = rig.Take(1);
    QVERIFY(held && held->HasReadWriteAccess());
    rig.sim->FailScans(true);

    QTest::ignoreMessage(QtWarningMsg, "the HID devices could not be listed; the last list is kept");
    rig.sim->Pull(rig.paths[2]);
    QCOMPARE(rig.log, QStringList{});
    QCOMPARE(rig.controller->Count(), 3);
    QVERIFY(rig.sim->IsOpen(rig.paths[1]));
    QVERIFY(rig.Reaches(held, 1));

    rig.sim->FailScans(false);
    rig.sim->Notify();
    QCOMPARE(rig.log, (QStringList{"unplug 2", "change"}));
    QCOMPARE(rig.controller->Count(), 2);
    QVERIFY(rig.Reaches(held, 1));
  }

  // The first change is raised by the first scan that succeeds.
  void firstChangeWaitsForAScanThatWorks() {
    auto backend = std::make_unique<SimBackend>();
    SimBackend* sim = backend.get();
    sim->Plug(Tagged(1));
    sim->FailScans(true);
    HidController controller(std::move(backend));
    int changes = 0;
    controller.OnDeviceChange = [&changes] { ++changes; };
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("could not be listed"));
    QCoreApplication::processEvents();
    QCOMPARE(changes, 0);
    QCOMPARE(controller.Count(), 0);

    sim->FailScans(false);
    sim->Notify();
    QCOMPARE(changes, 1);
    QCOMPARE(controller.Count(), 1);
  }

  void replugUnderTheSamePathInOneNotification_data() {
    QTest::addColumn<bool>("held");
    QTest::addColumn<bool>("checkInOnUnplug");
    QTest::addColumn<int>("count");
    QTest::newRow("held, given back when reported") << true << true << 2;
    QTest::newRow("held, kept when reported") << true << false << 3;
    QTest::newRow("free") << false << true << 2;
  }

  // A pull and a replug under the same path that one notification reports: the old
  // device is reported gone and closed, the replugged one is new and works.
  void replugUnderTheSamePathInOneNotification() {
    QFETCH(bool, held);
    QFETCH(bool, checkInOnUnplug);
    QFETCH(int, count);
    Rig rig(2);
    rig.checkInOnUnplug = checkInOnUnplug;
    HidDevice* old = held ? rig.Take(1) : nullptr;
    if (held) QVERIFY(rig.Reaches(old, 1));

    rig.sim->Pull(rig.paths[1], Announce::Later);
    rig.sim->Replug(rig.paths[1], Announce::Later);
    rig.sim->Notify();

    QCOMPARE(rig.log, (QStringList{"unplug 1", "change"}));
    QCOMPARE(rig.controller->Count(), count);
    QVERIFY(!rig.sim->IsOpen(rig.paths[1]));
    if (held && !checkInOnUnplug) QVERIFY(!rig.Reaches(old, 1));
    HidDevice* fresh = rig.Take(1);
    QVERIFY(fresh);
    QVERIFY(rig.Reaches(fresh, 1));
  }

  void deviceAnnouncedAgain_data() {
    QTest::addColumn<QString>("state");
    QTest::addColumn<QStringList>("events");
    QTest::newRow("held, opened without access rights") << "no access" << QStringList{"unplug 1", "change"};
    QTest::newRow("held, could not be opened") << "unopenable" << QStringList{"unplug 1", "change"};
    QTest::newRow("held, opened read-write") << "open" << QStringList{};
    QTest::newRow("held, not opened yet") << "held" << QStringList{};
    QTest::newRow("free") << "free" << QStringList{};
  }

  // Announced again (its access rights changed, say): a held device whose open gave no
  // way to transfer is offered anew and opens afresh; any other is left alone.
  void deviceAnnouncedAgain() {
    QFETCH(QString, state);
    QFETCH(QStringList, events);
    Rig rig(2);
    SimDevice& simulated = rig.sim->Device(rig.paths[1]);
    simulated.readWrite = state != "no access";
    simulated.openable = state != "unopenable";
    HidDevice* device = state == "free" ? nullptr : rig.Take(1);
    if (state != "free" && state != "held") {
      QCOMPARE(device->HasReadWriteAccess(), state == "open");
    }
    const int opens = rig.sim->OpenCount(rig.paths[1]);
    simulated.readWrite = true;
    simulated.openable = true;

    rig.sim->Reannounce(rig.paths[1]);
    QCOMPARE(rig.log, events);
    QCOMPARE(rig.controller->Count(), 2);
    if (events.isEmpty()) {
      QCOMPARE(rig.sim->IsOpen(rig.paths[1]), state == "open");
      QCOMPARE(rig.sim->OpenCount(rig.paths[1]), opens);
      // Announced again with nothing to mend: still nothing.
      rig.sim->Reannounce(rig.paths[1]);
      QCOMPARE(rig.log, QStringList{});
      return;
    }
    HidDevice* again = rig.Take(1);
    QVERIFY(again);
    QVERIFY(again->HasReadWriteAccess());
    QVERIFY(rig.Reaches(again, 1));
  }
};

QTEST_GUILESS_MAIN(ControllerFaultsTest)
#include "tst_controller_faults.moc"
