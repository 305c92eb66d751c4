// The parameter file: what backup writes, that restore reads it back exactly, and one
// clear line for every kind of broken, foreign or edited file.
#include <QTest>

#include <nlohmann/json.hpp>

#include <functional>
#include <string>

#include "cli_error.h"
#include "param_file.h"
#include "param_table.h"

using namespace vorlane;
using namespace vorlane::cli;
using Json = nlohmann::json;

namespace {

ParamRecord SampleRecord() {
  ParamRecord record;
  record.program = "vorlane-cli 9.8.7";
  record.stick = "Test Stick \xC3\xA9";  // UTF-8
  record.date = "2026-02-03T04:05:06Z";
  record.calibrated = true;
  for (std::size_t i = 0; i < record.raw.size(); ++i) record.raw[i] = static_cast<std::uint8_t>(i + 1);
  for (int a = 0; a < kAxisCount; ++a) record.raw[ParamBlockIndex(a, ParamKind::Resolution)] = 10;
  // Outside the boxes: a dead zone of 25.5 and a resolution of 14 on x.
  record.raw[ParamBlockIndex(2, ParamKind::DeadZoneEnd)] = 255;
  record.raw[ParamBlockIndex(0, ParamKind::Resolution)] = 14;
  return record;
}

QString ErrorOf(const std::string& text) {
  try {
    ParseParamFile(text);
  } catch (const CliError& e) {
    return e.code() == ExitCode::BadInput ? QString::fromStdString(e.what()) : QStringLiteral("wrong code");
  }
  return {};
}

}  // namespace

class CliParamFileTest : public QObject {
  Q_OBJECT

 private slots:
  void writtenDocument();
  void readsBackWhatItWrote();
  void everyByteSurvivesTheFile();
  void editedValuesAreTaken();
  void badFiles_data();
  void badFiles();
  void notJson_data();
  void notJson();
};

void CliParamFileTest::writtenDocument() {
  const std::string text = ParamFileText(SampleRecord());
  QVERIFY(text.ends_with("}\n"));
  const Json document = Json::parse(text);
  QVERIFY(document["format"] == "vorlane-parameters");
  QVERIFY(document["version"] == 1);
  QVERIFY(document["program"] == "vorlane-cli 9.8.7");
  QVERIFY(document["stick"] == "Test Stick \xC3\xA9");
  QVERIFY(document["date"] == "2026-02-03T04:05:06Z");
  QVERIFY(document["calibrated"] == true);
  QVERIFY(document["raw-block"] == "0102030405060708090aff0c0d0e0f100e0a0a0a0a0a0a0a");
  const Json& parameters = document["parameters"];
  QVERIFY(parameters.size() == 8);
  QVERIFY(parameters["x"]["deadzone-start"] == 0.1);
  QVERIFY(parameters["slot3"]["deadzone-end"] == 1.2);
  // As the window shows them: brought into the boxes.
  QVERIFY(parameters["twist"]["deadzone-end"] == 25.0);
  QVERIFY(parameters["x"]["resolution"] == 12);
  QVERIFY(parameters["right-brake"]["resolution"] == 10);
  QVERIFY(parameters["x"]["resolution"].is_number_integer());
  // Tenths print as tenths.
  QVERIFY(text.find("\"deadzone-start\": 0.3,") != std::string::npos);
}

void CliParamFileTest::readsBackWhatItWrote() {
  const ParamRecord record = SampleRecord();
  const ParamFile file = ParseParamFile(ParamFileText(record));
  QCOMPARE(file.record.program, record.program);
  QCOMPARE(file.record.stick, record.stick);
  QCOMPARE(file.record.date, record.date);
  QCOMPARE(file.record.calibrated, record.calibrated);
  QCOMPARE(file.record.raw, record.raw);
  QCOMPARE(file.block, WindowBlock(record.raw));
  QVERIFY(file.block != record.raw);
}

void CliParamFileTest::everyByteSurvivesTheFile() {
  // Every byte the window keeps comes back as the same byte, in every slot.
  for (int byte = 0; byte < 256; ++byte) {
    ParamRecord record = SampleRecord();
    record.raw.fill(static_cast<std::uint8_t>(byte));
    const ParamFile file = ParseParamFile(ParamFileText(record));
    QCOMPARE(file.block, WindowBlock(record.raw));
  }
}

void CliParamFileTest::editedValuesAreTaken() {
  Json document = Json::parse(ParamFileText(SampleRecord()));
  document["parameters"]["y"]["deadzone-start"] = 2.35;  // rounded as the window rounds
  document["parameters"]["throttle"]["resolution"] = 9;
  const ParamFile file = ParseParamFile(document.dump());
  QCOMPARE(int(file.block[ParamBlockIndex(1, ParamKind::DeadZoneStart)]), 24);
  QCOMPARE(int(file.block[ParamBlockIndex(4, ParamKind::Resolution)]), 9);
}

void CliParamFileTest::badFiles_data() {
  QTest::addColumn<QString>("pointer");  // a JSON pointer into a good document
  QTest::addColumn<QString>("value");    // JSON put there; empty: remove it
  QTest::addColumn<QString>("message");
  QTest::newRow("format missing") << "/format" << "" << "not a Vorlane parameter file";
  QTest::newRow("foreign format") << "/format" << "\"something-else\"" << "not a Vorlane parameter file";
  QTest::newRow("other version") << "/version" << "2" << "version 2; this program reads version 1";
  QTest::newRow("version as text") << "/version" << "\"1\"" << "a parameter file of version \"1\"";
  QTest::newRow("no version") << "/version" << "" << "the file has no \"version\"";
  QTest::newRow("no parameters") << "/parameters" << "" << "the file has no \"parameters\"";
  QTest::newRow("parameters no object") << "/parameters" << "[]" << "\"parameters\" is no object";
  QTest::newRow("unknown axis") << "/parameters/z" << "{}" << "unknown axis \"z\"";
  QTest::newRow("axis missing") << "/parameters/rudder" << "" << "no values for axis rudder";
  QTest::newRow("unknown kind") << "/parameters/x/deadzone" << "1" << "unknown kind \"deadzone\" for axis x";
  QTest::newRow("kind missing") << "/parameters/twist/resolution" << "" << "no value for twist.resolution";
  QTest::newRow("value as text") << "/parameters/x/deadzone-start" << "\"1.5\"" << "x.deadzone-start is no number";
  QTest::newRow("value null") << "/parameters/y/deadzone-end" << "null" << "y.deadzone-end is no number";
  QTest::newRow("dead zone above 25") << "/parameters/y/deadzone-end" << "25.5"
                                      << "y.deadzone-end is 25.5, outside its range 0.0..25.0";
  QTest::newRow("negative dead zone") << "/parameters/x/deadzone-start" << "-1" << "outside its range 0.0..25.0";
  QTest::newRow("resolution of twist 11") << "/parameters/twist/resolution" << "11"
                                          << "twist.resolution is 11, outside its range 8..10";
  QTest::newRow("huge number") << "/parameters/x/resolution" << "1e400" << "outside its range 8..12";
  QTest::newRow("raw block short") << "/raw-block" << "\"0102\"" << "\"raw-block\" is not 48 hexadecimal digits";
  QTest::newRow("raw block not hex") << "/raw-block" << QString("\"%1\"").arg(QString(48, 'g'))
                                     << "\"raw-block\" is not 48 hexadecimal digits";
  QTest::newRow("calibrated as text") << "/calibrated" << "\"yes\"" << "\"calibrated\" is neither true nor false";
  QTest::newRow("stick missing") << "/stick" << "" << "the file has no \"stick\"";
  QTest::newRow("date no text") << "/date" << "5" << "\"date\" is no text";
}

void CliParamFileTest::badFiles() {
  QFETCH(QString, pointer);
  QFETCH(QString, value);
  QFETCH(QString, message);
  Json document = Json::parse(ParamFileText(SampleRecord()));
  const Json::json_pointer at(pointer.toStdString());
  std::string text;
  if (value.isEmpty()) {
    document.at(at.parent_pointer()).erase(at.back());
    text = document.dump();
  } else {
    // The value goes in as JSON text, so that numbers beyond a double can be given.
    document[at] = "@@";
    text = document.dump();
    text.replace(text.find("\"@@\""), 4, value.toStdString());
  }
  const QString error = ErrorOf(text);
  QVERIFY2(error.contains(message), qPrintable(error));
  QVERIFY(!error.contains(QLatin1Char('\n')));
}

void CliParamFileTest::notJson_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("message");
  QTest::newRow("empty") << "" << "not a JSON document";
  QTest::newRow("cut") << "{\"format\": \"vorlane-parameters\", " << "not a JSON document";
  QTest::newRow("trailing text") << "{} x" << "not a JSON document";
  QTest::newRow("array") << "[1, 2]" << "not a Vorlane parameter file";
  QTest::newRow("text") << "\"vorlane-parameters\"" << "not a Vorlane parameter file";
  QTest::newRow("other program's object") << "{\"name\": \"x\"}" << "not a Vorlane parameter file";
}

void CliParamFileTest::notJson() {
  QFETCH(QString, text);
  QFETCH(QString, message);
  const QString error = ErrorOf(text.toStdString());
  QVERIFY2(error.contains(message), qPrintable(error));
}

QTEST_APPLESS_MAIN(CliParamFileTest)
#include "tst_cli_param_file.moc"
