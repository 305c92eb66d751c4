#include <QTest>

#include <array>
#include <cstdint>
#include <vector>

#include "config_report.h"
#include "stick_model.h"

using namespace vorlane;

namespace {

constexpr std::uint8_t kFill = 0xEE;

using Report = std::array<std::uint8_t, kReportLayoutSize>;

QByteArray Hex(std::span<const std::uint8_t> bytes) {
  return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())).toHex(' ');
}

bool AllEqual(std::span<const std::uint8_t> bytes, std::uint8_t value) {
  return std::ranges::all_of(bytes, [value](std::uint8_t b) { return b == value; });
}

ParamBlock CountingBlock(std::uint8_t first) {
  ParamBlock block{};
  for (std::size_t i = 0; i < block.size(); ++i) {
    block[i] = static_cast<std::uint8_t>(first + i);
  }
  return block;
}

Report ReadRequest() {
  Report report;
  ComposeReadRequest(report);
  return report;
}

Report ShortCommand(std::uint16_t command) {
  Report report;
  ComposeShortCommand(report, command, CMD_GROUP);
  return report;
}

Report Write(const ParamBlock& block) {
  Report report;
  ComposeWriteParams(report, block);
  return report;
}

// The answer to a read request, fetched into a buffer that still holds the request.
std::vector<std::uint8_t> FetchAnswer(StickModel& stick, std::size_t length) {
  std::vector<std::uint8_t> buffer(length, kFill);
  buffer[0] = REPORT_ID_CONFIG;
  stick.SetFeature(ReadRequest());
  const std::size_t filled = stick.GetFeature(buffer);
  return filled == length ? buffer : std::vector<std::uint8_t>{};
}

}  // namespace

class StickModelTest : public QObject {
  Q_OBJECT

 private slots:
  void factoryBlock();
  void answerLayout_data();
  void answerLayout();
  void answerIsCutToAShortBuffer();
  void statusByteIsAnsweredAsSet_data();
  void statusByteIsAnsweredAsSet();
  void writeStoresTheBlock();
  void truncatedWriteStoresWhatArrived_data();
  void truncatedWriteStoresWhatArrived();
  void loadDefaultsRestoresTheFactoryBlock();
  void noAnswerLeavesTheBufferUntouched_data();
  void noAnswerLeavesTheBufferUntouched();
  void recordsEveryReport();
};

void StickModelTest::factoryBlock() {
  const ParamBlock factory = StickModel::FactoryBlock();
  for (int axis = 0; axis < kAxisCount; ++axis) {
    QCOMPARE(int(factory[ParamBlockIndex(axis, ParamKind::DeadZoneStart)]), 5);
    QCOMPARE(int(factory[ParamBlockIndex(axis, ParamKind::DeadZoneEnd)]), 10);
    QCOMPARE(int(factory[ParamBlockIndex(axis, ParamKind::Resolution)]), 10);
  }
  StickModel stick;
  QCOMPARE(Hex(stick.Params()), Hex(factory));
  QVERIFY(stick.Calibrated());
}

void StickModelTest::answerLayout_data() {
  QTest::addColumn<int>("length");
  QTest::newRow("128 bytes") << 128;
  QTest::newRow("255 bytes") << 255;
  QTest::newRow("30 bytes") << 30;
}

void StickModelTest::answerLayout() {
  QFETCH(int, length);
  const ParamBlock block = CountingBlock(0x40);
  StickModel stick(block, true);

  const std::vector<std::uint8_t> answer = FetchAnswer(stick, std::size_t(length));
  QCOMPARE(answer.size(), std::size_t(length));
  const std::array<std::uint8_t, 6> head{0x59, 0xA5, 0x1A, 0x12, 0x00, 0x01};
  QCOMPARE(Hex(std::span(answer).first(6)), Hex(head));
  QCOMPARE(Hex(std::span(answer).subspan(6, 24)), Hex(block));
  QVERIFY(AllEqual(std::span(answer).subspan(30), 0));

  QVERIFY(AnswerCalibrated(answer));
  QCOMPARE(Hex(AnswerParamBlock(answer)), Hex(block));
}

void StickModelTest::answerIsCutToAShortBuffer() {
  StickModel stick(CountingBlock(0x40), false);
  stick.SetFeature(ReadRequest());

  std::array<std::uint8_t, 40> memory;
  memory.fill(kFill);
  memory[0] = REPORT_ID_CONFIG;
  QCOMPARE(stick.GetFeature(std::span(memory).first(10)), std::size_t(10));

  const std::array<std::uint8_t, 10> expected{0x59, 0xA5, 0x1A, 0x12, 0x00, 0x00, 0x40, 0x41, 0x42, 0x43};
  QCOMPARE(Hex(std::span(memory).first(10)), Hex(expected));
  QVERIFY(AllEqual(std::span(memory).subspan(10), kFill));
}

void StickModelTest::statusByteIsAnsweredAsSet_data() {
  QTest::addColumn<int>("status");
  QTest::addColumn<bool>("calibrated");
  QTest::newRow("0x03") << 0x03 << true;
  QTest::newRow("0x02") << 0x02 << false;
  QTest::newRow("0x00") << 0x00 << false;
}

void StickModelTest::statusByteIsAnsweredAsSet() {
  QFETCH(int, status);
  QFETCH(bool, calibrated);
  StickModel stick;
  stick.SetStatusByte(std::uint8_t(status));
  QCOMPARE(stick.Calibrated(), calibrated);

  const std::vector<std::uint8_t> answer = FetchAnswer(stick, kReportLayoutSize);
  QCOMPARE(answer.size(), kReportLayoutSize);
  QCOMPARE(int(answer[5]), status);
  QCOMPARE(AnswerCalibrated(answer), calibrated);
}

void StickModelTest::writeStoresTheBlock() {
  StickModel stick;
  const ParamBlock block = CountingBlock(0x10);
  QVERIFY(stick.SetFeature(Write(block)));
  QCOMPARE(Hex(stick.Params()), Hex(block));
  QCOMPARE(Hex(AnswerParamBlock(FetchAnswer(stick, kReportLayoutSize))), Hex(block));
}

void StickModelTest::truncatedWriteStoresWhatArrived_data() {
  QTest::addColumn<int>("length");
  QTest::addColumn<int>("stored");  // leading block bytes taken from the report
  QTest::newRow("5 bytes: header only") << 5 << 0;
  QTest::newRow("6 bytes") << 6 << 0;
  QTest::newRow("7 bytes") << 7 << 1;
  QTest::newRow("20 bytes") << 20 << 14;
  QTest::newRow("29 bytes") << 29 << 23;
  QTest::newRow("30 bytes") << 30 << 24;
}

void StickModelTest::truncatedWriteStoresWhatArrived() {
  QFETCH(int, length);
  QFETCH(int, stored);
  const ParamBlock before = StickModel::FactoryBlock();
  const ParamBlock sent = CountingBlock(0x60);
  StickModel stick(before);

  const Report report = Write(sent);
  QVERIFY(stick.SetFeature(std::span(report).first(std::size_t(length))));

  ParamBlock expected = before;
  std::copy_n(sent.begin(), stored, expected.begin());
  QCOMPARE(Hex(stick.Params()), Hex(expected));
}

void StickModelTest::loadDefaultsRestoresTheFactoryBlock() {
  StickModel stick;
  const ParamBlock factory = CountingBlock(0x20);
  stick.SetFactoryBlock(factory);
  stick.SetFeature(Write(CountingBlock(0x90)));
  QVERIFY(stick.Params() != factory);

  QVERIFY(stick.SetFeature(ShortCommand(CMD_LOAD_DEFAULTS)));
  QCOMPARE(Hex(stick.Params()), Hex(factory));

  // The other short commands change nothing.
  stick.SetParams(CountingBlock(0x90));
  for (const std::uint16_t command : {CMD_PRE, CMD_BOOT_A, CMD_BOOT_B}) {
    QVERIFY(stick.SetFeature(ShortCommand(command)));
  }
  QCOMPARE(Hex(stick.Params()), Hex(CountingBlock(0x90)));
}

void StickModelTest::noAnswerLeavesTheBufferUntouched_data() {
  QTest::addColumn<bool>("failReads");
  QTest::addColumn<bool>("request");      // a read request was sent before
  QTest::addColumn<bool>("otherReport");  // and then another report
  QTest::addColumn<int>("reportId");      // byte 0 of the buffer
  QTest::newRow("reads fail") << true << true << false << int(REPORT_ID_CONFIG);
  QTest::newRow("no read request") << false << false << false << int(REPORT_ID_CONFIG);
  QTest::newRow("another report since") << false << true << true << int(REPORT_ID_CONFIG);
  QTest::newRow("other report id") << false << true << false << 0x01;
}

void StickModelTest::noAnswerLeavesTheBufferUntouched() {
  QFETCH(bool, failReads);
  QFETCH(bool, request);
  QFETCH(bool, otherReport);
  QFETCH(int, reportId);
  StickModel stick;
  stick.SetFailReads(failReads);
  if (request) {
    stick.SetFeature(ReadRequest());
  }
  if (otherReport) {
    stick.SetFeature(ShortCommand(CMD_PRE));
  }

  // The buffer still holds the request, as the host's own buffer would.
  Report buffer = ReadRequest();
  buffer[0] = std::uint8_t(reportId);
  const Report before = buffer;
  QCOMPARE(stick.GetFeature(buffer), std::size_t(0));
  QCOMPARE(Hex(buffer), Hex(before));

  // Once reads work again, a fresh request is answered.
  stick.SetFailReads(false);
  QCOMPARE(FetchAnswer(stick, kReportLayoutSize).size(), kReportLayoutSize);
}

void StickModelTest::recordsEveryReport() {
  StickModel stick;
  const std::vector<std::vector<std::uint8_t>> sent{
      [] {  // as long as a stick may ask for
        std::vector<std::uint8_t> r(kMaxFeatureLength);
        ComposeShortCommand(r, CMD_PRE, CMD_GROUP);
        return r;
      }(),
      [] { const Report r = ReadRequest(); return std::vector<std::uint8_t>(r.begin(), r.begin() + 32); }(),
      [] { const Report r = Write(CountingBlock(1)); return std::vector<std::uint8_t>(r.begin(), r.begin() + 20); }(),
      [] { const Report r = ShortCommand(CMD_BOOT_A); return std::vector<std::uint8_t>(r.begin(), r.end()); }(),
      [] { const Report r = ShortCommand(CMD_BOOT_B); return std::vector<std::uint8_t>(r.begin(), r.end()); }(),
      {0x01, 0x02, 0x03, 0x04, 0x05, 0x06},  // another report id
      {0x59, 0xA5, 0x1A, 0x77, 0x00},        // an unknown command
      {0x59, 0xA5, 0x1A},                    // shorter than the header
  };
  const std::vector<bool> understood{true, true, true, true, true, false, false, false};

  for (std::size_t i = 0; i < sent.size(); ++i) {
    QCOMPARE(stick.SetFeature(sent[i]), bool(understood[i]));
  }
  QCOMPARE(stick.Received(), sent);
  const std::vector<std::uint16_t> commands{CMD_PRE, CMD_READ_PARAMS, CMD_WRITE_PARAMS, CMD_BOOT_A,
                                            CMD_BOOT_B, 0x0504, 0x0077, 0x0000};
  QCOMPARE(stick.ReceivedCommands(), commands);

  stick.ClearReceived();
  QVERIFY(stick.Received().empty());
  QVERIFY(stick.ReceivedCommands().empty());
}

QTEST_APPLESS_MAIN(StickModelTest)
#include "tst_stick_model.moc"
