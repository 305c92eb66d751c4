// The hidraw io without a hidraw node: what it keeps from sysfs, how it fails, and
// that it gives its descriptor back.
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <cstdint>
#include <memory>
#include <vector>

#include "hidraw_device_io.h"

using vorlane::HidCaps;
using vorlane::linux_hid::HidrawDeviceIo;

namespace {

HidCaps featureCaps(std::uint16_t length) {
  HidCaps caps;
  caps.FeatureReportByteLength = length;
  return caps;
}

bool isOpen(int fd) { return ::fcntl(fd, F_GETFD) != -1 || errno != EBADF; }

}  // namespace

class TestHidrawDeviceIo : public QObject {
  Q_OBJECT

 private slots:
  void failedOpenKeepsSysfsValuesAndFailsTransfers_data() {
    QTest::addColumn<int>("openError");
    QTest::addColumn<bool>("denied");
    QTest::newRow("EACCES: no access rights") << EACCES << true;
    QTest::newRow("EPERM: not permitted") << EPERM << true;
    QTest::newRow("EBUSY") << EBUSY << false;
    QTest::newRow("EIO") << EIO << false;
    QTest::newRow("EMFILE: out of descriptors") << EMFILE << false;
  }

  // Only a refusal of the rights counts as "no access"; every failed open makes the
  // transfers fail with the open's error, never reaching an ioctl.
  void failedOpenKeepsSysfsValuesAndFailsTransfers() {
    QFETCH(int, openError);
    QFETCH(bool, denied);
    HidrawDeviceIo io(-1, openError, featureCaps(128), u"Flugkn\u00FCppel");

    QVERIFY(!io.readWrite());
    QCOMPARE(io.accessDenied(), denied);
    QCOMPARE(int(io.caps().FeatureReportByteLength), 128);
    QCOMPARE(QString::fromStdU16String(io.productString()), QString::fromUtf16(u"Flugkn\u00FCppel"));

    std::array<std::uint8_t, 128> report{0x59};
    for (const vorlane::TransferResult& r :
         {io.SetFeature(report.data(), report.size()), io.GetFeature(report.data(), report.size())}) {
      QVERIFY(!r.ok);
      QCOMPARE(r.systemError, openError);
      QVERIFY2(r.message.find(std::strerror(openError)) != std::string::npos, r.message.c_str());
    }
    QCOMPARE(int(report[0]), 0x59);
  }

  void openNodeIsNeitherDeniedNorFailed() {
    const int fd = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    QVERIFY(fd >= 0);
    HidrawDeviceIo io(fd, EACCES, featureCaps(0), {});  // an error beside a node is ignored
    QVERIFY(io.readWrite());
    QVERIFY(!io.accessDenied());
  }

  void transfersReportTheSystemsRefusal_data() {
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("systemError");  // 0: refused before any ioctl
    QTest::newRow("nothing") << 0 << 0;
    QTest::newRow("report id only") << 1 << ENOTTY;
    QTest::newRow("one report") << 128 << ENOTTY;
    QTest::newRow("longest an ioctl carries") << 16383 << ENOTTY;
    QTest::newRow("longer than an ioctl carries") << 16384 << 0;
  }

  // A node that is not hidraw refuses the ioctls; the io must say so, with the
  // system's error code and its text.
  void transfersReportTheSystemsRefusal() {
    QFETCH(int, size);
    QFETCH(int, systemError);
    const int fd = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    QVERIFY(fd >= 0);
    HidrawDeviceIo io(fd, 0, featureCaps(0), {});
    QVERIFY(io.readWrite());

    // One byte more than handed over, behind the report id, to see nothing is written.
    std::vector<std::uint8_t> report(static_cast<std::size_t>(size) + 2, 0xA5);
    report[0] = 0x59;
    const auto length = static_cast<std::size_t>(size);
    for (const vorlane::TransferResult& r :
         {io.SetFeature(report.data(), length), io.GetFeature(report.data(), length)}) {
      QVERIFY(!r.ok);
      QCOMPARE(r.systemError, systemError);
      if (systemError != 0) {
        QVERIFY2(r.message.find(std::strerror(systemError)) != std::string::npos, r.message.c_str());
      }
      QVERIFY(!r.message.empty());
    }
    QCOMPARE(int(report[0]), 0x59);
    QCOMPARE(int(report.back()), 0xA5);
  }

  void closesItsDescriptor() {
    const int fd = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    QVERIFY(fd >= 0);
    auto io = std::make_unique<HidrawDeviceIo>(fd, 0, featureCaps(0), std::u16string());
    QVERIFY(isOpen(fd));
    io.reset();
    QVERIFY(!isOpen(fd));
  }
};

QTEST_GUILESS_MAIN(TestHidrawDeviceIo)
#include "tst_hidraw_device_io.moc"
