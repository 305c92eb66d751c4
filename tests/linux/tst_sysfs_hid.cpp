// Values read from sysfs: the ids in HID_ID, product strings, and the feature report
// length taken from a report descriptor.
#include <QTest>

#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "sysfs_hid.h"

using vorlane::linux_hid::FeatureReportByteLengthOf;
using vorlane::linux_hid::ParseHidId;
using vorlane::linux_hid::ProductString;
using vorlane::linux_hid::Utf8ToUtf16;

namespace {

std::string_view view(const QByteArray& text) {
  return {text.constData(), static_cast<std::size_t>(text.size())};
}

}  // namespace

class TestSysfsHid : public QObject {
  Q_OBJECT

 private slots:
  void parseHidId_data() {
    QTest::addColumn<QByteArray>("hidId");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("vendor");
    QTest::addColumn<int>("product");

    QTest::newRow("usb, upper case") << QByteArray("0003:000011C0:00005606") << true << 0x11C0 << 0x5606;
    QTest::newRow("usb, lower case") << QByteArray("0003:000011c0:0000abcd") << true << 0x11C0 << 0xABCD;
    QTest::newRow("mixed case") << QByteArray("0003:0000aBcD:0000Ef01") << true << 0xABCD << 0xEF01;
    QTest::newRow("bluetooth") << QByteArray("0005:00007A11:00000042") << true << 0x7A11 << 0x0042;
    QTest::newRow("i2c") << QByteArray("0018:00003C02:00001001") << true << 0x3C02 << 0x1001;
    QTest::newRow("virtual") << QByteArray("0006:00001234:00005678") << true << 0x1234 << 0x5678;
    QTest::newRow("bus ffff") << QByteArray("FFFF:00000001:00000002") << true << 0x0001 << 0x0002;
    QTest::newRow("zero ids") << QByteArray("0000:00000000:00000000") << true << 0 << 0;
    QTest::newRow("largest ids") << QByteArray("0003:0000FFFF:0000FFFF") << true << 0xFFFF << 0xFFFF;

    QTest::newRow("empty") << QByteArray() << false << 0 << 0;
    QTest::newRow("short fields") << QByteArray("0003:11C0:5606") << false << 0 << 0;
    QTest::newRow("no product") << QByteArray("0003:000011C0") << false << 0 << 0;
    QTest::newRow("extra field") << QByteArray("0003:000011C0:00005606:0001") << false << 0 << 0;
    QTest::newRow("trailing newline") << QByteArray("0003:000011C0:00005606\n") << false << 0 << 0;
    QTest::newRow("trailing blank") << QByteArray("0003:000011C0:0000560 ") << false << 0 << 0;
    QTest::newRow("leading blank") << QByteArray(" 003:000011C0:00005606") << false << 0 << 0;
    QTest::newRow("not hex") << QByteArray("0003:000011C0:0000560G") << false << 0 << 0;
    QTest::newRow("not hex in bus") << QByteArray("00x3:000011C0:00005606") << false << 0 << 0;
    QTest::newRow("hex prefix") << QByteArray("0003:0x0011C0:00005606") << false << 0 << 0;
    QTest::newRow("plus sign") << QByteArray("0003:+00011C0:00005606") << false << 0 << 0;
    QTest::newRow("minus sign") << QByteArray("0003:-00011C0:00005606") << false << 0 << 0;
    QTest::newRow("other separator") << QByteArray("0003-000011C0-00005606") << false << 0 << 0;
    QTest::newRow("colon misplaced") << QByteArray("00003:00011C0:00005606") << false << 0 << 0;
    QTest::newRow("empty fields") << QByteArray("::") << false << 0 << 0;
    // Cut to 16 bits these would read as vendor 0x11C0 and product 0xA534.
    QTest::newRow("vendor beyond 16 bits") << QByteArray("0006:000111C0:0000A534") << false << 0 << 0;
    QTest::newRow("product beyond 16 bits") << QByteArray("0006:000011C0:8000A534") << false << 0 << 0;
  }

  void parseHidId() {
    QFETCH(QByteArray, hidId);
    QFETCH(bool, valid);
    QFETCH(int, vendor);
    QFETCH(int, product);

    // An exact-length copy, so that the sanitizer build sees a read past the end.
    const std::vector<char> copy(hidId.begin(), hidId.end());
    const auto attributes = ParseHidId({copy.data(), copy.size()});
    QCOMPARE(attributes.has_value(), valid);
    if (!valid) return;
    QCOMPARE(int(attributes->VendorID), vendor);
    QCOMPARE(int(attributes->ProductID), product);
    QCOMPARE(int(attributes->VersionNumber), 0);
  }

  void utf8ToUtf16_data() {
    QTest::addColumn<QByteArray>("utf8");
    QTest::addColumn<QString>("expected");

    QTest::newRow("empty") << QByteArray() << QString();
    QTest::newRow("ascii") << QByteArray("Flight Stick 2") << QString::fromUtf16(u"Flight Stick 2");
    QTest::newRow("two-byte letters")
        << QByteArray("Flugkn\xC3\xBC" "ppel \xC3\x9F") << QString::fromUtf16(u"Flugkn\u00FCppel \u00DF");
    QTest::newRow("three-byte letters")
        << QByteArray("\xE6\x93\x8D\xE7\xBA\xB5\xE6\x9D\x86") << QString::fromUtf16(u"\u64CD\u7EB5\u6746");
    QTest::newRow("beyond the basic plane, a surrogate pair")
        << QByteArray("Stick \xF0\x9F\x95\xB9") << QString::fromUtf16(u"Stick \U0001F579");
    QTest::newRow("invalid byte") << QByteArray("A\xFF" "B") << QString::fromUtf16(u"A\uFFFDB");
    QTest::newRow("cut sequence at the end") << QByteArray("A\xC3") << QString::fromUtf16(u"A\uFFFD");
  }

  void utf8ToUtf16() {
    QFETCH(QByteArray, utf8);
    QFETCH(QString, expected);
    QCOMPARE(QString::fromStdU16String(Utf8ToUtf16(view(utf8))), expected);
  }

  void productString_data() {
    QTest::addColumn<bool>("hasUsbProduct");
    QTest::addColumn<QByteArray>("usbProduct");
    QTest::addColumn<bool>("hasHidName");
    QTest::addColumn<QByteArray>("hidName");
    QTest::addColumn<QString>("expected");

    QTest::newRow("usb product before the hid name")
        << true << QByteArray("Flight Stick") << true << QByteArray("Maker Flight Stick")
        << QString::fromUtf16(u"Flight Stick");
    QTest::newRow("usb product without a hid name")
        << true << QByteArray("Flight Stick") << false << QByteArray() << QString::fromUtf16(u"Flight Stick");
    QTest::newRow("no usb device: the hid name")
        << false << QByteArray() << true << QByteArray("Virtual Stick") << QString::fromUtf16(u"Virtual Stick");
    QTest::newRow("neither") << false << QByteArray() << false << QByteArray() << QString();
    QTest::newRow("usb product, non-ascii")
        << true << QByteArray("Flugkn\xC3\xBCppel") << true << QByteArray("Name")
        << QString::fromUtf16(u"Flugkn\u00FCppel");
    QTest::newRow("hid name, non-ascii")
        << false << QByteArray() << true << QByteArray("Kn\xC3\xBCppel \xE2\x84\xA2")
        << QString::fromUtf16(u"Kn\u00FCppel \u2122");
  }

  void productString() {
    QFETCH(bool, hasUsbProduct);
    QFETCH(QByteArray, usbProduct);
    QFETCH(bool, hasHidName);
    QFETCH(QByteArray, hidName);
    QFETCH(QString, expected);

    const std::u16string product = ProductString(hasUsbProduct ? usbProduct.constData() : nullptr,
                                                 hasHidName ? hidName.constData() : nullptr);
    QCOMPARE(QString::fromStdU16String(product), expected);
  }

  void featureReportByteLength_data() {
    QTest::addColumn<QByteArray>("descriptor");
    QTest::addColumn<int>("expected");

    // Vendor page collection with one feature report of `count` bytes.
    const auto feature = [](std::initializer_list<std::uint8_t> reportIdAndCount) {
      QByteArray d("\x06\x00\xFF\x09\x01\xA1\x01", 7);
      for (std::uint8_t b : reportIdAndCount) d.append(static_cast<char>(b));
      d.append("\x75\x08\x09\x02\xB1\x02\xC0", 7);
      return d;
    };

    QTest::newRow("empty descriptor") << QByteArray() << 0;
    QTest::newRow("input report only")
        << QByteArray("\x05\x01\x09\x04\xA1\x01\x75\x08\x95\x04\x09\x30\x81\x02\xC0", 15) << 0;
    QTest::newRow("report 0x59, 127 bytes") << feature({0x85, 0x59, 0x95, 0x7F}) << 128;
    QTest::newRow("no report ids, 8 bytes: the id byte still counts") << feature({0x95, 0x08}) << 9;
    QTest::newRow("longest that fits 16 bits") << feature({0x96, 0xFE, 0xFF}) << 0xFFFF;
    QTest::newRow("one byte beyond 16 bits") << feature({0x96, 0xFF, 0xFF}) << 0;
    QTest::newRow("far beyond 16 bits") << feature({0x97, 0xFF, 0xFF, 0xFF, 0x7F}) << 0;
  }

  void featureReportByteLength() {
    QFETCH(QByteArray, descriptor);
    QFETCH(int, expected);

    const std::vector<std::uint8_t> bytes(descriptor.begin(), descriptor.end());
    QCOMPARE(int(FeatureReportByteLengthOf(bytes)), expected);
  }
};

QTEST_GUILESS_MAIN(TestSysfsHid)
#include "tst_sysfs_hid.moc"
