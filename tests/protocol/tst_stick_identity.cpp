#include <QTest>

#include <string>

#include "stick_identity.h"

using namespace vorlane;

class StickIdentityTest : public QObject {
  Q_OBJECT

 private slots:
  void asciiUpper_data();
  void asciiUpper();
  void isStick_data();
  void isStick();
  void comparesTheWholeGuidText();
};

void StickIdentityTest::asciiUpper_data() {
  QTest::addColumn<QByteArray>("text");
  QTest::addColumn<QByteArray>("upper");
  QTest::newRow("letters") << QByteArray("azAZ") << QByteArray("AZAZ");
  QTest::newRow("neighbours of a..z") << QByteArray("`{@[") << QByteArray("`{@[");
  QTest::newRow("guid") << QByteArray("{745a17a0-74d3-11d0-b6fe-00a0c90f57da}")
                        << QByteArray("{745A17A0-74D3-11D0-B6FE-00A0C90F57DA}");
  QTest::newRow("non-ASCII bytes unchanged") << QByteArray("\xE4\xFC\xDF") << QByteArray("\xE4\xFC\xDF");
  QTest::newRow("empty") << QByteArray() << QByteArray();
}

void StickIdentityTest::asciiUpper() {
  QFETCH(QByteArray, text);
  QFETCH(QByteArray, upper);
  QCOMPARE(QByteArray::fromStdString(AsciiUpper(text.toStdString())), upper);
}

void StickIdentityTest::isStick_data() {
  QTest::addColumn<QByteArray>("guid");
  QTest::addColumn<int>("vendorId");
  QTest::addColumn<int>("productId");
  QTest::addColumn<bool>("stick");

  const QByteArray hid("{745A17A0-74D3-11D0-B6FE-00A0C90F57DA}");
  QTest::newRow("the stick") << hid << 0x11C0 << 0x5606 << true;
  QTest::newRow("lower-case guid") << hid.toLower() << 0x11C0 << 0x5606 << true;
  QTest::newRow("wrong vendor") << hid << 0x11C1 << 0x5606 << false;
  // 0xF332 itself is the code, not the product id.
  QTest::newRow("product id not XORed") << hid << 0x11C0 << 0xF332 << false;
  QTest::newRow("wrong product") << hid << 0x11C0 << 0x5607 << false;
  QTest::newRow("other class") << QByteArray("{4D36E96B-E325-11CE-BFC1-08002BE10318}") << 0x11C0
                               << 0x5606 << false;
  QTest::newRow("guid with a trailing blank") << hid + ' ' << 0x11C0 << 0x5606 << false;
  QTest::newRow("guid without braces") << hid.mid(1, hid.size() - 2) << 0x11C0 << 0x5606 << false;
  QTest::newRow("guid cut by one") << hid.chopped(1) << 0x11C0 << 0x5606 << false;
  QTest::newRow("empty guid") << QByteArray() << 0x11C0 << 0x5606 << false;
}

void StickIdentityTest::isStick() {
  QFETCH(QByteArray, guid);
  QFETCH(int, vendorId);
  QFETCH(int, productId);
  QFETCH(bool, stick);

  HidAttributes attributes;
  attributes.VendorID = std::uint16_t(vendorId);
  attributes.ProductID = std::uint16_t(productId);
  attributes.VersionNumber = 0x0100;
  QCOMPARE(IsStick(guid.toStdString(), attributes, kStickVendorId, kStickProductCode), stick);
}

void StickIdentityTest::comparesTheWholeGuidText() {
  // An embedded NUL must not end the comparison early.
  std::string guid(kHidClassGuidText);
  guid.push_back('\0');
  const HidAttributes attributes{kStickVendorId, kStickProductId, 0};
  QVERIFY(IsStick(kHidClassGuidText, attributes, kStickVendorId, kStickProductCode));
  QVERIFY(!IsStick(guid, attributes, kStickVendorId, kStickProductCode));
  // The vendor id and product code to look for come from the caller.
  QVERIFY(!IsStick(kHidClassGuidText, attributes, 0x1234, kStickProductCode));
  QVERIFY(IsStick(kHidClassGuidText, HidAttributes{0x1234, 0x0000, 0}, 0x1234, kProductIdMask));
}

QTEST_APPLESS_MAIN(StickIdentityTest)
#include "tst_stick_identity.moc"
