// The report descriptor parser: the feature report length as Windows' capability
// record gives it, for hand-written descriptors of real devices and for broken ones.
#include <QByteArrayList>
#include <QTest>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "report_descriptor.h"

using vorlane::FeatureReportInfo;
using vorlane::kMaxPushDepth;
using vorlane::ParseFeatureReports;

namespace {

QByteArray bytes(std::initializer_list<std::uint8_t> values) {
  QByteArray result;
  for (std::uint8_t value : values) {
    result.append(static_cast<char>(value));
  }
  return result;
}

QByteArray repeated(std::uint8_t item, std::size_t times) {
  return QByteArray(static_cast<qsizetype>(times), static_cast<char>(item));
}

// Parses a copy that ends exactly where the descriptor ends, so that the sanitizer
// build catches a read past the end (QByteArray keeps a terminator behind its data).
FeatureReportInfo parse(const QByteArray& descriptor) {
  const std::vector<std::uint8_t> copy(descriptor.begin(), descriptor.end());
  return ParseFeatureReports(copy);
}

// A joystick: two 16-bit axes and eight buttons in input report 1, and the
// vendor-defined configuration feature report 0x59 with 29 bytes of data.
const QByteArrayList kJoystickItems = {
    bytes({0x05, 0x01}),              // Usage Page (Generic Desktop)
    bytes({0x09, 0x04}),              // Usage (Joystick)
    bytes({0xA1, 0x01}),              // Collection (Application)
    bytes({0x85, 0x01}),              //   Report ID (1)
    bytes({0x09, 0x30}),              //   Usage (X)
    bytes({0x09, 0x31}),              //   Usage (Y)
    bytes({0x15, 0x00}),              //   Logical Minimum (0)
    bytes({0x26, 0xFF, 0x0F}),        //   Logical Maximum (4095)
    bytes({0x75, 0x10}),              //   Report Size (16)
    bytes({0x95, 0x02}),              //   Report Count (2)
    bytes({0x81, 0x02}),              //   Input (Data, Variable, Absolute)
    bytes({0x05, 0x09}),              //   Usage Page (Button)
    bytes({0x19, 0x01}),              //   Usage Minimum (1)
    bytes({0x29, 0x08}),              //   Usage Maximum (8)
    bytes({0x25, 0x01}),              //   Logical Maximum (1)
    bytes({0x75, 0x01}),              //   Report Size (1)
    bytes({0x95, 0x08}),              //   Report Count (8)
    bytes({0x81, 0x02}),              //   Input (Data, Variable, Absolute)
    bytes({0x06, 0x00, 0xFF}),        //   Usage Page (Vendor Defined 0xFF00)
    bytes({0x85, 0x59}),              //   Report ID (0x59)
    bytes({0x09, 0x01}),              //   Usage (1)
    bytes({0x26, 0xFF, 0x00}),        //   Logical Maximum (255)
    bytes({0x75, 0x08}),              //   Report Size (8)
    bytes({0x95, 0x1D}),              //   Report Count (29)
    bytes({0xB1, 0x02}),              //   Feature (Data, Variable, Absolute)
    bytes({0xC0}),                    // End Collection
};

// Push/Pop around a 32-bit field, a long item, four-byte data and a local item,
// without report ids: 4 x 32 bits + 2 x 8 bits of feature data.
const QByteArrayList kPushPopItems = {
    bytes({0x06, 0x00, 0xFF}),              // Usage Page (Vendor Defined 0xFF00)
    bytes({0x09, 0x01}),                    // Usage (1)
    bytes({0xA1, 0x01}),                    // Collection (Application)
    bytes({0x75, 0x08}),                    //   Report Size (8)
    bytes({0x95, 0x02}),                    //   Report Count (2)
    bytes({0xA4}),                          //   Push
    bytes({0x77, 0x20, 0x00, 0x00, 0x00}),  //   Report Size (32), four bytes
    bytes({0x97, 0x04, 0x00, 0x00, 0x00}),  //   Report Count (4), four bytes
    bytes({0xFE, 0x03, 0xF0, 0xB1, 0x02, 0x00}),  // long item, 3 bytes of data
    bytes({0x0A, 0x02, 0x01}),              //   Usage (0x0102)
    bytes({0xB1, 0x02}),                    //   Feature (Data, Variable, Absolute)
    bytes({0xB4}),                          //   Pop
    bytes({0xB1, 0x02}),                    //   Feature (Data, Variable, Absolute)
    bytes({0xC0}),                          // End Collection
};

}  // namespace

class TestReportDescriptor : public QObject {
  Q_OBJECT

 private slots:
  void featureReportLength_data();
  void featureReportLength();
  void everyPrefix_data();
  void everyPrefix();
};

void TestReportDescriptor::featureReportLength_data() {
  QTest::addColumn<QByteArray>("descriptor");
  QTest::addColumn<qulonglong>("length");
  QTest::addColumn<bool>("usesReportIds");
  QTest::addColumn<bool>("malformed");

  QTest::newRow("empty") << QByteArray() << 0ull << false << false;

  QTest::newRow("joystick, feature report 0x59 of 29 bytes")
      << kJoystickItems.join() << 1ull + 29 << true << false;

  QTest::newRow("feature report 0x59 of 63 bytes beside input and output 0x59")
      << bytes({0x06, 0x00, 0xFF,    // Usage Page (Vendor Defined 0xFF00)
                0x09, 0x01,          // Usage (1)
                0xA1, 0x01,          // Collection (Application)
                0x85, 0x59,          //   Report ID (0x59)
                0x75, 0x08,          //   Report Size (8)
                0x95, 0x08,          //   Report Count (8)
                0x09, 0x02,          //   Usage (2)
                0x81, 0x02,          //   Input: 8 bytes
                0x96, 0x3F, 0x00,    //   Report Count (63), two bytes
                0x09, 0x03,          //   Usage (3)
                0xB1, 0x02,          //   Feature: 63 bytes
                0x96, 0x40, 0x00,    //   Report Count (64), two bytes
                0x09, 0x04,          //   Usage (4)
                0x91, 0x02,          //   Output: 64 bytes
                0xC0})               // End Collection
      << 1ull + 63 << true << false;

  QTest::newRow("input report longer than the feature report")
      << bytes({0x05, 0x01, 0x09, 0x04, 0xA1, 0x01,  // Joystick application collection
                0x85, 0x01,                          //   Report ID (1)
                0x75, 0x10, 0x95, 0x20,              //   32 x 16 bits
                0x81, 0x02,                          //   Input: 64 bytes
                0x85, 0x59,                          //   Report ID (0x59)
                0x75, 0x08, 0x95, 0x1D,              //   29 x 8 bits
                0xB1, 0x02,                          //   Feature: 29 bytes
                0xC0})
      << 1ull + 29 << true << false;

  QTest::newRow("several feature reports, the longest in the middle")
      << bytes({0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01,  // Vendor application collection
                0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08,  //   bytes 0..255
                0x85, 0x02, 0x95, 0x07, 0x09, 0x01, 0xB1, 0x02,  // id 2: 7 bytes
                0x85, 0x03, 0x95, 0x3F, 0x09, 0x02, 0xB1, 0x02,  // id 3: 63 bytes
                0x85, 0x04, 0x95, 0x10, 0x09, 0x03, 0xB1, 0x02,  // id 4: 16 bytes
                0xC0})
      << 1ull + 63 << true << false;

  QTest::newRow("one feature report declared in two places")
      << bytes({0x75, 0x08,
                0x85, 0x05, 0x95, 0x0A, 0xB1, 0x02,  // id 5: 10 bytes
                0x85, 0x06, 0x95, 0x0C, 0xB1, 0x02,  // id 6: 12 bytes
                0x85, 0x05, 0x95, 0x08, 0xB1, 0x02}) // id 5: 8 more bytes
      << 1ull + 18 << true << false;

  QTest::newRow("no report ids, the id byte still counts")
      << bytes({0x05, 0x01, 0x09, 0x04, 0xA1, 0x01,  // Joystick application collection
                0x09, 0x30, 0x15, 0x00, 0x26, 0xFF, 0x03,  // X, 0..1023
                0x75, 0x0A, 0x95, 0x01, 0x81, 0x02,  //   Input: 10 bits
                0x75, 0x06, 0x81, 0x03,              //   Input: 6 bits padding
                0x06, 0x00, 0xFF, 0x09, 0x01,        //   Vendor usage
                0x75, 0x08, 0x95, 0x08, 0xB1, 0x02,  //   Feature: 8 bytes
                0xC0})
      << 1ull + 8 << false << false;

  QTest::newRow("bits of a report are summed before rounding to bytes")
      << bytes({0x75, 0x01, 0x95, 0x03, 0xB1, 0x02,   // Feature: 3 bits
                0x75, 0x05, 0x95, 0x01, 0xB1, 0x03})  // Feature (Constant): 5 bits
      << 1ull + 1 << false << false;

  QTest::newRow("a partly used byte counts")
      << bytes({0x75, 0x04, 0x95, 0x03, 0xB1, 0x02})  // Feature: 12 bits
      << 1ull + 2 << false << false;

  QTest::newRow("input and output only")
      << bytes({0x05, 0x01, 0x09, 0x06, 0xA1, 0x01,  // Keyboard application collection
                0x85, 0x01,                          //   Report ID (1)
                0x05, 0x07, 0x19, 0xE0, 0x29, 0xE7,  //   modifier keys
                0x15, 0x00, 0x25, 0x01, 0x75, 0x01, 0x95, 0x08, 0x81, 0x02,
                0x95, 0x01, 0x75, 0x08, 0x81, 0x03,  //   reserved byte
                0x95, 0x05, 0x75, 0x01, 0x05, 0x08,  //   five LEDs
                0x19, 0x01, 0x29, 0x05, 0x91, 0x02,
                0x95, 0x01, 0x75, 0x03, 0x91, 0x03,  //   LED padding
                0x95, 0x06, 0x75, 0x08, 0x25, 0x65,  //   six key codes
                0x05, 0x07, 0x19, 0x00, 0x29, 0x65, 0x81, 0x00,
                0xC0})
      << 0ull << true << false;

  QTest::newRow("Pop restores Report Size and Report Count")
      << kPushPopItems.join() << 1ull + (4 * 32 + 2 * 8) / 8 << false << false;

  QTest::newRow("Pop restores the Report ID")
      << bytes({0x85, 0x01, 0x75, 0x08, 0x95, 0x0A,  // id 1, 10 x 8 bits
                0xA4,                                // Push
                0x85, 0x02, 0x95, 0x04, 0xB1, 0x02,  //   id 2: 4 bytes
                0xB4,                                // Pop
                0xB1, 0x02})                         // id 1: 10 bytes
      << 1ull + 10 << true << false;

  QTest::newRow("nested Pop restores the latest Push first")
      << bytes({0x75, 0x08, 0x95, 0x02, 0xA4,        // Push (8 x 2)
                0x75, 0x10, 0x95, 0x03, 0xA4,        // Push (16 x 3)
                0x75, 0x01, 0x95, 0x01,
                0xB4, 0xB1, 0x02,                    // Pop, Feature: 6 bytes
                0xB4})                               // Pop
      << 1ull + 6 << false << false;

  QTest::newRow("Pop without Push is ignored")
      << bytes({0x75, 0x08, 0x95, 0x04, 0xB4, 0xB1, 0x02})
      << 1ull + 4 << false << true;

  const QByteArray eightByTwo = bytes({0x75, 0x08, 0x95, 0x02});
  const QByteArray thirtyTwoByFour = bytes({0x75, 0x20, 0x95, 0x04});
  const QByteArray feature = bytes({0xB1, 0x02});
  QTest::newRow("Push nested as deep as allowed")
      << eightByTwo + repeated(0xA4, kMaxPushDepth) + thirtyTwoByFour +
             repeated(0xB4, kMaxPushDepth) + feature
      << 1ull + 2 << false << false;

  // The Push beyond the limit is ignored, and so is the Pop that would match it.
  QTest::newRow("Push nested too deep")
      << eightByTwo + repeated(0xA4, kMaxPushDepth + 1) + thirtyTwoByFour +
             repeated(0xB4, kMaxPushDepth + 1) + feature
      << 1ull + 2 << false << true;

  QTest::newRow("long item between the items of a feature")
      << bytes({0x75, 0x08, 0x95, 0x04,
                0xFE, 0x04, 0xF0, 0xB1, 0x02, 0xB1, 0x02,  // long item, data as Features
                0xB1, 0x02})
      << 1ull + 4 << false << false;

  QTest::newRow("long item without data")
      << bytes({0x75, 0x08, 0xFE, 0x00, 0xF0, 0x95, 0x04, 0xB1, 0x02})
      << 1ull + 4 << false << false;

  QTest::newRow("local and reserved items are skipped with their data")
      << bytes({0x75, 0x08, 0x95, 0x04,
                0x0A, 0xB1, 0x02,                    // Usage (0x02B1)
                0x0F, 0xB1, 0x02, 0xB1, 0x02,        // reserved type, four bytes
                0xB1, 0x02})
      << 1ull + 4 << false << false;

  QTest::newRow("four-byte data")
      << bytes({0x77, 0x08, 0x00, 0x00, 0x00,        // Report Size (8)
                0x97, 0x1D, 0x00, 0x00, 0x00,        // Report Count (29)
                0x27, 0xFF, 0xFF, 0xFF, 0xB1,        // Logical Maximum, last byte 0xB1
                0xB1, 0x02})
      << 1ull + 29 << false << false;

  QTest::newRow("one-byte Report Count 255 is unsigned")
      << bytes({0x75, 0x08, 0x95, 0xFF, 0xB1, 0x02}) << 1ull + 255 << false << false;

  QTest::newRow("two-byte Report Count 256")
      << bytes({0x75, 0x08, 0x96, 0x00, 0x01, 0xB1, 0x02}) << 1ull + 256 << false << false;

  // (2^32 - 1)^2 bits, rounded up to bytes, plus the id byte.
  const QByteArray largest = bytes({0x77, 0xFF, 0xFF, 0xFF, 0xFF, 0x97, 0xFF, 0xFF, 0xFF, 0xFF});
  QTest::newRow("largest Report Size times largest Report Count")
      << largest + feature << 2305843008139952130ull << false << false;

  // The sum saturates at 2^64 - 1 bits: 2^61 bytes plus the id byte.
  QTest::newRow("feature bits beyond 64 bits saturate")
      << largest + feature + feature << 2305843009213693953ull << false << false;

  QTest::newRow("Report ID 0 is reserved")
      << bytes({0x85, 0x00, 0x75, 0x08, 0x95, 0x04, 0xB1, 0x02})
      << 1ull + 4 << false << true;

  QTest::newRow("Report ID above 255 is ignored")
      << bytes({0x85, 0x01, 0x75, 0x08, 0x95, 0x04, 0xB1, 0x02,  // id 1: 4 bytes
                0x86, 0x00, 0x01,                                // Report ID (256)
                0x95, 0x08, 0xB1, 0x02})                         // still id 1: 8 bytes
      << 1ull + 12 << true << true;

  QTest::newRow("two-byte Report ID")
      << bytes({0x86, 0x59, 0x00, 0x75, 0x08, 0x95, 0x1D, 0xB1, 0x02})
      << 1ull + 29 << true << false;

  const QByteArray fourBytes = bytes({0x75, 0x08, 0x95, 0x04, 0xB1, 0x02});
  QTest::newRow("cut inside two-byte data")
      << kJoystickItems.join() + bytes({0x85, 0x02, 0x96, 0x10})
      << 1ull + 29 << true << true;
  QTest::newRow("cut inside four-byte data")
      << fourBytes + bytes({0x97, 0x01, 0x00, 0x00}) << 1ull + 4 << false << true;
  QTest::newRow("cut after a Feature prefix")
      << fourBytes + bytes({0x95, 0x10, 0xB1}) << 1ull + 4 << false << true;
  QTest::newRow("lone long item prefix") << bytes({0xFE}) << 0ull << false << true;
  QTest::newRow("cut inside a long item header")
      << fourBytes + bytes({0xFE, 0x05}) << 1ull + 4 << false << true;
  QTest::newRow("cut inside long item data")
      << fourBytes + bytes({0xFE, 0x05, 0xF0, 0xB1, 0x02, 0xB1}) << 1ull + 4 << false << true;
}

void TestReportDescriptor::featureReportLength() {
  QFETCH(QByteArray, descriptor);
  QFETCH(qulonglong, length);
  QFETCH(bool, usesReportIds);
  QFETCH(bool, malformed);

  const FeatureReportInfo info = parse(descriptor);

  QCOMPARE(qulonglong{info.featureReportByteLength}, length);
  QCOMPARE(info.usesReportIds, usesReportIds);
  QCOMPARE(info.malformed, malformed);
}

void TestReportDescriptor::everyPrefix_data() {
  QTest::addColumn<QByteArrayList>("items");
  QTest::addColumn<qulonglong>("length");

  QTest::newRow("joystick") << kJoystickItems << 1ull + 29;
  QTest::newRow("Push, Pop and a long item") << kPushPopItems << 1ull + (4 * 32 + 2 * 8) / 8;
}

// A descriptor cut anywhere reads as the items before the cut and is flagged as
// malformed unless the cut falls between two items.
void TestReportDescriptor::everyPrefix() {
  QFETCH(QByteArrayList, items);
  QFETCH(qulonglong, length);

  const QByteArray whole = items.join();
  std::vector<qsizetype> itemEnds = {0};
  for (const QByteArray& item : items) {
    itemEnds.push_back(itemEnds.back() + item.size());
  }

  FeatureReportInfo complete;
  for (qsizetype cut = 0; cut <= whole.size(); ++cut) {
    const FeatureReportInfo info = parse(whole.first(cut));
    const QByteArray where = "cut after " + QByteArray::number(cut) + " bytes";
    if (std::ranges::binary_search(itemEnds, cut)) {
      QVERIFY2(!info.malformed, where);
      QVERIFY2(info.featureReportByteLength >= complete.featureReportByteLength, where);
      complete = info;
    } else {
      QVERIFY2(info.malformed, where);
      QVERIFY2(info.featureReportByteLength == complete.featureReportByteLength, where);
      QVERIFY2(info.usesReportIds == complete.usesReportIds, where);
    }
  }
  QCOMPARE(qulonglong{complete.featureReportByteLength}, length);
}

QTEST_APPLESS_MAIN(TestReportDescriptor)
#include "tst_report_descriptor.moc"
