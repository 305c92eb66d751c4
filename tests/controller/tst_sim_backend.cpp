#include <QTest>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "config_report.h"
#include "sim_backend.h"
#include "test_reports.h"

using namespace vorlane;

namespace {

constexpr std::uint8_t kFill = 0xEE;

SimDevice Tagged(int tag) {
  SimDevice device;
  device.attributes = {0x7A11, static_cast<std::uint16_t>(tag), 0x0200};
  device.featureReportByteLength = 64;
  device.productString = u"Device " + QString::number(tag).toStdU16String();
  device.stick = std::make_shared<StickModel>();
  return device;
}

QStringList ScannedTags(SimBackend& sim) {
  QStringList tags;
  const std::vector<HidDeviceInfo> found = sim.scan().value();
  for (const HidDeviceInfo& info : found) tags << QString::number(info.attributes.ProductID);
  return tags;
}

enum class Action { Plug, Pull, Replug, Notify };

}  // namespace

Q_DECLARE_METATYPE(Action)
Q_DECLARE_METATYPE(Announce)

class SimBackendTest : public QObject {
  Q_OBJECT

 private slots:
  void scanListsPluggedDevicesInOrder() {
    SimBackend sim;
    SimDevice odd = Tagged(2);
    odd.classGuidText = "{4d1e55b2-f16f-11cf-88cb-001111000030}";
    const std::string a = sim.Plug(Tagged(1));
    const std::string b = sim.Plug(odd);
    const std::string c = sim.Plug(Tagged(3));
    QVERIFY(!a.empty() && a != b && b != c && a != c);

    const std::vector<HidDeviceInfo> found = sim.scan().value();
    QCOMPARE(found.size(), std::size_t{3});
    QCOMPARE(found[1].path, b);
    QCOMPARE(found[1].classGuidText, odd.classGuidText);
    QCOMPARE(found[0].classGuidText, std::string(kHidClassGuidText));
    QCOMPARE(found[1].attributes.VersionNumber, odd.attributes.VersionNumber);

    sim.Pull(b);
    QCOMPARE(ScannedTags(sim), (QStringList{"1", "3"}));
    sim.Replug(b);
    QCOMPARE(ScannedTags(sim), (QStringList{"1", "3", "2"}));
    QCOMPARE(sim.scan()->back().path, b);
    const std::string d = sim.Plug(Tagged(1));
    QVERIFY(d != a && d != b && d != c);
    QCOMPARE(sim.ScanCount(), 4);
  }

  void announcements_data() {
    QTest::addColumn<Action>("action");
    QTest::addColumn<Announce>("announce");
    QTest::addColumn<int>("calls");
    QTest::newRow("plug, at once") << Action::Plug << Announce::Now << 1;
    QTest::newRow("plug, later") << Action::Plug << Announce::Later << 0;
    QTest::newRow("pull, at once") << Action::Pull << Announce::Now << 1;
    QTest::newRow("pull, later") << Action::Pull << Announce::Later << 0;
    QTest::newRow("replug, at once") << Action::Replug << Announce::Now << 1;
    QTest::newRow("replug, later") << Action::Replug << Announce::Later << 0;
    QTest::newRow("notify") << Action::Notify << Announce::Later << 1;
  }

  void announcements() {
    QFETCH(Action, action);
    QFETCH(Announce, announce);
    QFETCH(int, calls);
    SimBackend sim;
    const std::string path = sim.Plug(Tagged(1));  // nobody watches yet
    sim.Pull(path, Announce::Later);
    QVERIFY(!sim.Watched());
    int called = 0;
    QStringList seen;
    sim.watch([&] {
      ++called;
      seen = ScannedTags(sim);
    });
    QVERIFY(sim.Watched());

    switch (action) {
      case Action::Plug: sim.Plug(Tagged(2), announce); break;
      case Action::Pull: sim.Pull(sim.Plug(Tagged(2), Announce::Later), announce); break;
      case Action::Replug: sim.Replug(path, announce); break;
      case Action::Notify: sim.Notify(); break;
    }
    QCOMPARE(called, calls);
    // The change is in place when the watcher hears of it.
    if (called > 0) QCOMPARE(seen, ScannedTags(sim));
  }

  void openCounts() {
    SimBackend sim;
    const std::string stick = sim.Plug(Tagged(1));
    SimDevice locked = Tagged(2);
    locked.openable = false;
    const std::string closed = sim.Plug(locked);
    const std::string other = sim.Plug(Tagged(3));
    const std::vector<HidDeviceInfo> found = sim.scan().value();
    QCOMPARE(sim.OpenedPaths(), std::vector<std::string>{});

    std::unique_ptr<HidDeviceIo> io = sim.open(found[0]);
    QVERIFY(io);
    QVERIFY(sim.IsOpen(stick));
    QVERIFY(!sim.open(found[1]));
    QVERIFY(!sim.IsOpen(closed));
    QCOMPARE(sim.OpenCount(closed), 1);
    QCOMPARE(sim.OpenedPaths(), (std::vector<std::string>{stick, closed}));

    std::unique_ptr<HidDeviceIo> second = sim.open(found[0]);
    QCOMPARE(sim.OpenCount(stick), 2);
    io.reset();
    QVERIFY(sim.IsOpen(stick));
    second.reset();
    QVERIFY(!sim.IsOpen(stick));

    sim.Pull(other);
    QVERIFY(!sim.open(found[2]));
    QCOMPARE(sim.OpenCount(other), 1);
    QVERIFY(!sim.open(HidDeviceInfo{"no such path", kHidClassGuidText, {}}));
    QVERIFY_THROWS_EXCEPTION(std::out_of_range, sim.OpenCount("no such path"));
  }

  void transfers_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("setOk");
    QTest::addColumn<bool>("getOk");
    QTest::newRow("none") << "" << true << true;
    QTest::newRow("opened without access rights") << "readWrite" << false << false;
    QTest::newRow("sets fail") << "failSets" << false << true;
    QTest::newRow("gets fail") << "failGets" << true << false;
    QTest::newRow("no stick behind it") << "noStick" << false << false;
    QTest::newRow("pulled while open") << "pulled" << false << false;
    QTest::newRow("pulled and plugged again while open") << "replugged" << false << false;
  }

  // Of a buffer of 128 bytes, 40 are handed over: the stick sees exactly those, and a
  // get writes nothing past them, or nothing at all when it fails.
  void transfers() {
    QFETCH(QString, fault);
    QFETCH(bool, setOk);
    QFETCH(bool, getOk);
    constexpr std::size_t kSize = 40;
    SimBackend sim;
    SimDevice device = Tagged(1);
    device.readWrite = fault != "readWrite";
    device.failSets = fault == "failSets";
    device.failGets = fault == "failGets";
    const std::shared_ptr<StickModel> stick = device.stick;
    if (fault == "noStick") device.stick = nullptr;
    const std::string path = sim.Plug(device);
    std::unique_ptr<HidDeviceIo> io = sim.open(sim.scan()->front());
    QVERIFY(io);
    if (fault == "pulled" || fault == "replugged") sim.Pull(path);
    if (fault == "replugged") {
      sim.Replug(path);
      QVERIFY(sim.IsOpenFromEarlierAppearance(path));
    }

    const std::vector<std::uint8_t> request = ReadRequestReport(kReportLayoutSize);
    QCOMPARE(io->SetFeature(request.data(), kSize).ok, setOk);
    const std::vector<std::uint8_t> sent(request.begin(), request.begin() + kSize);
    QCOMPARE(stick->Received().size(), std::size_t{setOk ? 1u : 0u});
    if (setOk) QCOMPARE(HexBytes(stick->Received().back()), HexBytes(sent));

    StickModel reference = *stick;
    reference.SetFeature(sent);
    stick->SetFeature(sent);  // armed whatever the set above did
    std::vector<std::uint8_t> buffer(kReportLayoutSize, kFill);
    buffer[0] = REPORT_ID_CONFIG;
    std::vector<std::uint8_t> expected = buffer;
    if (getOk) {
      std::span<std::uint8_t> head(expected.data(), kSize);
      QCOMPARE(reference.GetFeature(head), kSize);
    }
    const TransferResult got = io->GetFeature(buffer.data(), kSize);
    QCOMPARE(got.ok, getOk);
    if (getOk) QCOMPARE(got.bytes, kSize);
    QCOMPARE(HexBytes(buffer), HexBytes(expected));
  }

  void capsAndProduct_data() {
    QTest::addColumn<bool>("readWrite");
    QTest::addColumn<bool>("pulled");
    QTest::addColumn<int>("featureLength");
    QTest::addColumn<QString>("product");
    QTest::newRow("read-write") << true << false << 64 << "Device 1";
    QTest::newRow("without access rights") << false << false << 64 << "Device 1";
    QTest::newRow("pulled") << true << true << 0 << "";
  }

  void capsAndProduct() {
    QFETCH(bool, readWrite);
    QFETCH(bool, pulled);
    QFETCH(int, featureLength);
    QFETCH(QString, product);
    SimBackend sim;
    SimDevice device = Tagged(1);
    device.readWrite = readWrite;
    const std::string path = sim.Plug(device);
    std::unique_ptr<HidDeviceIo> io = sim.open(sim.scan()->front());
    QVERIFY(io);
    if (pulled) sim.Pull(path);

    QCOMPARE(io->readWrite(), readWrite);
    QCOMPARE(int(io->caps().FeatureReportByteLength), featureLength);
    QCOMPARE(QString::fromStdU16String(io->productString()), product);
  }

  void ioOutlivesBackend() {
    auto sim = std::make_unique<SimBackend>();
    sim->Plug(Tagged(1));
    std::unique_ptr<HidDeviceIo> io = sim->open(sim->scan()->front());
    QVERIFY(io);
    sim.reset();
    QCOMPARE(int(io->caps().FeatureReportByteLength), 64);
  }
};

QTEST_GUILESS_MAIN(SimBackendTest)
#include "tst_sim_backend.moc"
