#include <QCoreApplication>
#include <QTest>

#include <climits>
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
constexpr std::uint8_t kFill = 0xEE;

// Devices are told apart by their product id, which is known without opening them.
SimDevice Tagged(int tag) {
  SimDevice device;
  device.attributes = {0x7A11, static_cast<std::uint16_t>(tag), 0x0100};
  device.featureReportByteLength = kFeatureLength;
  device.productString = u"Device " + QString::number(tag).toStdU16String();
  device.stick = std::make_shared<StickModel>();
  return device;
}

int TagOf(const HidDevice* device) { return device->Attributes().ProductID; }

QString Offer(const HidDevice* device, int index) {
  return QStringLiteral("%1@%2").arg(TagOf(device)).arg(index);
}

// A controller over a simulated system. Devices plugged before the controller is made
// are present from the start. Every event is logged as "change", "unplug <tag>" or
// "offer <tag>@<index>"; the hooks run after the entry is logged.
class Rig {
 public:
  explicit Rig(const QList<int>& tagsAtStart = {}) {
    auto backend = std::make_unique<SimBackend>();
    sim = backend.get();
    for (int tag : tagsAtStart) paths[tag] = sim->Plug(Tagged(tag));
    controller = std::make_unique<HidController>(std::move(backend));
    controller->OnDeviceChange = [this] {
      log << QStringLiteral("change");
      if (afterChange) afterChange();
    };
    controller->OnDeviceUnplug = [this](HidDevice* device) {
      log << QStringLiteral("unplug %1").arg(TagOf(device));
      if (afterUnplug) afterUnplug(device);
    };
    controller->OnEnumerate = [this](HidDevice* device, int index) {
      log << QStringLiteral("offer ") + Offer(device, index);
      return afterOffer ? afterOffer(device, index) : true;
    };
  }

  // The hooks may refer to the test's locals, which are gone by now.
  ~Rig() {
    afterChange = nullptr;
    afterUnplug = nullptr;
    afterOffer = nullptr;
    controller.reset();
  }

  Rig(const Rig&) = delete;
  Rig& operator=(const Rig&) = delete;

  // Runs the re-scan the controller queued and forgets its events.
  void Start() {
    QCoreApplication::processEvents();
    log.clear();
  }

  void Plug(int tag, Announce announce = Announce::Now) {
    paths[tag] = sim->Plug(Tagged(tag), announce);
  }
  void Pull(int tag, Announce announce = Announce::Now) { sim->Pull(paths.at(tag), announce); }
  StickModel& Stick(int tag) { return *sim->Device(paths.at(tag)).stick; }

  // One enumeration pass outside the log: the devices offered, by index.
  std::map<int, HidDevice*> Offered() {
    std::map<int, HidDevice*> offered;
    const auto logging = controller->OnEnumerate;
    controller->OnEnumerate = [&offered](HidDevice* device, int index) {
      offered[index] = device;
      return true;
    };
    controller->Enumerate();
    controller->OnEnumerate = logging;
    return offered;
  }

  // The same pass as "<tag>@<index>" entries.
  QStringList OfferedText() {
    QStringList text;
    for (const auto& [index, device] : Offered()) text << Offer(device, index);
    return text;
  }

  // Checks out the device with this tag into held[tag]; null when refused.
  HidDevice* Hold(int tag) {
    for (const auto& [index, device] : Offered()) {
      if (TagOf(device) == tag) {
        controller->CheckOutByIndex(held[tag], index);
        return held[tag];
      }
    }
    return nullptr;
  }

  SimBackend* sim = nullptr;
  std::map<int, std::string> paths;
  std::map<int, HidDevice*> held;
  QStringList log;
  std::function<void()> afterChange;
  std::function<void(HidDevice*)> afterUnplug;
  std::function<bool(HidDevice*, int)> afterOffer;
  // Last, so that it goes first and its events still find everything above.
  std::unique_ptr<HidController> controller;
};

QList<int> Tags(int count) {
  QList<int> tags;
  for (int tag = 1; tag <= count; ++tag) tags << tag;
  return tags;
}

enum class Op { ClassGuidText, Attributes, GetCaps, GetProductName, HasReadWriteAccess, SetFeature, GetFeature };

void Apply(HidDevice* device, Op op) {
  std::vector<std::uint8_t> report = ReadRequestReport(kFeatureLength);
  switch (op) {
    case Op::ClassGuidText: device->ClassGuidText(); break;
    case Op::Attributes: device->Attributes(); break;
    case Op::GetCaps: device->GetCaps(); break;
    case Op::GetProductName: device->GetProductName(); break;
    case Op::HasReadWriteAccess: device->HasReadWriteAccess(); break;
    case Op::SetFeature: device->SetFeature(report.data(), kFeatureLength); break;
    case Op::GetFeature: device->GetFeature(report.data(), kFeatureLength); break;
  }
}

enum class Refusal { NotHeld, CheckedIn, Gone, PulledUnnoticed, Unopenable, NoAccess, ZeroSize, NullBuffer };

}  // namespace

Q_DECLARE_METATYPE(Op)
Q_DECLARE_METATYPE(Refusal)

class HidControllerTest : public QObject {
  Q_OBJECT

 private slots:
  void firstRescanIsQueued_data() {
    QTest::addColumn<int>("devices");
    QTest::addColumn<bool>("rescanBeforeLoop");
    QTest::newRow("no device") << 0 << false;
    QTest::newRow("three devices") << 3 << false;
    QTest::newRow("no device, re-scan asked before the loop runs") << 0 << true;
    QTest::newRow("two devices, re-scan asked before the loop runs") << 2 << true;
  }

  void firstRescanIsQueued() {
    QFETCH(int, devices);
    QFETCH(bool, rescanBeforeLoop);
    Rig rig(Tags(devices));

    QVERIFY(rig.sim->Watched());
    QCOMPARE(rig.sim->ScanCount(), 0);
    QCOMPARE(rig.controller->Count(), 0);
    if (rescanBeforeLoop) {
      rig.controller->DeviceChange();
      QCOMPARE(rig.log, QStringList{"change"});
    }

    QCoreApplication::processEvents();
    QCOMPARE(rig.log, QStringList{"change"});
    QCOMPARE(rig.sim->ScanCount(), rescanBeforeLoop ? 2 : 1);
    QCOMPARE(rig.controller->Count(), devices);
    QStringList expected;
    for (int tag : Tags(devices)) expected << QStringLiteral("%1@%2").arg(tag).arg(tag - 1);
    QCOMPARE(rig.OfferedText(), expected);

    QCoreApplication::processEvents();
    QCOMPARE(rig.log, QStringList{"change"});
    QCOMPARE(rig.sim->OpenedPaths(), std::vector<std::string>{});
  }

  void nullBackendDoesNothing() {
    QStringList log;
    {
      HidController controller(nullptr);
      controller.OnDeviceChange = [&log] { log << "change"; };
      controller.OnDeviceUnplug = [&log](HidDevice*) { log << "unplug"; };
      controller.OnEnumerate = [&log](HidDevice*, int) {
        log << "offer";
        return true;
      };
      QCoreApplication::processEvents();
      controller.DeviceChange();
      QCOMPARE(controller.Enumerate(), 0);
      HidDevice* device = nullptr;
      QVERIFY(!controller.CheckOutByIndex(device, 0));
      QCOMPARE(device, nullptr);
      QCOMPARE(controller.Count(), 0);
    }
    QCOMPARE(log, QStringList{});
  }

  void enumerateStopsWhenTold_data() {
    QTest::addColumn<int>("stopAt");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("handler always goes on")
        << 0 << QStringList{"offer 1@0", "offer 2@1", "offer 3@2", "offer 4@3"};
    QTest::newRow("stops at the first") << 1 << QStringList{"offer 1@0"};
    QTest::newRow("stops at the third") << 3 << QStringList{"offer 1@0", "offer 2@1", "offer 3@2"};
    QTest::newRow("stops at the last")
        << 4 << QStringList{"offer 1@0", "offer 2@1", "offer 3@2", "offer 4@3"};
  }

  void enumerateStopsWhenTold() {
    QFETCH(int, stopAt);
    QFETCH(QStringList, expected);
    Rig rig(Tags(4));
    rig.Start();
    int offers = 0;
    rig.afterOffer = [&offers, stopAt](HidDevice*, int) { return ++offers != stopAt; };

    QCOMPARE(rig.controller->Enumerate(), expected.size());
    QCOMPARE(rig.log, expected);
  }

  void enumerateOffersPresentDevicesOnly() {
    Rig rig(Tags(3));
    rig.Start();
    QVERIFY(rig.Hold(2));
    QVERIFY(rig.Hold(3));
    rig.Pull(1);  // nobody holds it: discarded
    rig.Pull(3);  // held: stays listed, gone
    rig.Plug(4);

    QCOMPARE(rig.controller->Count(), 3);
    QCOMPARE(rig.OfferedText(), (QStringList{"2@0", "4@2"}));

    rig.controller->CheckIn(rig.held[3]);
    QCOMPARE(rig.held[3], nullptr);
    QCOMPARE(rig.controller->Count(), 2);
    QCOMPARE(rig.OfferedText(), (QStringList{"2@0", "4@1"}));
  }

  // The program's way: check out each offered device by the index it was offered with,
  // while an earlier device is discarded during the same pass.
  void lendingDuringEnumeration() {
    Rig rig(Tags(3));
    rig.Start();
    QVERIFY(rig.Hold(1));
    rig.Pull(1);
    rig.log.clear();
    QStringList taken;
    rig.afterOffer = [&rig, &taken](HidDevice* device, int index) {
      rig.controller->CheckIn(rig.held[1]);
      HidDevice* lent = nullptr;
      const bool ok = rig.controller->CheckOutByIndex(lent, index);
      taken << QStringLiteral("%1 %2").arg(ok).arg(lent == device);
      return true;
    };

    QCOMPARE(rig.controller->Enumerate(), 2);
    QCOMPARE(rig.log, (QStringList{"offer 2@1", "offer 3@2"}));
    QCOMPARE(taken, (QStringList{"1 1", "1 1"}));
    QCOMPARE(rig.controller->Count(), 2);

    rig.afterOffer = nullptr;
    const std::map<int, HidDevice*> offered = rig.Offered();
    QCOMPARE(offered.size(), std::size_t{2});
    for (const auto& [index, device] : offered) {
      HidDevice* again = device;
      QVERIFY(!rig.controller->CheckOutByIndex(again, index));
      QCOMPARE(again, nullptr);
    }
  }

  void checkOutByIndex_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("lent");
    QTest::newRow("free, first") << 0 << true;
    QTest::newRow("free, last") << 3 << true;
    QTest::newRow("held") << 1 << false;
    QTest::newRow("gone but held") << 2 << false;
    QTest::newRow("negative") << -1 << false;
    QTest::newRow("one past the end") << 4 << false;
    QTest::newRow("INT_MIN") << INT_MIN << false;
    QTest::newRow("INT_MAX") << INT_MAX << false;
  }

  void checkOutByIndex() {
    QFETCH(int, index);
    QFETCH(bool, lent);
    Rig rig(Tags(4));
    rig.Start();
    QVERIFY(rig.Hold(2));
    QVERIFY(rig.Hold(3));
    rig.Pull(3);
    QCOMPARE(rig.controller->Count(), 4);
    const std::map<int, HidDevice*> offered = rig.Offered();

    HidDevice* device = rig.held[2];  // must be overwritten either way
    QCOMPARE(rig.controller->CheckOutByIndex(device, index), lent);
    if (lent) {
      QCOMPARE(device, offered.at(index));
      HidDevice* again = nullptr;
      QVERIFY(!rig.controller->CheckOutByIndex(again, index));
      QCOMPARE(again, nullptr);
    } else {
      QCOMPARE(device, nullptr);
    }
  }

  void checkInFreesPresentDevice() {
    Rig rig(Tags(2));
    rig.Start();
    HidDevice* const device = rig.Hold(1);
    QVERIFY(device);
    QCOMPARE(device->GetCaps().FeatureReportByteLength, kFeatureLength);
    QVERIFY(rig.sim->IsOpen(rig.paths[1]));

    rig.controller->CheckIn(rig.held[1]);
    QCOMPARE(rig.held[1], nullptr);
    QVERIFY(!rig.sim->IsOpen(rig.paths[1]));
    QCOMPARE(rig.controller->Count(), 2);
    QCOMPARE(device->GetCaps().FeatureReportByteLength, 0);  // no longer held
    QCOMPARE(rig.sim->OpenCount(rig.paths[1]), 1);

    HidDevice* none = nullptr;
    rig.controller->CheckIn(none);
    HidDevice* again = nullptr;
    QVERIFY(rig.controller->CheckOutByIndex(again, 0));
    QCOMPARE(again, device);
    QCOMPARE(rig.log, QStringList{});
  }

  void rescanReportsChanges_data() {
    QTest::addColumn<QList<int>>("held");
    QTest::addColumn<QList<int>>("plugged");
    QTest::addColumn<QList<int>>("pulled");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QStringList>("offered");
    QTest::addColumn<int>("count");
    QTest::newRow("free device pulled")
        << QList<int>{} << QList<int>{} << QList<int>{2} << QStringList{"unplug 2", "change"}
        << QStringList{"1@0", "3@1"} << 2;
    QTest::newRow("held device pulled")
        << QList<int>{2} << QList<int>{} << QList<int>{2} << QStringList{"unplug 2", "change"}
        << QStringList{"1@0", "3@2"} << 3;
    QTest::newRow("all pulled, reported in list order")
        << QList<int>{1} << QList<int>{} << QList<int>{3, 1, 2}
        << QStringList{"unplug 1", "unplug 2", "unplug 3", "change"} << QStringList{} << 1;
    QTest::newRow("pulled and plugged in one re-scan")
        << QList<int>{1} << QList<int>{4} << QList<int>{1} << QStringList{"unplug 1", "change"}
        << QStringList{"2@1", "3@2", "4@3"} << 4;
    QTest::newRow("devices plugged, appended in order")
        << QList<int>{} << QList<int>{4, 5} << QList<int>{} << QStringList{"change"}
        << QStringList{"1@0", "2@1", "3@2", "4@3", "5@4"} << 5;
    QTest::newRow("nothing changed")
        << QList<int>{1} << QList<int>{} << QList<int>{} << QStringList{}
        << QStringList{"1@0", "2@1", "3@2"} << 3;
    QTest::newRow("plugged and pulled between two re-scans")
        << QList<int>{} << QList<int>{4} << QList<int>{4} << QStringList{}
        << QStringList{"1@0", "2@1", "3@2"} << 3;
  }

  void rescanReportsChanges() {
    QFETCH(QList<int>, held);
    QFETCH(QList<int>, plugged);
    QFETCH(QList<int>, pulled);
    QFETCH(QStringList, events);
    QFETCH(QStringList, offered);
    QFETCH(int, count);
    Rig rig(Tags(3));
    rig.Start();
    for (int tag : held) QVERIFY(rig.Hold(tag));
    for (int tag : plugged) rig.Plug(tag, Announce::Later);
    for (int tag : pulled) rig.Pull(tag, Announce::Later);
    QCOMPARE(rig.log, QStringList{});

    rig.sim->Notify();
    QCOMPARE(rig.log, events);
    QCOMPARE(rig.OfferedText(), offered);
    QCOMPARE(rig.controller->Count(), count);

    rig.sim->Notify();
    QCOMPARE(rig.log, events);
  }

  void unpluggedDeviceIsClosedWhenReported() {
    Rig rig(Tags(2));
    rig.Start();
    HidDevice* const device = rig.Hold(1);
    QVERIFY(device && device->HasReadWriteAccess());
    QVERIFY(rig.sim->IsOpen(rig.paths[1]));
    bool openWhenReported = true;
    bool transferred = true;
    int featureLength = -1;
    rig.afterUnplug = [&](HidDevice* reported) {
      openWhenReported = rig.sim->IsOpen(rig.paths[1]);
      std::vector<std::uint8_t> report = ReadRequestReport(kFeatureLength);
      transferred = reported->SetFeature(report.data(), kFeatureLength).ok ||
                    reported->GetFeature(report.data(), kFeatureLength).ok;
      featureLength = reported->GetCaps().FeatureReportByteLength;
    };

    rig.Pull(1);
    QCOMPARE(rig.log, (QStringList{"unplug 1", "change"}));
    QVERIFY(!openWhenReported);
    QVERIFY(!transferred);
    QCOMPARE(featureLength, 0);
    QVERIFY(rig.Stick(1).Received().empty());
    QCOMPARE(rig.sim->OpenCount(rig.paths[1]), 1);
  }

  void checkInFromUnplugHandler_data() {
    QTest::addColumn<int>("checkIn");  // 0 none, 1 the device reported, 2 every held one
    QTest::addColumn<QStringList>("offered");
    QTest::addColumn<int>("count");
    QTest::newRow("kept") << 0 << QStringList{"3@2"} << 3;
    QTest::newRow("device reported checked in") << 1 << QStringList{"3@0"} << 1;
    QTest::newRow("all checked in at the first report") << 2 << QStringList{"3@0"} << 1;
  }

  void checkInFromUnplugHandler() {
    QFETCH(int, checkIn);
    QFETCH(QStringList, offered);
    QFETCH(int, count);
    Rig rig(Tags(3));
    rig.Start();
    QVERIFY(rig.Hold(1));
    QVERIFY(rig.Hold(2));
    rig.afterUnplug = [&rig, checkIn](HidDevice* reported) {
      if (checkIn == 1) rig.controller->CheckIn(rig.held[TagOf(reported)]);
      if (checkIn == 2) {
        for (auto& entry : rig.held) rig.controller->CheckIn(entry.second);
      }
    };
    rig.Pull(1, Announce::Later);
    rig.Pull(2, Announce::Later);

    rig.sim->Notify();
    QCOMPARE(rig.log, (QStringList{"unplug 1", "unplug 2", "change"}));
    QCOMPARE(rig.held[1] == nullptr, checkIn != 0);
    QCOMPARE(rig.held[2] == nullptr, checkIn != 0);
    QCOMPARE(rig.OfferedText(), offered);
    QCOMPARE(rig.controller->Count(), count);
  }

  void replugIsNewDevice_data() {
    QTest::addColumn<bool>("samePath");
    QTest::addColumn<bool>("checkInOnUnplug");
    QTest::addColumn<QStringList>("offered");
    QTest::newRow("new path, checked in on unplug") << false << true << QStringList{"2@0", "1@1"};
    QTest::newRow("new path, still held") << false << false << QStringList{"2@1", "1@2"};
    QTest::newRow("same path, checked in on unplug") << true << true << QStringList{"2@0", "1@1"};
    QTest::newRow("same path, still held") << true << false << QStringList{"2@1", "1@2"};
  }

  void replugIsNewDevice() {
    QFETCH(bool, samePath);
    QFETCH(bool, checkInOnUnplug);
    QFETCH(QStringList, offered);
    Rig rig(Tags(2));
    rig.Start();
    HidDevice* const old = rig.Hold(1);
    QVERIFY(old);
    if (checkInOnUnplug) {
      rig.afterUnplug = [&rig](HidDevice* reported) {
        rig.controller->CheckIn(rig.held[TagOf(reported)]);
      };
    }
    rig.Pull(1);
    QCOMPARE(rig.log, (QStringList{"unplug 1", "change"}));
    rig.log.clear();

    if (samePath) {
      rig.sim->Replug(rig.paths[1]);
    } else {
      rig.Plug(1);
    }
    QCOMPARE(rig.log, QStringList{"change"});
    QCOMPARE(rig.OfferedText(), offered);
    const int last = rig.controller->Count() - 1;
    HidDevice* fresh = nullptr;
    QVERIFY(rig.controller->CheckOutByIndex(fresh, last));
    QCOMPARE(fresh->GetCaps().FeatureReportByteLength, kFeatureLength);
    if (!checkInOnUnplug) {
      QVERIFY(fresh != old);
      QCOMPARE(old->GetCaps().FeatureReportByteLength, 0);  // the old one stays gone
    }
  }

  void notificationDuringRescanIsDropped_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QStringList>("offered");
    QTest::newRow("change handler") << "change" << QStringList{"change"}
                                    << QStringList{"1@0", "2@1", "3@2"};
    QTest::newRow("unplug handler") << "unplug" << QStringList{"unplug 2", "change"}
                                    << QStringList{"1@0", "3@1"};
    QTest::newRow("enumeration run by the change handler")
        << "offer" << QStringList{"change", "offer 1@0", "offer 2@1", "offer 3@2"}
        << QStringList{"1@0", "2@1", "3@2"};
  }

  void notificationDuringRescanIsDropped() {
    QFETCH(QString, source);
    QFETCH(QStringList, events);
    QFETCH(QStringList, offered);
    Rig rig(Tags(2));
    rig.Start();
    rig.Plug(3, Announce::Later);
    if (source == "unplug") rig.Pull(2, Announce::Later);
    bool plugged = false;
    // Plugging announces at once: the controller hears of it inside its own handler.
    const auto plugOnce = [&rig, &plugged] {
      if (plugged) return;
      plugged = true;
      rig.Plug(9);
    };
    if (source == "change") rig.afterChange = plugOnce;
    if (source == "unplug") rig.afterUnplug = [&plugOnce](HidDevice*) { plugOnce(); };
    if (source == "offer") {
      rig.afterChange = [&rig] { rig.controller->Enumerate(); };
      rig.afterOffer = [&plugOnce](HidDevice*, int) {
        plugOnce();
        return true;
      };
    }

    const int scans = rig.sim->ScanCount();
    rig.sim->Notify();
    QVERIFY(plugged);
    QCOMPARE(rig.sim->ScanCount(), scans + 1);
    QCOMPARE(rig.log, events);
    QCOMPARE(rig.OfferedText(), offered);

    rig.afterChange = nullptr;
    rig.log.clear();
    rig.sim->Notify();
    QCOMPARE(rig.log, QStringList{"change"});
    offered << QStringLiteral("9@%1").arg(offered.size());
    QCOMPARE(rig.OfferedText(), offered);
  }

  void destructionReportsHeldDevices_data() {
    QTest::addColumn<QList<int>>("held");
    QTest::addColumn<QList<int>>("pulled");
    QTest::addColumn<bool>("checkIn");
    QTest::addColumn<QStringList>("events");
    QTest::newRow("nothing held") << QList<int>{} << QList<int>{} << false << QStringList{};
    QTest::newRow("held devices, in list order")
        << QList<int>{3, 1} << QList<int>{} << false << QStringList{"unplug 1", "unplug 3"};
    QTest::newRow("held devices checked in by the handler")
        << QList<int>{3, 1} << QList<int>{} << true << QStringList{"unplug 1", "unplug 3"};
    QTest::newRow("a device reported gone before is not reported again")
        << QList<int>{1, 3} << QList<int>{1} << false << QStringList{"unplug 3"};
  }

  void destructionReportsHeldDevices() {
    QFETCH(QList<int>, held);
    QFETCH(QList<int>, pulled);
    QFETCH(bool, checkIn);
    QFETCH(QStringList, events);
    Rig rig(Tags(4));
    rig.Start();
    for (int tag : held) {
      HidDevice* device = rig.Hold(tag);
      QVERIFY(device);
      QVERIFY(device->HasReadWriteAccess());  // opens it
    }
    for (int tag : pulled) rig.Pull(tag);
    rig.log.clear();
    bool openWhenReported = false;
    bool transferred = false;
    // reset() has already cleared rig.controller when the events come.
    HidController* const controller = rig.controller.get();
    rig.afterUnplug = [&](HidDevice* reported) {
      const int tag = TagOf(reported);
      openWhenReported = openWhenReported || rig.sim->IsOpen(rig.paths[tag]);
      std::vector<std::uint8_t> report = ReadRequestReport(kFeatureLength);
      transferred = transferred || reported->SetFeature(report.data(), kFeatureLength).ok;
      if (checkIn) controller->CheckIn(rig.held[tag]);
    };

    rig.controller.reset();
    QCOMPARE(rig.log, events);
    QVERIFY(!openWhenReported);
    QVERIFY(!transferred);
  }

  void opensOnlyHeldDeviceWhenAsked_data() {
    QTest::addColumn<Op>("op");
    QTest::addColumn<bool>("held");
    QTest::addColumn<bool>("opens");
    struct Case {
      const char* name;
      Op op;
      bool opensWhenHeld;
    };
    const Case cases[] = {
        {"ClassGuidText", Op::ClassGuidText, false},
        {"Attributes", Op::Attributes, false},
        {"GetCaps", Op::GetCaps, true},
        {"GetProductName", Op::GetProductName, true},
        {"HasReadWriteAccess", Op::HasReadWriteAccess, true},
        {"SetFeature", Op::SetFeature, true},
        {"GetFeature", Op::GetFeature, true},
    };
    for (bool held : {false, true}) {
      for (const Case& c : cases) {
        QTest::addRow("%s, %s", c.name, held ? "held" : "free") << c.op << held << (held && c.opensWhenHeld);
      }
    }
  }

  void opensOnlyHeldDeviceWhenAsked() {
    QFETCH(Op, op);
    QFETCH(bool, held);
    QFETCH(bool, opens);
    Rig rig(Tags(3));
    rig.Start();
    HidDevice* device = rig.Offered().at(1);
    if (held) QVERIFY(rig.Hold(2));

    Apply(device, op);
    Apply(device, op);
    const std::vector<std::string> expected =
        opens ? std::vector<std::string>{rig.paths[2]} : std::vector<std::string>{};
    QCOMPARE(rig.sim->OpenedPaths(), expected);
    QCOMPARE(rig.sim->OpenCount(rig.paths[2]), opens ? 1 : 0);
    QCOMPARE(rig.sim->IsOpen(rig.paths[2]), opens);
  }

  void keepsDeviceOpenUntilCheckIn() {
    Rig rig(Tags(1));
    rig.Start();
    HidDevice* device = rig.Hold(1);
    QVERIFY(device);
    for (Op op : {Op::GetCaps, Op::GetProductName, Op::HasReadWriteAccess, Op::SetFeature, Op::GetFeature}) {
      Apply(device, op);
    }
    QCOMPARE(rig.sim->OpenCount(rig.paths[1]), 1);
    QVERIFY(rig.sim->IsOpen(rig.paths[1]));

    rig.controller->CheckIn(rig.held[1]);
    QVERIFY(!rig.sim->IsOpen(rig.paths[1]));
    QCOMPARE(rig.Hold(1), device);
    QCOMPARE(rig.sim->OpenCount(rig.paths[1]), 1);
    Apply(device, Op::GetCaps);
    QCOMPARE(rig.sim->OpenCount(rig.paths[1]), 2);
  }

  void capsAndAccess_data() {
    QTest::addColumn<bool>("held");
    QTest::addColumn<bool>("openable");
    QTest::addColumn<bool>("readWrite");
    QTest::addColumn<bool>("pulled");
    QTest::addColumn<int>("featureLength");
    QTest::addColumn<bool>("access");
    QTest::addColumn<QString>("product");
    QTest::newRow("free") << false << true << true << false << 0 << false << "";
    QTest::newRow("held") << true << true << true << false << int(kFeatureLength) << true << "Device 1";
    QTest::newRow("held, opened without access rights")
        << true << true << false << false << int(kFeatureLength) << false << "Device 1";
    QTest::newRow("held, cannot be opened") << true << false << true << false << 0 << false << "";
    QTest::newRow("held, gone") << true << true << true << true << 0 << false << "";
  }

  void capsAndAccess() {
    QFETCH(bool, held);
    QFETCH(bool, openable);
    QFETCH(bool, readWrite);
    QFETCH(bool, pulled);
    QFETCH(int, featureLength);
    QFETCH(bool, access);
    QFETCH(QString, product);
    Rig rig(Tags(1));
    rig.Start();
    SimDevice& simulated = rig.sim->Device(rig.paths[1]);
    simulated.openable = openable;
    simulated.readWrite = readWrite;
    HidDevice* device = rig.Offered().at(0);
    if (held) QVERIFY(rig.Hold(1));
    if (pulled) rig.Pull(1);

    QCOMPARE(int(device->GetCaps().FeatureReportByteLength), featureLength);
    QCOMPARE(device->HasReadWriteAccess(), access);
    QCOMPARE(QString::fromStdU16String(device->GetProductName()), product);
    QCOMPARE(QString::fromStdString(device->ClassGuidText()), QString::fromLatin1(kHidClassGuidText));
    QCOMPARE(int(device->Attributes().ProductID), 1);
  }

  void transfersReachTheStick_data() {
    QTest::addColumn<int>("size");
    for (int size : {1, 5, 30, 64, 128, 255}) QTest::addRow("%d bytes", size) << size;
  }

  // Both transfers hand over exactly size bytes; the stick's answers are those of a
  // copy of it in the same state.
  void transfersReachTheStick() {
    QFETCH(int, size);
    Rig rig(Tags(1));
    rig.Start();
    HidDevice* device = rig.Hold(1);
    QVERIFY(device);
    StickModel reference = rig.Stick(1);
    const std::vector<std::uint8_t> request = ReadRequestReport(std::size_t(size));
    std::vector<std::uint8_t> sent = request;

    QCOMPARE(device->SetFeature(sent.data(), std::size_t(size)).ok, reference.SetFeature(request));
    QCOMPARE(rig.Stick(1).Received().size(), std::size_t{1});
    QCOMPARE(HexBytes(rig.Stick(1).Received().back()), HexBytes(request));

    std::vector<std::uint8_t> answer(std::size_t(size), kFill);
    answer[0] = REPORT_ID_CONFIG;
    std::vector<std::uint8_t> expected = answer;
    const std::size_t answeredBytes = reference.GetFeature(expected);
    const bool answered = answeredBytes > 0;
    const TransferResult got = device->GetFeature(answer.data(), std::size_t(size));
    QCOMPARE(got.ok, answered);
    if (answered) QCOMPARE(got.bytes, answeredBytes);
    QCOMPARE(HexBytes(answer), HexBytes(expected));
    if (std::size_t(size) >= kParamBlockOffset + kParamBlockSize) {
      QVERIFY(answered);
      QVERIFY(AnswerParamBlock(answer) == rig.Stick(1).Params());
    }
  }

  void transfersRefused_data() {
    QTest::addColumn<Refusal>("refusal");
    QTest::newRow("never checked out") << Refusal::NotHeld;
    QTest::newRow("checked in again") << Refusal::CheckedIn;
    QTest::newRow("gone but still held") << Refusal::Gone;
    QTest::newRow("pulled, not yet noticed") << Refusal::PulledUnnoticed;
    QTest::newRow("cannot be opened") << Refusal::Unopenable;
    QTest::newRow("opened without access rights") << Refusal::NoAccess;
    QTest::newRow("size 0") << Refusal::ZeroSize;
    QTest::newRow("null buffer") << Refusal::NullBuffer;
  }

  void transfersRefused() {
    QFETCH(Refusal, refusal);
    Rig rig(Tags(1));
    rig.Start();
    // Armed: a get that reached the stick would be answered.
    StickModel& stick = rig.Stick(1);
    stick.SetFeature(ReadRequestReport(kFeatureLength));
    stick.ClearReceived();
    SimDevice& simulated = rig.sim->Device(rig.paths[1]);
    HidDevice* device = rig.Offered().at(0);
    std::vector<std::uint8_t> buffer = ReadRequestReport(kFeatureLength);
    std::uint8_t* data = buffer.data();
    std::size_t size = kFeatureLength;

    if (refusal != Refusal::NotHeld) QVERIFY(rig.Hold(1));
    switch (refusal) {
      case Refusal::NotHeld: break;
      case Refusal::CheckedIn: rig.controller->CheckIn(rig.held[1]); break;
      case Refusal::Gone: rig.Pull(1); break;
      case Refusal::PulledUnnoticed: rig.Pull(1, Announce::Later); break;
      case Refusal::Unopenable: simulated.openable = false; break;
      case Refusal::NoAccess: simulated.readWrite = false; break;
      case Refusal::ZeroSize: size = 0; break;
      case Refusal::NullBuffer: data = nullptr; break;
    }
    const std::vector<std::uint8_t> before = buffer;

    // Each refusal says why.
    for (const TransferResult& r : {device->SetFeature(data, size), device->GetFeature(data, size)}) {
      QVERIFY(!r.ok);
      QVERIFY(!r.message.empty());
    }
    QVERIFY(stick.Received().empty());
    QCOMPARE(HexBytes(buffer), HexBytes(before));
  }

  void productName_data() {
    QTest::addColumn<QString>("initial");
    QTest::addColumn<QString>("renamed");
    QTest::addColumn<bool>("checkInBetween");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    const QString cut = QString::fromUtf16(u"Fli\0ght", 7);
    QTest::newRow("read once, kept") << "Flight" << "Other" << false << "Flight" << "Flight";
    QTest::newRow("cut at the first NUL") << cut << cut << false << "Fli" << "Fli";
    QTest::newRow("kept after check-in") << "Flight" << "Other" << true << "Flight" << "Flight";
    QTest::newRow("empty answer asked again") << "" << "Later" << false << "" << "Later";
    QTest::newRow("empty answer, not held any more") << "" << "Later" << true << "" << "";
  }

  void productName() {
    QFETCH(QString, initial);
    QFETCH(QString, renamed);
    QFETCH(bool, checkInBetween);
    QFETCH(QString, first);
    QFETCH(QString, second);
    Rig rig(Tags(1));
    rig.sim->Device(rig.paths[1]).productString = initial.toStdU16String();
    rig.Start();
    HidDevice* const device = rig.Hold(1);
    QVERIFY(device);

    QCOMPARE(QString::fromStdU16String(device->GetProductName()), first);
    rig.sim->Device(rig.paths[1]).productString = renamed.toStdU16String();
    if (checkInBetween) rig.controller->CheckIn(rig.held[1]);
    QCOMPARE(QString::fromStdU16String(device->GetProductName()), second);
    QCOMPARE(rig.sim->OpenCount(rig.paths[1]), 1);
  }
};

QTEST_GUILESS_MAIN(HidControllerTest)
#include "tst_hid_controller.moc"
