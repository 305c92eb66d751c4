// The HID controller over the libudev backend, against virtual sticks that the kernel
// presents through uhid, hid-generic and hidraw. Runs as root in the test machine.
#include <sys/stat.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTest>

#include <algorithm>
#include <array>
#include <chrono>
#include <optional>
#include <vector>

#include "config_report.h"
#include "controller_probe.h"
#include "hidraw_add_watch.h"
#include "scoped_effective_user.h"
#include "stick_model.h"
#include "virtual_stick_process.h"

using vorlane::HidDevice;

namespace {

constexpr int kEventWaitMs = 3000;

// The stick of that name, checked out once the controller's first scan has run;
// null when it does not come in time.
HidDevice* TakeStickOnceScanned(ControllerProbe& probe, const QString& name) {
  if (!QTest::qWaitFor([&probe] { return !probe.events.isEmpty(); }, kEventWaitMs)) return nullptr;
  return probe.takeStick(name);
}

// A feature report buffer as the window keeps one: the laid-out 128 bytes at least.
std::vector<std::uint8_t> ReportBuffer(int featureLength) {
  return std::vector<std::uint8_t>(std::max<std::size_t>(featureLength, vorlane::kReportLayoutSize));
}

QByteArray Head(const std::vector<std::uint8_t>& report, int size) {
  return QByteArray(reinterpret_cast<const char*>(report.data()), size);
}

vorlane::ParamBlock BlockFromHex(const char* hex) {
  const QByteArray bytes = QByteArray::fromHex(hex);
  vorlane::ParamBlock block{};
  std::copy_n(bytes.begin(), std::min<qsizetype>(bytes.size(), block.size()), block.begin());
  return block;
}

}  // namespace

class TestE2eController : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void stickPluggedAtStartIsListed_data();
  void stickPluggedAtStartIsListed();
  void featureWriteArrivesExactly_data();
  void featureWriteArrivesExactly();
  void readReturnsTheStickBlock_data();
  void readReturnsTheStickBlock();
  void failingReadIsReported();
  void pullRaisesUnplugThenChange();
  void stickPluggedAgainIsANewDevice();
  void otherDeviceIsListedButNeverOpened_data();
  void otherDeviceIsListedButNeverOpened();
  void nodeWithoutAccessGivesNoReadWrite_data();
  void nodeWithoutAccessGivesNoReadWrite();
  void timeFromNodeToStickFound();
};

void TestE2eController::initTestCase() {
  QVERIFY2(geteuid() == 0, "runs as root, in the test machine (tests/e2e/run_in_vm.py)");
  QVERIFY2(QFileInfo::exists(QStringLiteral("/dev/uhid")), "needs /dev/uhid (the uhid module)");
  QVERIFY2(QFileInfo(QStringLiteral(VIRTUAL_STICK_PATH)).isExecutable(), VIRTUAL_STICK_PATH);
}

void TestE2eController::stickPluggedAtStartIsListed_data() {
  QTest::addColumn<int>("featureLength");
  QTest::addColumn<QString>("name");
  QTest::newRow("128-byte feature report") << 127 << QStringLiteral("E2E Flight Stick");
  QTest::newRow("30-byte feature report") << 29 << QStringLiteral("Short Stick");
  QTest::newRow("255 bytes, the longest that 8 bits hold") << 254 << QStringLiteral("Long Stick");
  QTest::newRow("256 bytes, beyond 8 bits") << 255 << QStringLiteral("Longer Stick");
  QTest::newRow("name beyond ASCII") << 63 << QStringLiteral("Pr\u00fcfkn\u00fcppel \u00b5");
}

void TestE2eController::stickPluggedAtStartIsListed() {
  QFETCH(int, featureLength);
  QFETCH(QString, name);
  VirtualStickProcess stick({"--feature-length", QString::number(featureLength), "--name", name});
  QVERIFY2(stick.plug(), qPrintable(stick.error()));

  ControllerProbe probe;
  QTRY_COMPARE_WITH_TIMEOUT(probe.events, QStringList{"change"}, kEventWaitMs);
  const auto offered = probe.enumerate();
  QCOMPARE(offered.size(), 1u);
  HidDevice* device = nullptr;
  QVERIFY(probe.ctl.CheckOutByIndex(device, offered[0].index));

  QCOMPARE(device->ClassGuidText(), std::string(vorlane::kHidClassGuidText));
  QCOMPARE(device->Attributes().VendorID, 0x11C0);
  QCOMPARE(device->Attributes().ProductID, 0x5606);
  QVERIFY(vorlane::IsStick(device->ClassGuidText(), device->Attributes(), vorlane::kStickVendorId,
                           vorlane::kStickProductCode));
  QCOMPARE(device->GetCaps().FeatureReportByteLength, featureLength + 1);
  QCOMPARE(QString::fromStdU16String(device->GetProductName()), name);
  QVERIFY(device->HasReadWriteAccess());
  // The kernel tells the stick of the open without waiting for it.
  QTRY_COMPARE_WITH_TIMEOUT(stick.openCount(), 1, kEventWaitMs);
}

void TestE2eController::featureWriteArrivesExactly_data() {
  QTest::addColumn<int>("featureLength");
  QTest::newRow("whole block in a 128-byte report") << 127;
  QTest::newRow("block cut by a 30-byte report") << 29;
  QTest::newRow("report longer than the layout") << 199;
}

void TestE2eController::featureWriteArrivesExactly() {
  QFETCH(int, featureLength);
  VirtualStickProcess stick({"--feature-length", QString::number(featureLength)});
  QVERIFY2(stick.plug(), qPrintable(stick.error()));
  ControllerProbe probe;
  HidDevice* device = TakeStickOnceScanned(probe, stick.name());
  QVERIFY(device);
  const int length = device->GetCaps().FeatureReportByteLength;
  QCOMPARE(length, featureLength + 1);

  auto report = ReportBuffer(length);
  vorlane::ComposeWriteParams(report, BlockFromHex("0102030405060708 fa0b0c0d0e0f1011 08090a0b0c08090a"));
  QVERIFY(device->SetFeature(report.data(), length).ok);
  QCOMPARE(stick.written(), QList<QByteArray>{Head(report, length)});
}

void TestE2eController::readReturnsTheStickBlock_data() {
  QTest::addColumn<bool>("calibrated");
  QTest::addColumn<QByteArray>("params");
  QTest::addColumn<int>("readDelayMs");
  QTest::newRow("calibrated") << true << QByteArray("050505050505050a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a0a") << 0;
  QTest::newRow("not calibrated, bytes out of the boxes' ranges")
      << false << QByteArray("00ff1932fb0a0102ff00fa1e0c0b0908070c0d0e0f10fe01") << 0;
  QTest::newRow("slow stick") << true << QByteArray("0102030405060708090a0b0c0d0e0f101112131415161718") << 150;
}

void TestE2eController::readReturnsTheStickBlock() {
  QFETCH(bool, calibrated);
  QFETCH(QByteArray, params);
  QFETCH(int, readDelayMs);
  VirtualStickProcess stick({"--params", QString::fromLatin1(params),
                             calibrated ? "--calibrated" : "--not-calibrated", "--read-delay-ms",
                             QString::number(readDelayMs)});
  QVERIFY2(stick.plug(), qPrintable(stick.error()));
  ControllerProbe probe;
  HidDevice* device = TakeStickOnceScanned(probe, stick.name());
  QVERIFY(device);
  const int length = device->GetCaps().FeatureReportByteLength;

  auto report = ReportBuffer(length);
  vorlane::ComposeReadRequest(report);
  const QByteArray request = Head(report, length);
  QVERIFY(device->SetFeature(report.data(), length).ok);
  QElapsedTimer clock;
  clock.start();
  QVERIFY(device->GetFeature(report.data(), length).ok);
  QCOMPARE_GE(clock.elapsed(), readDelayMs);

  QCOMPARE(vorlane::AnswerCalibrated(report), calibrated);
  QCOMPARE(vorlane::AnswerParamBlock(report), BlockFromHex(params.constData()));
  QCOMPARE(stick.written(), QList<QByteArray>{request});
  QCOMPARE(stick.answered(), QList<QByteArray>{Head(report, length)});
}

void TestE2eController::failingReadIsReported() {
  VirtualStickProcess stick({"--fail-reads"});
  QVERIFY2(stick.plug(), qPrintable(stick.error()));
  ControllerProbe probe;
  HidDevice* device = TakeStickOnceScanned(probe, stick.name());
  QVERIFY(device);
  const int length = device->GetCaps().FeatureReportByteLength;

  auto report = ReportBuffer(length);
  vorlane::ComposeReadRequest(report);
  QVERIFY(device->SetFeature(report.data(), length).ok);
  QVERIFY(!device->GetFeature(report.data(), length).ok);
  QCOMPARE(stick.written().size(), 1);
  QVERIFY(stick.answered().isEmpty());
}

void TestE2eController::pullRaisesUnplugThenChange() {
  VirtualStickProcess stick;
  QVERIFY2(stick.plug(), qPrintable(stick.error()));
  ControllerProbe probe;
  HidDevice* held = TakeStickOnceScanned(probe, stick.name());
  QVERIFY(held);
  // As the window does: the pulled stick is given back from the unplug handler.
  bool transferredWhenGone = true;
  probe.onUnplug = [&](HidDevice*& device) {
    std::array<std::uint8_t, vorlane::kReportLayoutSize> report{};
    vorlane::ComposeReadRequest(report);
    transferredWhenGone = device->SetFeature(report.data(), static_cast<int>(report.size())).ok;
    probe.ctl.CheckIn(device);
  };
  probe.events.clear();

  QVERIFY2(stick.pull(), qPrintable(stick.error()));
  QTRY_COMPARE_WITH_TIMEOUT(probe.events, (QStringList{"unplug", "change"}), kEventWaitMs);
  QCOMPARE(probe.unplugged, std::vector<HidDevice*>{held});
  QVERIFY(!transferredWhenGone);
  QVERIFY(stick.written().isEmpty());
  QCOMPARE(probe.ctl.Count(), 0);
  QVERIFY(probe.enumerate().empty());
}

void TestE2eController::stickPluggedAgainIsANewDevice() {
  VirtualStickProcess stick;
  QVERIFY2(stick.plug(), qPrintable(stick.error()));
  ControllerProbe probe;
  HidDevice* first = TakeStickOnceScanned(probe, stick.name());
  QVERIFY(first);

  QVERIFY2(stick.pull(), qPrintable(stick.error()));
  QTRY_COMPARE_WITH_TIMEOUT(probe.unplugged, std::vector<HidDevice*>{first}, kEventWaitMs);
  probe.events.clear();
  QVERIFY2(stick.plug(), qPrintable(stick.error()));
  QTRY_COMPARE_WITH_TIMEOUT(probe.events, QStringList{"change"}, kEventWaitMs);

  // The first one is still held, gone, and no longer offered.
  const auto offered = probe.enumerate();
  QCOMPARE(offered.size(), 1u);
  QVERIFY(offered[0].device != first);
  QCOMPARE(probe.ctl.Count(), 2);
  HidDevice* second = nullptr;
  QVERIFY(probe.ctl.CheckOutByIndex(second, offered[0].index));
  QCOMPARE(QString::fromStdU16String(second->GetProductName()), stick.name());

  const int length = second->GetCaps().FeatureReportByteLength;
  auto report = ReportBuffer(length);
  vorlane::ComposeReadRequest(report);
  QVERIFY(second->SetFeature(report.data(), length).ok);
  QVERIFY(second->GetFeature(report.data(), length).ok);
  QCOMPARE(vorlane::AnswerParamBlock(report), vorlane::StickModel::FactoryBlock());
  QVERIFY(!first->GetFeature(report.data(), length).ok);
}

void TestE2eController::otherDeviceIsListedButNeverOpened_data() {
  QTest::addColumn<QString>("vendor");
  QTest::addColumn<QString>("product");
  QTest::newRow("another vendor") << QStringLiteral("0x1234") << QStringLiteral("0x5678");
  QTest::newRow("the stick's vendor, another product") << QStringLiteral("0x11C0")
                                                       << QStringLiteral("0x5607");
}

void TestE2eController::otherDeviceIsListedButNeverOpened() {
  QFETCH(QString, vendor);
  QFETCH(QString, product);
  VirtualStickProcess stick;
  QVERIFY2(stick.plug(), qPrintable(stick.error()));
  ControllerProbe probe;
  HidDevice* held = TakeStickOnceScanned(probe, stick.name());
  QVERIFY(held);

  // Each pass as the window makes it: every free device is taken and tested.
  std::vector<HidDevice*> tested;
  probe.onChange = [&] {
    for (const auto& o : probe.enumerate()) {
      HidDevice* device = nullptr;
      if (!probe.ctl.CheckOutByIndex(device, o.index)) continue;
      QVERIFY(!vorlane::IsStick(device->ClassGuidText(), device->Attributes(),
                                vorlane::kStickVendorId, vorlane::kStickProductCode));
      tested.push_back(device);
    }
  };
  probe.events.clear();
  VirtualStickProcess other({"--vendor", vendor, "--product", product});
  QVERIFY2(other.plug(), qPrintable(other.error()));
  QTRY_COMPARE_WITH_TIMEOUT(tested.size(), 1u, kEventWaitMs);
  QCOMPARE(tested[0]->Attributes().VendorID, vendor.toUShort(nullptr, 16));
  QCOMPARE(tested[0]->Attributes().ProductID, product.toUShort(nullptr, 16));

  QVERIFY2(other.pull(), qPrintable(other.error()));
  QTRY_COMPARE_WITH_TIMEOUT(probe.events, (QStringList{"change", "unplug", "change"}), kEventWaitMs);
  QCOMPARE(probe.unplugged, std::vector<HidDevice*>{tested[0]});
  QCOMPARE(other.openCount(), 0);
  QVERIFY(other.written().isEmpty());
  // The held stick was opened once, when it was taken, and left alone since.
  QVERIFY2(stick.pull(), qPrintable(stick.error()));
  QCOMPARE(stick.openCount(), 1);
  QVERIFY(stick.written().isEmpty());
}

void TestE2eController::nodeWithoutAccessGivesNoReadWrite_data() {
  QTest::addColumn<uint>("uid");
  QTest::addColumn<bool>("access");
  QTest::newRow("owner") << 0u << true;
  QTest::newRow("another user") << uint(ScopedEffectiveUser::kNobody) << false;
}

void TestE2eController::nodeWithoutAccessGivesNoReadWrite() {
  QFETCH(uint, uid);
  QFETCH(bool, access);
  VirtualStickProcess stick;
  QVERIFY2(stick.plug(), qPrintable(stick.error()));
  const QByteArray node = stick.node().toLocal8Bit();
  QVERIFY(chown(node.constData(), 0, 0) == 0 && chmod(node.constData(), 0600) == 0);
  ControllerProbe probe;
  QTRY_VERIFY_WITH_TIMEOUT(!probe.events.isEmpty(), kEventWaitMs);
  const auto offered = probe.enumerate();
  QCOMPARE(offered.size(), 1u);
  HidDevice* device = nullptr;
  QVERIFY(probe.ctl.CheckOutByIndex(device, offered[0].index));

  std::array<std::uint8_t, vorlane::kReportLayoutSize> report{};
  vorlane::ComposeReadRequest(report);
  bool readWrite = false;
  bool sent = false;
  {
    ScopedEffectiveUser user(uid);
    QVERIFY(user.ok());
    readWrite = device->HasReadWriteAccess();
    sent = device->SetFeature(report.data(), static_cast<int>(report.size())).ok;
  }
  QCOMPARE(readWrite, access);
  QCOMPARE(sent, access);
  // Listed and named all the same.
  QCOMPARE(QString::fromStdU16String(device->GetProductName()), stick.name());
  QVERIFY2(stick.pull(), qPrintable(stick.error()));
  QCOMPARE(stick.openCount(), access ? 1 : 0);
  QCOMPARE(stick.written().size(), access ? 1 : 0);
}

void TestE2eController::timeFromNodeToStickFound() {
  HidrawAddWatch watch;
  QVERIFY(watch.listening());
  ControllerProbe probe;
  QTRY_VERIFY_WITH_TIMEOUT(!probe.events.isEmpty(), kEventWaitMs);

  for (int plug = 1; plug <= 3; ++plug) {
    VirtualStickProcess stick;
    std::optional<HidrawAddWatch::Clock::time_point> foundAt;
    probe.onChange = [&] {
      if (!foundAt && probe.takeStick(stick.name())) foundAt = HidrawAddWatch::Clock::now();
    };
    QVERIFY2(stick.plug(), qPrintable(stick.error()));
    QTRY_VERIFY_WITH_TIMEOUT(foundAt.has_value(), kEventWaitMs);
    const auto addedAt = watch.addedAt(stick.node());
    QVERIFY(addedAt.has_value());
    const std::chrono::duration<double, std::milli> took = *foundAt - *addedAt;
    qInfo("timing: hidraw node added -> stick found: %.1f ms (plug %d)", took.count(), plug);
    probe.onChange = nullptr;
    QVERIFY2(stick.pull(), qPrintable(stick.error()));
  }
}

QTEST_GUILESS_MAIN(TestE2eController)
#include "tst_e2e_controller.moc"
