#include <QTest>

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "config_report.h"
#include "rc4.h"

using namespace vorlane;

Q_DECLARE_METATYPE(long double)
Q_DECLARE_METATYPE(vorlane::ParamKind)

namespace {

constexpr std::uint8_t kFill = 0xEE;  // what a buffer holds before a composer runs

QByteArray Hex(std::span<const std::uint8_t> bytes) {
  return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())).toHex(' ');
}

bool AllEqual(std::span<const std::uint8_t> bytes, std::uint8_t value) {
  return std::ranges::all_of(bytes, [value](std::uint8_t b) { return b == value; });
}

ParamBlock CountingBlock() {
  ParamBlock block{};
  for (std::size_t i = 0; i < block.size(); ++i) {
    block[i] = static_cast<std::uint8_t>(0x80 + i);
  }
  return block;
}

// kind: 0 a short command, 1 the read request, 2 a write.
void Compose(int kind, std::span<std::uint8_t> report) {
  switch (kind) {
    case 0: ComposeShortCommand(report, CMD_LOAD_DEFAULTS, CMD_GROUP); break;
    case 1: ComposeReadRequest(report); break;
    default: ComposeWriteParams(report, CountingBlock()); break;
  }
}

}  // namespace

class ConfigReportTest : public QObject {
  Q_OBJECT

 private slots:
  void shortCommand_data();
  void shortCommand();
  void shortCommandIsTheSameEveryTime();
  void readRequestLayout();
  void writeLayout();
  void longBufferStaysZeroPastTheLayout_data();
  void longBufferStaysZeroPastTheLayout();
  void shortBufferGetsTheLeadingBytesOnly_data();
  void shortBufferGetsTheLeadingBytesOnly();

  void valueToByte_data();
  void valueToByte();
  void byteToValue_data();
  void byteToValue();
  void deadZoneBytesSurviveAReadAndAWrite();
  void resolutionBytesSurviveAReadAndAWrite();

  void answerCalibrated_data();
  void answerCalibrated();
  void answerParamBlock();
  void answerFromAShortReport();

  void traceLine_data();
  void traceLine();
};

void ConfigReportTest::shortCommand_data() {
  QTest::addColumn<int>("command");
  QTest::newRow("pre") << int(CMD_PRE);
  QTest::newRow("load defaults") << int(CMD_LOAD_DEFAULTS);
  QTest::newRow("boot A") << int(CMD_BOOT_A);
  QTest::newRow("boot B") << int(CMD_BOOT_B);
}

void ConfigReportTest::shortCommand() {
  QFETCH(int, command);
  std::array<std::uint8_t, kReportLayoutSize> report;
  report.fill(kFill);

  ComposeShortCommand(report, std::uint16_t(command), CMD_GROUP);

  const std::array<std::uint8_t, 5> header{REPORT_ID_CONFIG, REPORT_MAGIC, CMD_GROUP,
                                           std::uint8_t(command), 0x00};
  QCOMPARE(Hex(std::span(report).first(5)), Hex(header));

  // The payload was zero before scrambling, so it is the keystream keyed by bytes 1..4.
  std::array<std::uint8_t, kScrambleLength> keystream{};
  Rc4Crypt(std::span(header).subspan(1, 4), keystream);
  QCOMPARE(Hex(std::span(report).subspan(5, 120)), Hex(keystream));

  QVERIFY(AllEqual(std::span(report).last(3), 0));
}

void ConfigReportTest::shortCommandIsTheSameEveryTime() {
  std::array<std::uint8_t, kReportLayoutSize> first;
  std::array<std::uint8_t, kReportLayoutSize> second;
  ComposeShortCommand(first, CMD_LOAD_DEFAULTS, CMD_GROUP);
  ComposeReadRequest(second);  // leave something else in between
  ComposeShortCommand(second, CMD_LOAD_DEFAULTS, CMD_GROUP);
  QCOMPARE(Hex(second), Hex(first));

  // The key covers the command code: another code scrambles differently.
  ComposeShortCommand(second, CMD_PRE, CMD_GROUP);
  QVERIFY(!std::ranges::equal(std::span(first).subspan(5, 120), std::span(second).subspan(5, 120)));
}

void ConfigReportTest::readRequestLayout() {
  std::array<std::uint8_t, kReportLayoutSize> report;
  report.fill(kFill);
  ComposeReadRequest(report);

  const std::array<std::uint8_t, 6> head{0x59, 0xA5, 0x1A, 0x12, 0x00, 0x04};
  QCOMPARE(Hex(std::span(report).first(6)), Hex(head));
  QVERIFY(AllEqual(std::span(report).subspan(6), 0));
}

void ConfigReportTest::writeLayout() {
  std::array<std::uint8_t, kReportLayoutSize> report;
  report.fill(kFill);
  const ParamBlock block = CountingBlock();
  ComposeWriteParams(report, block);

  const std::array<std::uint8_t, 6> head{0x59, 0xA5, 0x1A, 0x11, 0x00, 0x1B};
  QCOMPARE(Hex(std::span(report).first(6)), Hex(head));
  QCOMPARE(Hex(std::span(report).subspan(6, 24)), Hex(block));
  QVERIFY(AllEqual(std::span(report).subspan(30), 0));

  // Kind-major: dead-zone end of axis 4 is block byte 12, report byte 18.
  QCOMPARE(ParamReportOffset(4, ParamKind::DeadZoneEnd), std::size_t(18));
  QCOMPARE(int(report[ParamReportOffset(4, ParamKind::DeadZoneEnd)]), int(block[12]));
}

void ConfigReportTest::longBufferStaysZeroPastTheLayout_data() {
  QTest::addColumn<int>("kind");
  QTest::newRow("short command") << 0;
  QTest::newRow("read request") << 1;
  QTest::newRow("write") << 2;
}

void ConfigReportTest::longBufferStaysZeroPastTheLayout() {
  QFETCH(int, kind);
  std::array<std::uint8_t, kReportLayoutSize> reference;
  Compose(kind, reference);

  std::vector<std::uint8_t> report(kMaxFeatureLength, kFill);
  Compose(kind, report);
  QCOMPARE(Hex(std::span(report).first(kReportLayoutSize)), Hex(reference));
  QVERIFY(AllEqual(std::span(report).subspan(kReportLayoutSize), 0));
}

void ConfigReportTest::shortBufferGetsTheLeadingBytesOnly_data() {
  QTest::addColumn<int>("kind");
  QTest::addColumn<int>("length");
  QTest::newRow("short command, 0") << 0 << 0;
  QTest::newRow("short command, 3") << 0 << 3;
  QTest::newRow("short command, 64") << 0 << 64;
  QTest::newRow("short command, 126") << 0 << 126;
  QTest::newRow("read request, 5") << 1 << 5;
  QTest::newRow("write, 20") << 2 << 20;
  QTest::newRow("write, 127") << 2 << 127;
}

void ConfigReportTest::shortBufferGetsTheLeadingBytesOnly() {
  QFETCH(int, kind);
  QFETCH(int, length);
  std::array<std::uint8_t, kReportLayoutSize> reference;
  Compose(kind, reference);

  // The report is the front of a larger array; the bytes behind it must stay as they were.
  std::array<std::uint8_t, kReportLayoutSize + 8> memory;
  memory.fill(kFill);
  Compose(kind, std::span(memory).first(std::size_t(length)));

  QCOMPARE(Hex(std::span(memory).first(std::size_t(length))),
           Hex(std::span(reference).first(std::size_t(length))));
  QVERIFY(AllEqual(std::span(memory).subspan(std::size_t(length)), kFill));
}

void ConfigReportTest::valueToByte_data() {
  QTest::addColumn<ParamKind>("kind");
  QTest::addColumn<long double>("value");
  QTest::addColumn<int>("byte");

  const long double inf = std::numeric_limits<long double>::infinity();
  const long double huge = std::numeric_limits<long double>::max();
  // 2^64 + 2 is an integer too large for any 64-bit type; its low byte is 2.
  const long double beyond64 = std::ldexp(1.0L, 64) + 2.0L;

  QTest::newRow("dead zone 2.45, a half goes up") << ParamKind::DeadZoneStart << 2.45L << 25;
  QTest::newRow("dead zone 0.04") << ParamKind::DeadZoneStart << 0.04L << 0;
  QTest::newRow("dead zone 0.05") << ParamKind::DeadZoneEnd << 0.05L << 1;
  QTest::newRow("dead zone 0.1") << ParamKind::DeadZoneEnd << 0.1L << 1;
  QTest::newRow("dead zone 25") << ParamKind::DeadZoneStart << 25.0L << 250;
  QTest::newRow("dead zone 0") << ParamKind::DeadZoneEnd << 0.0L << 0;
  QTest::newRow("dead zone 12.44") << ParamKind::DeadZoneEnd << 12.44L << 124;
  QTest::newRow("resolution 12") << ParamKind::Resolution << 12.0L << 12;
  QTest::newRow("resolution 9.7 is cut") << ParamKind::Resolution << 9.7L << 9;
  QTest::newRow("resolution 0") << ParamKind::Resolution << 0.0L << 0;
  if (std::numeric_limits<long double>::digits > std::numeric_limits<double>::digits) {
    // Below a half only in long double: a double would round the value up to 0.25.
    QTest::newRow("dead zone just below 0.25") << ParamKind::DeadZoneStart << 0.2499999999999999999L << 2;
  }

  // Beyond 8 bits the low 8 bits of the integer are kept, as two's complement would.
  QTest::newRow("dead zone 25.6 wraps") << ParamKind::DeadZoneStart << 25.6L << 0;
  QTest::newRow("dead zone 26 wraps") << ParamKind::DeadZoneStart << 26.0L << 4;
  QTest::newRow("dead zone -0.04") << ParamKind::DeadZoneStart << -0.04L << 0;
  QTest::newRow("dead zone -0.2") << ParamKind::DeadZoneStart << -0.2L << 255;
  QTest::newRow("resolution 300") << ParamKind::Resolution << 300.0L << 44;
  QTest::newRow("resolution -1.5 is cut toward zero") << ParamKind::Resolution << -1.5L << 255;
  QTest::newRow("resolution -0.5") << ParamKind::Resolution << -0.5L << 0;
  QTest::newRow("resolution 2^64 + 2") << ParamKind::Resolution << beyond64 << 2;
  QTest::newRow("resolution -(2^64 + 2)") << ParamKind::Resolution << -beyond64 << 254;
  QTest::newRow("resolution largest") << ParamKind::Resolution << huge << 0;
  QTest::newRow("dead zone largest") << ParamKind::DeadZoneStart << huge << 0;
  QTest::newRow("dead zone -largest") << ParamKind::DeadZoneStart << -huge << 0;

  // Not a number at all: defined as 0.
  QTest::newRow("dead zone NaN") << ParamKind::DeadZoneStart << std::numeric_limits<long double>::quiet_NaN() << 0;
  QTest::newRow("resolution NaN") << ParamKind::Resolution << std::numeric_limits<long double>::quiet_NaN() << 0;
  QTest::newRow("dead zone +inf") << ParamKind::DeadZoneEnd << inf << 0;
  QTest::newRow("resolution -inf") << ParamKind::Resolution << -inf << 0;
}

void ConfigReportTest::valueToByte() {
  QFETCH(ParamKind, kind);
  QFETCH(long double, value);
  QFETCH(int, byte);

  const std::uint8_t direct = kind == ParamKind::Resolution ? ResolutionToByte(value) : DeadZoneToByte(value);
  QCOMPARE(int(direct), byte);
  QCOMPARE(int(ParamToByte(kind, value)), byte);
}

void ConfigReportTest::byteToValue_data() {
  QTest::addColumn<ParamKind>("kind");
  QTest::addColumn<int>("byte");
  QTest::addColumn<double>("value");

  QTest::newRow("dead zone 25") << ParamKind::DeadZoneStart << 25 << 2.5;
  QTest::newRow("dead zone 0") << ParamKind::DeadZoneEnd << 0 << 0.0;
  QTest::newRow("dead zone 255") << ParamKind::DeadZoneEnd << 255 << 25.5;
  QTest::newRow("resolution 10") << ParamKind::Resolution << 10 << 10.0;
  QTest::newRow("resolution 255") << ParamKind::Resolution << 255 << 255.0;
}

void ConfigReportTest::byteToValue() {
  QFETCH(ParamKind, kind);
  QFETCH(int, byte);
  QFETCH(double, value);

  const auto b = std::uint8_t(byte);
  const long double direct = kind == ParamKind::Resolution ? ResolutionFromByte(b) : DeadZoneFromByte(b);
  QCOMPARE(double(direct), value);
  QCOMPARE(double(ParamFromByte(kind, b)), value);
}

void ConfigReportTest::deadZoneBytesSurviveAReadAndAWrite() {
  for (int byte = 0; byte <= 250; ++byte) {
    const long double value = DeadZoneFromByte(std::uint8_t(byte));
    QCOMPARE(int(DeadZoneToByte(value)), byte);
    // The same once the value has passed through a double, as a box might keep it.
    QCOMPARE(int(DeadZoneToByte(static_cast<double>(value))), byte);
  }
}

void ConfigReportTest::resolutionBytesSurviveAReadAndAWrite() {
  for (int byte = 0; byte <= 255; ++byte) {
    QCOMPARE(int(ResolutionToByte(ResolutionFromByte(std::uint8_t(byte)))), byte);
  }
}

void ConfigReportTest::answerCalibrated_data() {
  QTest::addColumn<int>("status");
  QTest::addColumn<bool>("calibrated");
  QTest::newRow("0x00") << 0x00 << false;
  QTest::newRow("0x01") << 0x01 << true;
  QTest::newRow("0x03, only bit 0 counts") << 0x03 << true;
  QTest::newRow("0x02, only bit 0 counts") << 0x02 << false;
  QTest::newRow("0x04, the request left in place") << 0x04 << false;
  QTest::newRow("0xFE") << 0xFE << false;
}

void ConfigReportTest::answerCalibrated() {
  QFETCH(int, status);
  QFETCH(bool, calibrated);
  std::array<std::uint8_t, kReportLayoutSize> report{};
  report[5] = std::uint8_t(status);
  QCOMPARE(AnswerCalibrated(report), calibrated);
}

void ConfigReportTest::answerParamBlock() {
  std::array<std::uint8_t, kReportLayoutSize> report;
  for (std::size_t i = 0; i < report.size(); ++i) {
    report[i] = std::uint8_t(i);
  }
  const ParamBlock block = AnswerParamBlock(report);
  QCOMPARE(Hex(block), Hex(std::span(report).subspan(6, 24)));
}

void ConfigReportTest::answerFromAShortReport() {
  std::array<std::uint8_t, kReportLayoutSize> report;
  report.fill(0xFF);

  QVERIFY(!AnswerCalibrated(std::span(report).first(5)));
  QVERIFY(AnswerCalibrated(std::span(report).first(6)));

  // 20 bytes carry block bytes 0..13; the rest reads as zero.
  const ParamBlock block = AnswerParamBlock(std::span(report).first(20));
  QVERIFY(AllEqual(std::span(block).first(14), 0xFF));
  QVERIFY(AllEqual(std::span(block).subspan(14), 0));
  QVERIFY(AllEqual(AnswerParamBlock(std::span(report).first(6)), 0));
  QVERIFY(AllEqual(AnswerParamBlock({}), 0));
}

void ConfigReportTest::traceLine_data() {
  QTest::addColumn<QByteArray>("bytes");
  QTest::addColumn<int>("direction");
  QTest::addColumn<QByteArray>("line");

  QTest::newRow("sent, nothing") << QByteArray() << int(TraceDirection::Sent) << QByteArray("W  ");
  QTest::newRow("received") << QByteArray::fromHex("59A50F00FF") << int(TraceDirection::Received)
                            << QByteArray("R  59 A5 0F 00 FF ");
  QByteArray request = QByteArray::fromHex("59A51A120004");
  request.append(26, '\0');
  QTest::newRow("read request, 32 bytes")
      << request << int(TraceDirection::Sent)
      << QByteArray("W  59 A5 1A 12 00 04 ") + QByteArray("00 ").repeated(26);
}

void ConfigReportTest::traceLine() {
  QFETCH(QByteArray, bytes);
  QFETCH(int, direction);
  QFETCH(QByteArray, line);

  const std::span<const std::uint8_t> data(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                           std::size_t(bytes.size()));
  QCOMPARE(QByteArray::fromStdString(TraceLine(data, TraceDirection(direction))), line);
}

QTEST_APPLESS_MAIN(ConfigReportTest)
#include "tst_config_report.moc"
