// Finding, holding and letting go of the stick, against simulated HID devices.
#include <QtTest>

#include "device_fixture.h"
#include "test_reports.h"

using namespace vorlane;

class FormDeviceTest : public QObject {
  Q_OBJECT

 private slots:
  void startWithTheStickPlugged();
  void startWithoutStickThenPlugIt();
  void pullKeepsGridAndCalibratedDisplay();
  void plugAgainReadsAgain();
  void otherDevicesChangeNothing();
  void identification_data();
  void identification();
  void twoSticksLastOneWins();
  void pullDuringTheReadWaitSendsNothing();
  void closeWithTheStickConnected();
  void stickWithoutAccessSaysSo();
  void stickWithoutNameOrCaps();
  void featureLengthKeepsItsLowByte();
  void productNameIsShownAsWritten();
};

void FormDeviceTest::startWithTheStickPlugged() {
  auto model = std::make_shared<StickModel>(RisingBlock(3, 40, 11), true);
  DeviceFixture f([&](SimBackend& sim) { sim.Plug(Stick(model), Announce::Later); });
  QCOMPARE(f.status(), QStringLiteral("Flightstick not connected"));
  QVERIFY(f.form->CurDevice == nullptr);

  QTRY_COMPARE(f.status(), QString::fromStdU16String(kStickName));
  QVERIFY(f.form->CurDevice != nullptr);
  QCOMPARE(f.form->FeatureLen, 64);
  QCOMPARE(f.form->ProductName, QString::fromStdU16String(kStickName));
  QTRY_COMPARE(f.ui().img_Target->imageIndex(), 0);

  QTRY_COMPARE(model->ReceivedCommands(), (std::vector<std::uint16_t>{CMD_PRE, CMD_READ_PARAMS}));
  QVERIFY(!f.form->Timer3->isActive());
  QCOMPARE(f.pauses, (std::vector<int>{5, 10}));
  for (int a = 0; a < kAxisCount; ++a) {
    QCOMPARE(f.value(a, ParamKind::DeadZoneStart), double((3 + a) * 0.1L));
    QCOMPARE(f.value(a, ParamKind::DeadZoneEnd), double((40 + a) * 0.1L));
    QCOMPARE(f.value(a, ParamKind::Resolution), a < 2 ? 11.0 : 10.0);  // 11 is above the range of slots 2..7
  }
  QVERIFY(f.form->Calibrated);
  QCOMPARE(f.ui().sLabel4->text(), QStringLiteral("Calibrated"));
}

void FormDeviceTest::startWithoutStickThenPlugIt() {
  DeviceFixture f;
  f.settle();
  QCOMPARE(f.status(), QStringLiteral("Flightstick not connected"));
  QCOMPARE(f.ui().img_Target->imageIndex(), 1);
  QVERIFY(f.sim->Watched());

  auto model = std::make_shared<StickModel>(RisingBlock(1, 2, 9), false);
  f.sim->Plug(Stick(model));
  QCOMPARE(f.status(), QString::fromStdU16String(kStickName));
  QVERIFY(f.form->Timer3->isActive());
  QTRY_COMPARE(f.value(0, ParamKind::Resolution), 9.0);
  QCOMPARE(model->ReceivedCommands(), (std::vector<std::uint16_t>{CMD_PRE, CMD_READ_PARAMS}));
  QCOMPARE(f.ui().sLabel4->text(), QStringLiteral("Not Calibrated"));
}

void FormDeviceTest::pullKeepsGridAndCalibratedDisplay() {
  auto model = std::make_shared<StickModel>(RisingBlock(5, 10, 12), true);
  DeviceFixture f([&](SimBackend& sim) { sim.Plug(Stick(model), Announce::Later); });
  QTRY_COMPARE(f.value(0, ParamKind::Resolution), 12.0);
  QTest::mouseClick(f.ui().RadioButton2, Qt::LeftButton);
  QCOMPARE(f.status(), QString::fromStdU16String(kStickName));  // the name stays
  const std::string path = f.sim->OpenedPaths().front();
  const int listed = f.form->HidCtl->Count();

  f.sim->Pull(path);

  QVERIFY(f.form->CurDevice == nullptr);
  QCOMPARE(f.status(), QStringLiteral("Flightstick nicht angeschlossen"));
  QTRY_COMPARE_WITH_TIMEOUT(f.ui().img_Target->imageIndex(), 1, 100);
  QCOMPARE(f.value(0, ParamKind::Resolution), 12.0);
  QCOMPARE(f.value(3, ParamKind::DeadZoneEnd), 1.3);
  QCOMPARE(f.ui().sLabel4->text(), QStringLiteral("Kalibriert"));
  QCOMPARE(f.ui().sImage2->imageIndex(), 0);
  // Given back and, being gone, dropped from the controller's list.
  QCOMPARE(f.form->HidCtl->Count(), listed - 1);
  QVERIFY(!f.sim->IsOpen(path));
}

void FormDeviceTest::plugAgainReadsAgain() {
  auto model = std::make_shared<StickModel>(RisingBlock(5, 10, 12), true);
  DeviceFixture f([&](SimBackend& sim) { sim.Plug(Stick(model), Announce::Later); });
  QTRY_COMPARE(model->ReceivedCommands().size(), std::size_t{2});
  const std::string path = f.sim->OpenedPaths().front();
  f.sim->Pull(path);
  model->SetParams(RisingBlock(7, 8, 9));

  f.sim->Replug(path);

  QCOMPARE(f.status(), QString::fromStdU16String(kStickName));
  QTRY_COMPARE(f.value(0, ParamKind::Resolution), 9.0);
  QCOMPARE(model->ReceivedCommands(),
           (std::vector<std::uint16_t>{CMD_PRE, CMD_READ_PARAMS, CMD_PRE, CMD_READ_PARAMS}));
}

void FormDeviceTest::otherDevicesChangeNothing() {
  auto model = std::make_shared<StickModel>(RisingBlock(5, 10, 12), true);
  DeviceFixture f([&](SimBackend& sim) { sim.Plug(Stick(model), Announce::Later); });
  QTRY_COMPARE(model->ReceivedCommands().size(), std::size_t{2});
  model->ClearReceived();
  HidDevice* stick = f.form->CurDevice;

  const std::string keyboard = f.sim->Plug(Keyboard());
  f.settle(150);
  f.sim->Pull(keyboard);
  f.settle(150);

  QCOMPARE(f.form->CurDevice, stick);
  QCOMPARE(f.status(), QString::fromStdU16String(kStickName));
  QVERIFY(!f.form->Timer3->isActive());
  QVERIFY(model->Received().empty());
  QCOMPARE(f.sim->OpenCount(keyboard), 0);
  QCOMPARE(f.ui().img_Target->imageIndex(), 0);
}

void FormDeviceTest::identification_data() {
  QTest::addColumn<QString>("guid");
  QTest::addColumn<int>("vendor");
  QTest::addColumn<int>("product");
  QTest::addColumn<bool>("found");
  const QString hid = QString::fromLatin1(kHidClassGuidText);
  QTest::newRow("the stick") << hid << 0x11C0 << 0x5606 << true;
  QTest::newRow("class GUID in lower case") << hid.toLower() << 0x11C0 << 0x5606 << true;
  QTest::newRow("other vendor") << hid << 0x11C1 << 0x5606 << false;
  QTest::newRow("product id without the XOR") << hid << 0x11C0 << 0xF332 << false;
  QTest::newRow("neighbouring product id") << hid << 0x11C0 << 0x5607 << false;
  QTest::newRow("other class GUID") << QStringLiteral("{4D36E96B-E325-11CE-BFC1-08002BE10318}")
                                    << 0x11C0 << 0x5606 << false;
  QTest::newRow("GUID without braces") << hid.mid(1, hid.size() - 2) << 0x11C0 << 0x5606 << false;
  QTest::newRow("empty GUID") << QString() << 0x11C0 << 0x5606 << false;
}

void FormDeviceTest::identification() {
  QFETCH(QString, guid);
  QFETCH(int, vendor);
  QFETCH(int, product);
  QFETCH(bool, found);
  auto model = std::make_shared<StickModel>();
  SimDevice device = Stick(model);
  device.classGuidText = guid.toStdString();
  device.attributes.VendorID = static_cast<std::uint16_t>(vendor);
  device.attributes.ProductID = static_cast<std::uint16_t>(product);
  DeviceFixture f([&](SimBackend& sim) { sim.Plug(device, Announce::Later); });
  f.settle();

  QCOMPARE(f.form->CurDevice != nullptr, found);
  QCOMPARE(f.status(), found ? QString::fromStdU16String(kStickName)
                             : QStringLiteral("Flightstick not connected"));
  QCOMPARE(model->Received().empty(), !found);
  // A device that is not the stick is never opened.
  QCOMPARE(f.sim->OpenedPaths().empty(), !found);
}

void FormDeviceTest::twoSticksLastOneWins() {
  auto first = std::make_shared<StickModel>(RisingBlock(1, 1, 9), true);
  auto second = std::make_shared<StickModel>(RisingBlock(2, 2, 10), true);
  std::string firstPath;
  std::string secondPath;
  DeviceFixture f([&](SimBackend& sim) {
    firstPath = sim.Plug(Stick(first, 64, u"First"), Announce::Later);
    secondPath = sim.Plug(Stick(second, 64, u"Second"), Announce::Later);
  });
  QTRY_COMPARE(f.status(), QStringLiteral("Second"));
  QTRY_COMPARE(second->ReceivedCommands().size(), std::size_t{2});
  QVERIFY(first->Received().empty());

  f.sim->Pull(secondPath);
  QCOMPARE(f.status(), QStringLiteral("Flightstick not connected"));
  f.settle(150);
  QVERIFY(f.form->CurDevice == nullptr);  // the first stick stays held and is not looked at again

  f.sim->Pull(firstPath);
  f.sim->Replug(firstPath);
  QCOMPARE(f.status(), QStringLiteral("First"));
}

void FormDeviceTest::pullDuringTheReadWaitSendsNothing() {
  DeviceFixture f;
  f.settle();
  for (int k = 0; k < 3; ++k) f.form->ParamEdits[k]->SetValue(k == 2 ? 11 : 1.5L);
  auto model = std::make_shared<StickModel>(RisingBlock(9, 9, 9), true);

  const std::string path = f.sim->Plug(Stick(model));
  QVERIFY(f.form->Timer3->isActive());
  f.sim->Pull(path);
  f.settle(200);

  QVERIFY(!f.form->Timer3->isActive());  // fired once and stopped
  QVERIFY(model->Received().empty());
  QCOMPARE(f.value(0, ParamKind::DeadZoneStart), 1.5);
  QCOMPARE(f.value(0, ParamKind::Resolution), 11.0);
  QCOMPARE(f.pauses, std::vector<int>{5});
}

void FormDeviceTest::closeWithTheStickConnected() {
  auto model = std::make_shared<StickModel>();
  DeviceFixture f([&](SimBackend& sim) { sim.Plug(Stick(model), Announce::Later); });
  f.form->show();
  QTRY_VERIFY(f.form->CurDevice != nullptr);
  QTRY_COMPARE(model->ReceivedCommands().size(), std::size_t{2});

  f.form->close();
  QVERIFY(f.form->Closing);
  f.form->HidCtl.reset();  // as the window's teardown does

  QVERIFY(f.form->CurDevice == nullptr);
  // Closing: the texts are left alone and nothing more goes to the stick.
  QCOMPARE(f.status(), QString::fromStdU16String(kStickName));
  QCOMPARE(model->ReceivedCommands().size(), std::size_t{2});
  f.form.reset();
}

void FormDeviceTest::stickWithoutAccessSaysSo() {
  auto model = std::make_shared<StickModel>(RisingBlock(5, 10, 12), true);
  SimDevice device = Stick(model);
  device.readWrite = false;
  DeviceFixture f([&](SimBackend& sim) { sim.Plug(device, Announce::Later); });

  QTRY_COMPARE(f.status(), QString::fromStdU16String(kStickName) + QStringLiteral(" (no access)"));
  QVERIFY(f.ui().sLabelFX3->toolTip().contains(QStringLiteral("udev")));
  QTRY_VERIFY(!f.form->Timer3->isActive());
  QCOMPARE(f.value(0, ParamKind::Resolution), 8.0);  // the failed read left the grid alone
  QTRY_COMPARE(f.ui().img_Target->imageIndex(), 0);
  // The cause, not the failed read it brings, stays in the status line.
  QCOMPARE(f.status(), QString::fromStdU16String(kStickName) + QStringLiteral(" (no access)"));

  // A German window says it in German.
  f.ui().RadioButton2->click();
  QCOMPARE(f.status(), QString::fromStdU16String(kStickName) + QStringLiteral(" (kein Zugriff)"));
  QVERIFY(f.ui().sLabelFX3->toolTip().contains(QStringLiteral("udev-Regel")));

  f.sim->Pull(f.sim->OpenedPaths().front());
  QCOMPARE(f.status(), QStringLiteral("Flightstick nicht angeschlossen"));
  QVERIFY(f.ui().sLabelFX3->toolTip().isEmpty());
}

void FormDeviceTest::stickWithoutNameOrCaps() {
  auto model = std::make_shared<StickModel>();
  DeviceFixture f([&](SimBackend& sim) { sim.Plug(Stick(model, 0, u""), Announce::Later); });
  QTRY_VERIFY(f.form->CurDevice != nullptr);
  QCOMPARE(f.status(), QString());
  QCOMPARE(f.form->FeatureLen, 0);
  QTRY_COMPARE(f.ui().img_Target->imageIndex(), 0);
  QTRY_VERIFY(!f.form->Timer3->isActive());
  QVERIFY(model->Received().empty());  // nothing can be sent with no length
  QCOMPARE(f.status(), QStringLiteral(" (read failed)"));  // and that is not hidden
}

void FormDeviceTest::featureLengthKeepsItsLowByte() {
  auto model = std::make_shared<StickModel>();
  DeviceFixture f([&](SimBackend& sim) { sim.Plug(Stick(model, 0x120), Announce::Later); });
  QTRY_VERIFY(f.form->CurDevice != nullptr);
  QCOMPARE(f.form->FeatureLen, 0x20);
  QTRY_COMPARE(model->Received().size(), std::size_t{2});
  QCOMPARE(model->Received().front().size(), std::size_t{0x20});
}

// The product string comes from the device: it is shown as plain text, never as markup.
void FormDeviceTest::productNameIsShownAsWritten() {
  const std::u16string name = u"<b>Stick</b> <img src=\"/etc/hostname\">";
  auto model = std::make_shared<StickModel>();
  DeviceFixture f([&](SimBackend& sim) { sim.Plug(Stick(model, 64, name), Announce::Later); });
  QTRY_VERIFY(f.form->CurDevice != nullptr);
  QCOMPARE(f.status(), QString::fromStdU16String(name));
  QCOMPARE(f.ui().sLabelFX3->textFormat(), Qt::PlainText);
}

QTEST_MAIN(FormDeviceTest)
#include "tst_form_device.moc"
