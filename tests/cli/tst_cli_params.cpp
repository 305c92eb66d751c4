// The command line's parameter names, the boxes' ranges, the window's conversions,
// the AXIS.KIND=VALUE arguments and the lists of changes.
#include <QTest>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "assignments.h"
#include "block_diff.h"
#include "cli_error.h"
#include "param_table.h"

using namespace vorlane;
using namespace vorlane::cli;

namespace {

// The message of the CliError that the call throws; empty when it throws none.
QString ErrorOf(const std::function<void()>& call, ExitCode* code = nullptr) {
  try {
    call();
  } catch (const CliError& e) {
    if (code) *code = e.code();
    return QString::fromStdString(e.what());
  }
  return {};
}

std::vector<std::string> Words(const QString& text) {
  std::vector<std::string> words;
  for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) words.push_back(word.toStdString());
  return words;
}

}  // namespace

class CliParamsTest : public QObject {
  Q_OBJECT

 private slots:
  void namesCoverEverySlotAndKind();
  void parseDecimal_data();
  void parseDecimal();
  void assignments_data();
  void assignments();
  void badAssignments_data();
  void badAssignments();
  void windowByte_data();
  void windowByte();
  void formatByte_data();
  void formatByte();
  void changes();
};

void CliParamsTest::namesCoverEverySlotAndKind() {
  QStringList names;
  for (std::size_t i = 0; i < kParamBlockSize; ++i) {
    const ParamId id = ParamAt(i);
    QCOMPARE(ParamBlockIndex(id.axis, id.kind), i);
    names << QString::fromStdString(ParamName(id));
    QCOMPARE(AxisOfName(kAxisNames[static_cast<std::size_t>(id.axis)]), std::optional<int>(id.axis));
    QCOMPARE(KindOfName(KindName(id.kind)), std::optional<ParamKind>(id.kind));
  }
  names.removeDuplicates();
  QCOMPARE(names.size(), kParamCount);
  QCOMPARE(names.first(), QStringLiteral("x.deadzone-start"));
  QCOMPARE(names.last(), QStringLiteral("right-brake.resolution"));
  QVERIFY(names.contains(QStringLiteral("throttle.resolution")));
  QCOMPARE(ParamName({4, ParamKind::Resolution}), std::string("throttle.resolution"));
  QCOMPARE(AxisOfName("X"), std::nullopt);
  QCOMPARE(KindOfName("deadzone"), std::nullopt);
}

void CliParamsTest::parseDecimal_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<bool>("valid");
  QTest::addColumn<double>("value");
  QTest::newRow("plain") << "1.5" << true << 1.5;
  QTest::newRow("whole") << "12" << true << 12.0;
  QTest::newRow("leading point") << ".5" << true << 0.5;
  QTest::newRow("trailing point") << "5." << true << 5.0;
  QTest::newRow("plus") << "+2.5" << true << 2.5;
  QTest::newRow("minus") << "-0.1" << true << -0.1;
  QTest::newRow("empty") << "" << false << 0.0;
  QTest::newRow("sign only") << "-" << false << 0.0;
  QTest::newRow("point only") << "." << false << 0.0;
  QTest::newRow("two points") << "1.2.3" << false << 0.0;
  QTest::newRow("exponent") << "1e1" << false << 0.0;
  QTest::newRow("hexadecimal") << "0x10" << false << 0.0;
  QTest::newRow("infinity") << "inf" << false << 0.0;
  QTest::newRow("nan") << "nan" << false << 0.0;
  QTest::newRow("blank") << " 1" << false << 0.0;
  QTest::newRow("comma") << "1,5" << false << 0.0;
  QTest::newRow("two signs") << "--1" << false << 0.0;
}

void CliParamsTest::parseDecimal() {
  QFETCH(QString, text);
  QFETCH(bool, valid);
  QFETCH(double, value);
  const std::optional<long double> parsed = ParseDecimal(text.toStdString());
  QCOMPARE(parsed.has_value(), valid);
  if (valid) QCOMPARE(static_cast<double>(*parsed), value);
}

void CliParamsTest::assignments_data() {
  QTest::addColumn<QString>("arguments");
  QTest::addColumn<int>("index");  // block index of the first argument's parameter
  QTest::addColumn<int>("byte");   // what Save writes for it
  QTest::newRow("dead zone") << "x.deadzone-start=1.5" << 0 << 15;
  QTest::newRow("dead-zone end of the throttle") << "throttle.deadzone-end=2" << 12 << 20;
  QTest::newRow("lowest dead zone") << "rudder.deadzone-start=0" << 5 << 0;
  QTest::newRow("highest dead zone") << "right-brake.deadzone-end=25" << 15 << 250;
  QTest::newRow("resolution of y up to 12") << "y.resolution=12" << 17 << 12;
  QTest::newRow("resolution of slot3 up to 10") << "slot3.resolution=10" << 19 << 10;
  QTest::newRow("lowest resolution") << "twist.resolution=8" << 18 << 8;
  // Rounded as the window's write rounds, at long double precision: 0.15 is a little
  // above 0.15 there, so it gives 2 tenths.
  QTest::newRow("half a tenth goes up") << "x.deadzone-start=0.15" << 0 << 2;
  QTest::newRow("below half a tenth goes down") << "x.deadzone-start=1.54" << 0 << 15;
  QTest::newRow("resolution is cut") << "x.resolution=10.9" << 16 << 10;
  QTest::newRow("several") << "left-brake.deadzone-start=3.3 x.resolution=9" << 6 << 33;
}

void CliParamsTest::assignments() {
  QFETCH(QString, arguments);
  QFETCH(int, index);
  QFETCH(int, byte);
  const std::vector<Assignment> parsed = ParseAssignments(Words(arguments));
  QCOMPARE(parsed.size(), Words(arguments).size());
  ParamBlock block{};
  block.fill(0x77);
  const ParamBlock result = Assign(block, parsed);
  QCOMPARE(int(result[static_cast<std::size_t>(index)]), byte);
  // Nothing else is touched.
  int changed = 0;
  for (std::size_t i = 0; i < block.size(); ++i) changed += result[i] != block[i];
  QVERIFY(changed <= int(parsed.size()));
}

void CliParamsTest::badAssignments_data() {
  QTest::addColumn<QString>("arguments");
  QTest::addColumn<QString>("message");
  QTest::newRow("no value") << "x.deadzone-start" << "is no AXIS.KIND=VALUE";
  QTest::newRow("unknown axis") << "z.resolution=9" << "unknown axis 'z'";
  QTest::newRow("unknown kind") << "x.deadzone=1" << "unknown kind 'deadzone'";
  QTest::newRow("no kind") << "x=1" << "unknown kind ''";
  QTest::newRow("no number") << "x.resolution=ten" << "'ten' in 'x.resolution=ten' is no decimal number";
  QTest::newRow("empty value") << "x.resolution=" << "is no decimal number";
  QTest::newRow("dead zone above 25") << "x.deadzone-start=25.01" << "takes values from 0.0..25.0";
  QTest::newRow("negative dead zone") << "y.deadzone-end=-0.1" << "takes values from 0.0..25.0";
  QTest::newRow("resolution of x above 12") << "x.resolution=13" << "takes values from 8..12";
  QTest::newRow("resolution of twist above 10") << "twist.resolution=11" << "takes values from 8..10";
  QTest::newRow("resolution below 8") << "throttle.resolution=7.9" << "takes values from 8..10";
  QTest::newRow("twice") << "x.resolution=9 x.resolution=10" << "x.resolution is given more than once";
  QTest::newRow("a bad one after good ones") << "x.resolution=9 y.resolution=99" << "y.resolution takes";
}

void CliParamsTest::badAssignments() {
  QFETCH(QString, arguments);
  QFETCH(QString, message);
  ExitCode code = ExitCode::Ok;
  const QString error = ErrorOf([&] { ParseAssignments(Words(arguments)); }, &code);
  QVERIFY2(error.contains(message), qPrintable(error));
  QCOMPARE(code, ExitCode::BadInput);
  QVERIFY(!error.contains(QLatin1Char('\n')));
}

void CliParamsTest::windowByte_data() {
  QTest::addColumn<int>("axis");
  QTest::addColumn<int>("kind");
  QTest::addColumn<int>("stickByte");
  QTest::addColumn<int>("windowByte");
  const int dz = KindNumber(ParamKind::DeadZoneStart);
  const int res = KindNumber(ParamKind::Resolution);
  QTest::newRow("dead zone inside") << 0 << dz << 5 << 5;
  QTest::newRow("dead zone at 25") << 3 << dz << 250 << 250;
  QTest::newRow("dead zone above 25") << 3 << dz << 251 << 250;
  QTest::newRow("dead zone 25.5") << 7 << KindNumber(ParamKind::DeadZoneEnd) << 255 << 250;
  QTest::newRow("dead zone 0") << 1 << dz << 0 << 0;
  QTest::newRow("resolution of x inside") << 0 << res << 12 << 12;
  QTest::newRow("resolution of x above") << 0 << res << 13 << 12;
  QTest::newRow("resolution of y below") << 1 << res << 0 << 8;
  QTest::newRow("resolution of twist above") << 2 << res << 11 << 10;
  QTest::newRow("resolution of right-brake 255") << 7 << res << 255 << 10;
  QTest::newRow("resolution of throttle below") << 4 << res << 7 << 8;
}

void CliParamsTest::windowByte() {
  QFETCH(int, axis);
  QFETCH(int, kind);
  QFETCH(int, stickByte);
  QFETCH(int, windowByte);
  const ParamId id{axis, static_cast<ParamKind>(kind)};
  QCOMPARE(int(WindowByte(id, static_cast<std::uint8_t>(stickByte))), windowByte);
  QCOMPARE(ByteInBox(id, static_cast<std::uint8_t>(stickByte)), stickByte == windowByte);
  ParamBlock block{};
  block.fill(9);  // inside every box
  block[ParamBlockIndex(axis, id.kind)] = static_cast<std::uint8_t>(stickByte);
  ParamBlock expected = block;
  expected[ParamBlockIndex(axis, id.kind)] = static_cast<std::uint8_t>(windowByte);
  QCOMPARE(WindowBlock(block), expected);
}

void CliParamsTest::formatByte_data() {
  QTest::addColumn<int>("kind");
  QTest::addColumn<int>("byte");
  QTest::addColumn<QString>("text");
  const int dz = KindNumber(ParamKind::DeadZoneEnd);
  QTest::newRow("zero") << dz << 0 << "0.0";
  QTest::newRow("half") << dz << 5 << "0.5";
  QTest::newRow("ten") << dz << 100 << "10.0";
  QTest::newRow("largest") << dz << 255 << "25.5";
  QTest::newRow("resolution") << KindNumber(ParamKind::Resolution) << 10 << "10";
}

void CliParamsTest::formatByte() {
  QFETCH(int, kind);
  QFETCH(int, byte);
  QFETCH(QString, text);
  QCOMPARE(QString::fromStdString(FormatByte(static_cast<ParamKind>(kind), static_cast<std::uint8_t>(byte))), text);
}

void CliParamsTest::changes() {
  ParamBlock before{};
  before.fill(10);
  ParamBlock after = before;
  QVERIFY(BlockChanges(before, after).empty());
  after[ParamBlockIndex(0, ParamKind::DeadZoneStart)] = 15;
  after[ParamBlockIndex(1, ParamKind::Resolution)] = 12;
  before[ParamBlockIndex(7, ParamKind::DeadZoneEnd)] = 255;
  const std::vector<ParamChange> changes = BlockChanges(before, after);
  QCOMPARE(changes.size(), std::size_t(3));
  QCOMPARE(QString::fromStdString(ChangeLine(changes[0])), QStringLiteral("x.deadzone-start: 1.0 -> 1.5"));
  QCOMPARE(QString::fromStdString(ChangeLine(changes[1])),
           QStringLiteral("right-brake.deadzone-end: 25.5 (outside 0.0..25.0) -> 1.0"));
  QCOMPARE(QString::fromStdString(ChangeLine(changes[2])), QStringLiteral("y.resolution: 10 -> 12"));
}

QTEST_APPLESS_MAIN(CliParamsTest)
#include "tst_cli_params.moc"
