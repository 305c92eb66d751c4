// The window's report protocol against a stick model: what is sent, when, how it is
// traced, and how the answer reaches the grid.
#include <QtTest>

#include <algorithm>

#include "config_report.h"
#include "form_fixture.h"
#include "rc4.h"

using namespace vorlane;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ShortCommandReport(std::uint16_t command, std::size_t length) {
  std::array<std::uint8_t, kMaxFeatureLength> report{};
  ComposeShortCommand(report, command, CMD_GROUP);
  return Bytes(report.begin(), report.begin() + static_cast<std::ptrdiff_t>(length));
}

QString HexLine(const char* prefix, const Bytes& bytes) {
  QString line = QString::fromLatin1(prefix);
  for (std::uint8_t b : bytes) line += QString::asprintf("%02X ", b);
  return line;
}

ParamBlock BlockOf(std::initializer_list<std::uint8_t> deadStart,
                   std::initializer_list<std::uint8_t> deadEnd,
                   std::initializer_list<std::uint8_t> resolution) {
  ParamBlock block{};
  std::copy(deadStart.begin(), deadStart.end(), block.begin());
  std::copy(deadEnd.begin(), deadEnd.end(), block.begin() + 8);
  std::copy(resolution.begin(), resolution.end(), block.begin() + 16);
  return block;
}

}  // namespace

class FormProtocolTest : public QObject {
  Q_OBJECT

 private slots:
  void withoutStickNothingIsSentOrTraced();
  void readFillsEveryBoxAndTheCalibratedDisplay_data();
  void readFillsEveryBoxAndTheCalibratedDisplay();
  void connectTimeReadSendsPreCommandThenRequest();
  void failedReadKeepsGridAndCalibratedDisplay();
  void saveSendsTheGridValues();
  void readThenSaveSendsTheSameBlock();
  void loadDefaultsSendsTheScrambledCommand();
  void bootloaderSequenceOrderAndPauses();
  void transfersUseTheFeatureLength_data();
  void transfersUseTheFeatureLength();
  void traceLinesWithLogOn();
  void clearEmptiesTheLog();
};

void FormProtocolTest::withoutStickNothingIsSentOrTraced() {
  FormFixture f(64, /*log=*/true);
  f.form->SetCurDevice(nullptr, 64);

  f.form->controls().sButton1->click();
  QCOMPARE(f.report()[3], CMD_WRITE_PARAMS);
  QCOMPARE(f.report()[5], WRITE_PARAMS_FLAG);
  QCOMPARE(f.report()[ParamReportOffset(0, ParamKind::Resolution)], 8);  // composed from the boxes

  f.form->controls().sButton2->click();
  QCOMPARE(Bytes(f.report().begin(), f.report().begin() + 128),
           ShortCommandReport(CMD_LOAD_DEFAULTS, 128));

  f.form->Read_Param_DZ();
  QCOMPARE(f.report()[3], CMD_READ_PARAMS);

  f.form->btnStartClick();
  QCOMPARE(f.pauses, std::vector<int>{5});  // the bootloader sequence ends after the first pause

  QVERIFY(f.device.stick.Received().empty());
  QVERIFY(f.logLines().isEmpty());
}

void FormProtocolTest::readFillsEveryBoxAndTheCalibratedDisplay_data() {
  QTest::addColumn<int>("status");
  QTest::addColumn<bool>("calibrated");
  QTest::newRow("0x03 calibrated") << 0x03 << true;
  QTest::newRow("0x02 not calibrated") << 0x02 << false;
  QTest::newRow("0x01 calibrated") << 0x01 << true;
  QTest::newRow("0xFE not calibrated") << 0xFE << false;
}

void FormProtocolTest::readFillsEveryBoxAndTheCalibratedDisplay() {
  QFETCH(int, status);
  QFETCH(bool, calibrated);
  FormFixture f;
  // Every slot differs, the hidden ones included; some bytes lie outside the ranges.
  f.device.stick.SetParams(BlockOf({0, 25, 250, 3, 251, 7, 255, 100},
                                   {1, 2, 3, 4, 5, 6, 7, 8},
                                   {12, 13, 10, 9, 11, 8, 0, 10}));
  f.device.stick.SetStatusByte(static_cast<std::uint8_t>(status));

  f.form->Read_Param_DZ();

  QCOMPARE(f.form->Calibrated, calibrated);
  QCOMPARE(f.form->controls().sImage2->imageIndex(), calibrated ? 0 : 2);
  QCOMPARE(f.form->controls().sLabel4->text(),
           calibrated ? QStringLiteral("Calibrated") : QStringLiteral("Not Calibrated"));

  const long double deadStart[8] = {0, 2.5L, 25, 0.3L, 25, 0.7L, 25, 10};
  const long double resolution[8] = {12, 12, 10, 9, 10, 8, 8, 10};
  for (int a = 0; a < kAxisCount; ++a) {
    QCOMPARE(double(f.box(a, ParamKind::DeadZoneStart)->Value()), double(deadStart[a]));
    QCOMPARE(double(f.box(a, ParamKind::DeadZoneEnd)->Value()), double((a + 1) * 0.1L));
    QCOMPARE(double(f.box(a, ParamKind::Resolution)->Value()), double(resolution[a]));
  }
  QCOMPARE(f.box(1, ParamKind::DeadZoneStart)->text(), QStringLiteral("2.5"));
  QCOMPARE(f.box(0, ParamKind::Resolution)->text(), QStringLiteral("12"));
}

void FormProtocolTest::connectTimeReadSendsPreCommandThenRequest() {
  FormFixture f;
  f.device.stick.SetParams(BlockOf({5}, {10}, {11}));
  f.form->Timer3->start();

  f.form->Timer3Timer();

  QVERIFY(!f.form->Timer3->isActive());
  QCOMPARE(f.device.stick.ReceivedCommands(), (std::vector<std::uint16_t>{CMD_PRE, CMD_READ_PARAMS}));
  QCOMPARE(f.pauses, (std::vector<int>{5, 10}));
  QCOMPARE(double(f.box(0, ParamKind::DeadZoneStart)->Value()), 0.5);
  QCOMPARE(double(f.box(0, ParamKind::Resolution)->Value()), 11.0);
}

void FormProtocolTest::failedReadKeepsGridAndCalibratedDisplay() {
  FormFixture f(64, /*log=*/true);
  f.device.stick.SetParams(BlockOf({5, 6}, {10, 11}, {11, 12, 9}));
  f.device.stick.SetStatusByte(0x01);
  f.form->Read_Param_DZ();
  QVERIFY(f.form->Calibrated);

  f.device.failGets = true;
  f.device.stick.SetParams(BlockOf({}, {}, {}));
  f.form->Read_Param_DZ();

  QVERIFY(f.form->Calibrated);
  QCOMPARE(f.form->controls().sLabel4->text(), QStringLiteral("Calibrated"));
  QCOMPARE(double(f.box(1, ParamKind::DeadZoneStart)->Value()), 0.6);
  QCOMPARE(double(f.box(1, ParamKind::Resolution)->Value()), 12.0);
  QCOMPARE(double(f.box(2, ParamKind::Resolution)->Value()), 9.0);
  QCOMPARE(f.logLines().size(), 4);  // the failed read is still traced

  // A save after the failed read writes what the stick really holds.
  f.device.stick.ClearReceived();
  f.form->Write_Param_DZ();
  QCOMPARE(f.device.stick.Params(), BlockOf({5, 6}, {10, 11}, {11, 12, 9, 8, 8, 8, 8, 8}));
}

void FormProtocolTest::saveSendsTheGridValues() {
  FormFixture f;
  f.form->Read_Param_DZ();  // Save writes only once the stick's block was read
  f.device.stick.ClearReceived();
  f.pauses.clear();
  const long double dead[8] = {2.45L, 0.04L, 0.05L, 0.1L, 25, 0, 12.3L, 7};
  const long double res[8] = {12, 9.7L, 10, 8, 9, 10, 8, 9};
  for (int a = 0; a < kAxisCount; ++a) {
    f.box(a, ParamKind::DeadZoneStart)->SetValue(dead[a]);
    f.box(a, ParamKind::DeadZoneEnd)->SetValue(dead[7 - a]);
    f.box(a, ParamKind::Resolution)->SetValue(res[a]);
  }

  f.form->controls().sButton1->click();

  const ParamBlock expected = BlockOf({25, 0, 1, 1, 250, 0, 123, 70}, {70, 123, 0, 250, 1, 1, 0, 25},
                                      {12, 9, 10, 8, 9, 10, 8, 9});
  QCOMPARE(f.device.stick.Params(), expected);
  QCOMPARE(f.device.stick.Received().size(), std::size_t{1});
  const Bytes& sent = f.device.stick.Received().front();
  QCOMPARE(sent.size(), std::size_t{64});
  QCOMPARE(Bytes(sent.begin(), sent.begin() + 6), (Bytes{0x59, 0xA5, 0x1A, 0x11, 0x00, 0x1B}));
  QVERIFY(std::all_of(sent.begin() + 30, sent.end(), [](std::uint8_t b) { return b == 0; }));
  QVERIFY(f.pauses.empty());
}

void FormProtocolTest::readThenSaveSendsTheSameBlock() {
  FormFixture f;
  ParamBlock block{};
  for (std::size_t i = 0; i < 16; ++i) block[i] = static_cast<std::uint8_t>(i * 16 + 3);  // 3..243
  for (std::size_t i = 16; i < 24; ++i) block[i] = static_cast<std::uint8_t>(i < 18 ? 12 : 8 + i % 3);
  f.device.stick.SetParams(block);

  f.form->Read_Param_DZ();
  f.device.stick.SetParams({});
  f.form->Write_Param_DZ();

  QCOMPARE(f.device.stick.Params(), block);
}

void FormProtocolTest::loadDefaultsSendsTheScrambledCommand() {
  FormFixture f(128);
  const ParamBlock factory = BlockOf({1, 2}, {3, 4}, {9, 9});
  f.device.stick.SetFactoryBlock(factory);
  f.box(0, ParamKind::DeadZoneStart)->SetValue(7);

  f.form->controls().sButton2->click();
  f.form->controls().sButton2->click();

  const auto& received = f.device.stick.Received();
  QCOMPARE(received.size(), std::size_t{2});
  QCOMPARE(received[0], ShortCommandReport(CMD_LOAD_DEFAULTS, 128));
  QCOMPARE(received[1], received[0]);
  // Bytes 5..124 are the keystream of the key A5 1A 13 00.
  Bytes keystream(120, 0);
  const std::uint8_t key[] = {0xA5, 0x1A, 0x13, 0x00};
  Rc4Crypt(key, keystream);
  QCOMPARE(Bytes(received[0].begin() + 5, received[0].begin() + 125), keystream);
  QCOMPARE(f.device.stick.Params(), factory);
  QCOMPARE(double(f.box(0, ParamKind::DeadZoneStart)->Value()), 7.0);  // nothing is read back
}

void FormProtocolTest::bootloaderSequenceOrderAndPauses() {
  FormFixture f(64, /*log=*/true);

  f.form->btnStartClick();

  QCOMPARE(f.device.stick.ReceivedCommands(),
           (std::vector<std::uint16_t>{CMD_PRE, CMD_BOOT_A, CMD_BOOT_B}));
  QCOMPARE(f.pauses, (std::vector<int>{5, 10, 10, 2000}));
  QCOMPARE(f.device.stick.Received()[1], ShortCommandReport(CMD_BOOT_A, 64));
  QCOMPARE(f.device.stick.Received()[2], ShortCommandReport(CMD_BOOT_B, 64));
  QCOMPARE(f.logLines().size(), 3);
}

void FormProtocolTest::transfersUseTheFeatureLength_data() {
  QTest::addColumn<int>("featureLen");
  for (int length : {8, 29, 30, 64, 128, 200, 255}) {
    QTest::newRow(qPrintable(QString::number(length))) << length;
  }
}

void FormProtocolTest::transfersUseTheFeatureLength() {
  QFETCH(int, featureLen);
  const auto length = static_cast<std::size_t>(featureLen);
  FormFixture f(static_cast<std::uint8_t>(featureLen), /*log=*/true);
  const ParamBlock block = BlockOf({11, 12, 13, 14, 15, 16, 17, 18}, {21, 22, 23, 24, 25, 26, 27, 28},
                                   {9, 9, 9, 9, 9, 9, 9, 9});
  f.device.stick.SetParams(block);
  // An answer shorter than 30 bytes cannot hold the whole block: the read fails and,
  // as nothing was read, Save sends nothing.
  const bool complete = length >= kCompleteAnswerBytes;

  f.form->Read_Param_DZ();
  f.form->Write_Param_DZ();
  QCOMPARE(f.device.stick.Params(), block);  // written back as read, or untouched
  f.form->sButton2Click();

  const std::vector<std::size_t> sets(complete ? 3 : 2, length);
  QCOMPARE(f.device.setSizes, sets);
  QCOMPARE(f.device.getSizes, std::vector<std::size_t>{length});
  for (const Bytes& report : f.device.stick.Received()) {
    QCOMPARE(report.size(), length);
    // Past the laid-out 128 bytes a report is zero.
    QVERIFY(std::all_of(report.begin() + std::min<std::ptrdiff_t>(featureLen, 128), report.end(),
                        [](std::uint8_t b) { return b == 0; }));
  }
  for (const ParamKind kind : kParamKinds) {
    for (int a = 0; a < kAxisCount; ++a) {
      const DecimalSpinEdit* box = f.box(a, kind);
      const long double built = kind == ParamKind::Resolution ? 8 : 0;
      const long double read = ParamFromByte(kind, block[ParamBlockIndex(a, kind)]);
      QCOMPARE(double(box->Value()), double(complete ? read : built));
    }
  }
  const QStringList lines = f.logLines();
  QCOMPARE(lines.size(), complete ? 4 : 3);
  QCOMPARE(lines[0].size(), 3 + 32 * 3);  // both lines of a read show 32 bytes
  QCOMPARE(lines[1].contains(QStringLiteral("FAILED")), !complete);
  if (complete) QCOMPARE(lines[2].size(), 3 + featureLen * 3);
  QCOMPARE(lines.back(), HexLine("W  ", ShortCommandReport(CMD_LOAD_DEFAULTS, length)));
}

void FormProtocolTest::traceLinesWithLogOn() {
  FormFixture f(64, /*log=*/true);
  f.device.stick.SetParams(BlockOf({5}, {10}, {11}));
  f.device.stick.SetStatusByte(0x01);

  f.form->Read_Param_DZ();
  f.form->Write_Param_DZ();

  Bytes request(32, 0);
  std::copy_n(Bytes{0x59, 0xA5, 0x1A, 0x12, 0x00, 0x04}.begin(), 6, request.begin());
  Bytes answer(32, 0);
  std::copy_n(Bytes{0x59, 0xA5, 0x1A, 0x12, 0x00, 0x01, 5}.begin(), 7, answer.begin());
  answer[14] = 10;
  answer[22] = 11;
  const QStringList lines = f.logLines();
  QCOMPARE(lines.size(), 3);
  QCOMPARE(lines[0], HexLine("W  ", request));
  QCOMPARE(lines[1], HexLine("R  ", answer));
  QVERIFY(lines[2].startsWith(QStringLiteral("W  59 A5 1A 11 00 1B 05 ")));
  QCOMPARE(lines[2].size(), 3 + 64 * 3);

  // With the log off the same transfers happen and nothing is added.
  f.form->controls().cbLog->setChecked(false);
  f.device.stick.ClearReceived();
  f.form->Read_Param_DZ();
  f.form->Write_Param_DZ();
  QCOMPARE(f.logLines().size(), 3);
  QCOMPARE(f.device.stick.ReceivedCommands(),
           (std::vector<std::uint16_t>{CMD_READ_PARAMS, CMD_WRITE_PARAMS}));
}

void FormProtocolTest::clearEmptiesTheLog() {
  FormFixture f(64, /*log=*/true);
  f.form->controls().sBitBtn3->click();  // on an empty log: nothing to do
  QVERIFY(f.logLines().isEmpty());
  f.form->sButton2Click();
  QCOMPARE(f.logLines().size(), 1);
  f.form->controls().sBitBtn3->click();
  QVERIFY(f.logLines().isEmpty());
}

QTEST_MAIN(FormProtocolTest)
#include "tst_form_protocol.moc"
