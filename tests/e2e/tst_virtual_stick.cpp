// The virtual stick's parts that need no kernel: its report descriptor, its command
// line, its answers to the kernel's report requests and the files it writes.
#include <linux/uhid.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <array>
#include <cerrno>
#include <chrono>
#include <system_error>
#include <vector>

#include "options.h"
#include "report_descriptor.h"
#include "safe_files.h"
#include "stick_descriptor.h"
#include "stick_server.h"

using namespace std::chrono_literals;
using virtualstick::ParsedCommandLine;
using virtualstick::StickServer;

Q_DECLARE_METATYPE(ParsedCommandLine::Action)

namespace {

ParsedCommandLine Parse(QStringList args) {
  args.prepend(QStringLiteral("virtual-stick"));
  std::vector<QByteArray> bytes;
  for (const QString& a : args) bytes.push_back(a.toUtf8());
  std::vector<char*> argv;
  for (QByteArray& b : bytes) argv.push_back(b.data());
  argv.push_back(nullptr);
  return virtualstick::ParseCommandLine(static_cast<int>(bytes.size()), argv.data());
}

uhid_event SetReport(std::uint32_t id, std::span<const std::uint8_t> data,
                     std::uint8_t type = UHID_FEATURE_REPORT) {
  uhid_event event{};
  event.type = UHID_SET_REPORT;
  event.u.set_report.id = id;
  event.u.set_report.rnum = data.empty() ? 0 : data[0];
  event.u.set_report.rtype = type;
  event.u.set_report.size = static_cast<std::uint16_t>(data.size());
  std::copy(data.begin(), data.end(), event.u.set_report.data);
  return event;
}

uhid_event GetReport(std::uint32_t id, std::uint8_t number, std::uint8_t type = UHID_FEATURE_REPORT) {
  uhid_event event{};
  event.type = UHID_GET_REPORT;
  event.u.get_report.id = id;
  event.u.get_report.rnum = number;
  event.u.get_report.rtype = type;
  return event;
}

// A server with its replies and log kept for the test.
struct ServerFixture {
  QTemporaryDir dir;
  QString logPath = dir.filePath(QStringLiteral("log"));
  virtualstick::ReportLog log{logPath.toStdString()};
  std::vector<uhid_event> replies;
  StickServer server;
  StickServer::Clock::time_point t0 = StickServer::Clock::now();

  explicit ServerFixture(const virtualstick::Options& options)
      : server(options, log, [this](const uhid_event& e) { replies.push_back(e); }) {}

  QStringList logLines() const {
    QFile file(logPath);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromLatin1(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  }

  void sendReadRequest(std::size_t length) {
    std::vector<std::uint8_t> request(length);
    vorlane::ComposeReadRequest(request);
    server.Handle(SetReport(1, request), t0);
  }
};

QString Trace(std::span<const std::uint8_t> bytes, vorlane::TraceDirection direction) {
  return QString::fromStdString(vorlane::TraceLine(bytes, direction));
}

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

bool WriteAll(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Writes one line to the log at path, or the ready file at path, as the tool does;
// the error's text, empty when there was none.
QString WriteAsTheTool(const QString& file, const QString& path) {
  try {
    if (file == QLatin1String("log")) {
      virtualstick::ReportLog log(path.toStdString());
      log.Event("start");
    } else {
      virtualstick::ReplaceOwnFile(path.toStdString(), "4242\n", "ready file");
    }
  } catch (const std::system_error& e) {
    return QString::fromLocal8Bit(e.what());
  }
  return {};
}

}  // namespace

class TestVirtualStick : public QObject {
  Q_OBJECT

 private slots:
  void descriptorDeclaresTheFeatureLength_data();
  void descriptorDeclaresTheFeatureLength();
  void commandLine_data();
  void commandLine();
  void commandLineErrors_data();
  void commandLineErrors();
  void readAnswersTheModelsBlock_data();
  void readAnswersTheModelsBlock();
  void writeIsStoredAndLoggedAsReceived();
  void failingReadsAnswerWithAnError();
  void otherReportsAreRefused_data();
  void otherReportsAreRefused();
  void delayedAnswerWaitsForItsTime();
  void shortAnswerSendsTheFirstBytes_data();
  void shortAnswerSendsTheFirstBytes();
  void refusedWritesAreNotStored();
  void lateAnswerKeepsItsIdAndTheStickGoesOn();
  void sizesBeyondUhidAreRefused_data();
  void sizesBeyondUhidAreRefused();
  void filesRefuseWhatIsNotTheirOwn_data();
  void filesRefuseWhatIsNotTheirOwn();
  void filesReplaceTheirOwn_data();
  void filesReplaceTheirOwn();
};

void TestVirtualStick::descriptorDeclaresTheFeatureLength_data() {
  QTest::addColumn<int>("featureLength");
  for (int n : {1, 29, 127, 254, 255, 256, 4095}) QTest::addRow("%d bytes", n) << n;
}

void TestVirtualStick::descriptorDeclaresTheFeatureLength() {
  QFETCH(int, featureLength);
  const auto descriptor = virtualstick::StickReportDescriptor(static_cast<std::size_t>(featureLength));
  const vorlane::FeatureReportInfo info = vorlane::ParseFeatureReports(descriptor);
  QVERIFY(!info.malformed);
  QVERIFY(info.usesReportIds);
  QCOMPARE(info.featureReportByteLength, static_cast<std::size_t>(featureLength) + 1);
}

void TestVirtualStick::commandLine_data() {
  QTest::addColumn<QStringList>("args");
  QTest::addColumn<int>("featureLength");
  QTest::addColumn<bool>("calibrated");
  QTest::addColumn<int>("firstParam");
  QTest::addColumn<int>("lastParam");
  QTest::addColumn<int>("delayMs");
  QTest::addColumn<bool>("failReads");
  QTest::addColumn<int>("shortAnswer");
  QTest::addColumn<bool>("refuseSets");
  QTest::addColumn<int>("vendor");
  QTest::addColumn<int>("product");
  QTest::addColumn<QString>("name");
  const QString stick = QStringLiteral("Vorlane Virtual Stick");
  QTest::newRow("defaults: the stick itself, factory block")
      << QStringList{} << 127 << true << 5 << 10 << 0 << false << 0 << false << 0x11C0 << 0x5606 << stick;
  QTest::newRow("every option")
      << QStringList{"--feature-length", "29", "--not-calibrated", "--params",
                     "0102030405060708090a0b0c0d0e0f10111213141516171F", "--read-delay-ms", "7000",
                     "--fail-reads", "--short-answer", "30", "--refuse-sets", "--vendor", "0x1234",
                     "--product", "22136", "--name", "Other"}
      << 29 << false << 0x01 << 0x1F << 7000 << true << 30 << true << 0x1234 << 22136 << "Other";
  QTest::newRow("value after '='; the last of two wins")
      << QStringList{"--feature-length=63", "--not-calibrated", "--calibrated", "--vendor=0XFFFF",
                     "--vendor=0x1", "--vendor=0XFFFF"}
      << 63 << true << 5 << 10 << 0 << false << 0 << false << 0xFFFF << 0x5606 << stick;
  QTest::newRow("calibrated, then not calibrated")
      << QStringList{"--calibrated", "--not-calibrated"}
      << 127 << false << 5 << 10 << 0 << false << 0 << false << 0x11C0 << 0x5606 << stick;
  QTest::newRow("short answer checked against a later feature length; a leading 0 is decimal")
      << QStringList{"--short-answer", "64", "--feature-length", "63", "--read-delay-ms", "010"}
      << 63 << true << 5 << 10 << 10 << false << 64 << false << 0x11C0 << 0x5606 << stick;
  QTest::newRow("smallest short answer, longest delay, longest name, value starting with '-'")
      << QStringList{"--short-answer", "1", "--read-delay-ms", "60000", "--name", QString(127, QLatin1Char('-'))}
      << 127 << true << 5 << 10 << 60000 << false << 1 << false << 0x11C0 << 0x5606 << QString(127, QLatin1Char('-'));
}

void TestVirtualStick::commandLine() {
  QFETCH(QStringList, args);
  const ParsedCommandLine parsed = Parse(args);
  QVERIFY2(parsed.action == ParsedCommandLine::Action::Run, parsed.error.c_str());
  const virtualstick::Options& o = parsed.options;
  QTEST(static_cast<int>(o.featureLength), "featureLength");
  QTEST(o.calibrated, "calibrated");
  QTEST(static_cast<int>(o.params.front()), "firstParam");
  QTEST(static_cast<int>(o.params.back()), "lastParam");
  QTEST(static_cast<int>(o.readDelay.count()), "delayMs");
  QTEST(o.failReads, "failReads");
  QTEST(static_cast<int>(o.shortAnswer), "shortAnswer");
  QTEST(o.refuseSets, "refuseSets");
  QTEST(static_cast<int>(o.vendorId), "vendor");
  QTEST(static_cast<int>(o.productId), "product");
  QTEST(QString::fromStdString(o.name), "name");
}

void TestVirtualStick::commandLineErrors_data() {
  QTest::addColumn<QStringList>("args");
  QTest::addColumn<ParsedCommandLine::Action>("action");
  QTest::addColumn<QString>("message");
  using A = ParsedCommandLine::Action;
  QTest::newRow("help") << QStringList{"--help"} << A::Help << "";
  QTest::newRow("help wins over a bad value")
      << QStringList{"--feature-length", "0", "--help"} << A::Help << "";
  QTest::newRow("unknown option") << QStringList{"--colour"} << A::Error << "unknown option --colour";
  QTest::newRow("missing value") << QStringList{"--name"} << A::Error << "option --name needs a value";
  QTest::newRow("missing value of a later option")
      << QStringList{"--fail-reads", "--short-answer"} << A::Error << "option --short-answer needs a value";
  QTest::newRow("empty value after '='")
      << QStringList{"--log=", "--fail-reads"} << A::Error << "option --log needs a value";
  QTest::newRow("flag with a value")
      << QStringList{"--refuse-sets=yes"} << A::Error << "option --refuse-sets takes no value";
  QTest::newRow("stray argument") << QStringList{"stick"} << A::Error << "unexpected argument 'stick'";
  QTest::newRow("option after '--'")
      << QStringList{"--", "--fail-reads"} << A::Error << "unexpected argument '--fail-reads'";
  QTest::newRow("feature length 0") << QStringList{"--feature-length", "0"} << A::Error
                                    << "--feature-length wants a number from 1 to 4095, not '0'";
  QTest::newRow("feature length beyond uhid") << QStringList{"--feature-length", "4096"} << A::Error
                                              << "--feature-length wants";
  QTest::newRow("feature length with a tail") << QStringList{"--feature-length", "12x"} << A::Error
                                              << "not '12x'";
  QTest::newRow("read delay beyond a minute") << QStringList{"--read-delay-ms", "60001"} << A::Error
                                              << "--read-delay-ms wants";
  QTest::newRow("short answer 0") << QStringList{"--short-answer", "0"} << A::Error << "--short-answer wants";
  QTest::newRow("short answer longer than the report")
      << QStringList{"--feature-length", "29", "--short-answer", "31"} << A::Error
      << "--short-answer wants a number of bytes from 1 to 30";
  QTest::newRow("params too short") << QStringList{"--params", "0102"} << A::Error << "--params wants";
  QTest::newRow("params not hex")
      << QStringList{"--params", "0102030405060708090a0b0c0d0e0f10111213141516171g"} << A::Error
      << "--params wants";
  QTest::newRow("vendor beyond 16 bits") << QStringList{"--vendor", "0x10000"} << A::Error << "--vendor wants";
  QTest::newRow("negative product") << QStringList{"--product", "-1"} << A::Error << "--product wants";
  QTest::newRow("name too long") << QStringList{"--name", QString(128, QLatin1Char('x'))} << A::Error
                                 << "--name is longer than 127 bytes";
}

void TestVirtualStick::commandLineErrors() {
  QFETCH(QStringList, args);
  QFETCH(QString, message);
  const ParsedCommandLine parsed = Parse(args);
  QTEST(parsed.action, "action");
  QVERIFY2(QString::fromStdString(parsed.error).contains(message), parsed.error.c_str());
  QCOMPARE(parsed.error.empty(), message.isEmpty());
}

void TestVirtualStick::readAnswersTheModelsBlock_data() {
  QTest::addColumn<int>("featureLength");
  QTest::addColumn<bool>("calibrated");
  QTest::newRow("128-byte report, calibrated") << 127 << true;
  QTest::newRow("30-byte report, not calibrated") << 29 << false;
  QTest::newRow("8-byte report, cut before the block") << 7 << true;
}

void TestVirtualStick::readAnswersTheModelsBlock() {
  QFETCH(int, featureLength);
  QFETCH(bool, calibrated);
  virtualstick::Options options = virtualstick::DefaultOptions();
  options.featureLength = static_cast<std::size_t>(featureLength);
  options.calibrated = calibrated;
  for (std::size_t i = 0; i < options.params.size(); ++i) options.params[i] = static_cast<std::uint8_t>(i * 11);
  ServerFixture f(options);

  f.sendReadRequest(static_cast<std::size_t>(featureLength) + 1);
  f.server.Handle(GetReport(7, vorlane::REPORT_ID_CONFIG), f.t0);

  QCOMPARE(f.replies.size(), 2u);
  QCOMPARE(f.replies[0].type, UHID_SET_REPORT_REPLY);
  QCOMPARE(f.replies[0].u.set_report_reply.err, 0);
  const uhid_get_report_reply_req& answer = f.replies[1].u.get_report_reply;
  QCOMPARE(f.replies[1].type, UHID_GET_REPORT_REPLY);
  QCOMPARE(answer.id, 7u);
  QCOMPARE(answer.err, 0);
  QCOMPARE(answer.size, featureLength + 1);

  std::array<std::uint8_t, vorlane::kReportLayoutSize> expected{};
  std::array<std::uint8_t, vorlane::kReportLayoutSize> header{0x59, 0xA5, 0x1A, 0x12, 0x00};
  std::copy_n(header.begin(), 5, expected.begin());
  expected[5] = calibrated ? 1 : 0;
  std::copy(options.params.begin(), options.params.end(), expected.begin() + 6);
  const std::span<const std::uint8_t> got(answer.data, answer.size);
  QCOMPARE(QByteArray(reinterpret_cast<const char*>(got.data()), static_cast<qsizetype>(got.size())),
           QByteArray(reinterpret_cast<const char*>(expected.data()),
                      std::min<qsizetype>(got.size(), expected.size())));
  QCOMPARE(f.logLines().last(), Trace(got, vorlane::TraceDirection::Received));
}

void TestVirtualStick::writeIsStoredAndLoggedAsReceived() {
  ServerFixture f(virtualstick::DefaultOptions());
  std::array<std::uint8_t, 128> report{};
  vorlane::ParamBlock block{};
  block.fill(0x42);
  vorlane::ComposeWriteParams(report, block);
  f.server.Handle(SetReport(3, std::span(report).first(64)), f.t0);

  QCOMPARE(f.replies.size(), 1u);
  QCOMPARE(f.replies[0].u.set_report_reply.id, 3u);
  QCOMPARE(f.replies[0].u.set_report_reply.err, 0);
  QCOMPARE(f.server.Model().Params(), block);
  QCOMPARE(f.logLines(), QStringList{Trace(std::span(report).first(64), vorlane::TraceDirection::Sent)});
}

void TestVirtualStick::failingReadsAnswerWithAnError() {
  virtualstick::Options options = virtualstick::DefaultOptions();
  options.failReads = true;
  ServerFixture f(options);
  f.sendReadRequest(128);
  f.server.Handle(GetReport(9, vorlane::REPORT_ID_CONFIG), f.t0);

  QCOMPARE(f.replies.size(), 2u);
  QCOMPARE(f.replies[1].u.get_report_reply.id, 9u);
  QCOMPARE(f.replies[1].u.get_report_reply.err, EIO);
  QCOMPARE(f.logLines().last(), QStringLiteral("# read answered with an error"));
}

void TestVirtualStick::otherReportsAreRefused_data() {
  QTest::addColumn<bool>("read");
  QTest::addColumn<int>("number");
  QTest::addColumn<int>("type");
  QTest::newRow("read of the joystick report") << true << 0x01 << int(UHID_FEATURE_REPORT);
  QTest::newRow("read of an input report 0x59") << true << 0x59 << int(UHID_INPUT_REPORT);
  QTest::newRow("write of an output report 0x59") << false << 0x59 << int(UHID_OUTPUT_REPORT);
  QTest::newRow("write of feature report 0x01") << false << 0x01 << int(UHID_FEATURE_REPORT);
}

void TestVirtualStick::otherReportsAreRefused() {
  QFETCH(bool, read);
  QFETCH(int, number);
  QFETCH(int, type);
  ServerFixture f(virtualstick::DefaultOptions());
  const vorlane::ParamBlock before = f.server.Model().Params();
  if (read) {
    f.sendReadRequest(128);
    f.replies.clear();
    f.server.Handle(GetReport(5, static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(type)), f.t0);
    QCOMPARE(f.replies.size(), 1u);
    QCOMPARE(f.replies[0].u.get_report_reply.id, 5u);
    QCOMPARE(f.replies[0].u.get_report_reply.err, EIO);
  } else {
    std::array<std::uint8_t, 128> report{};
    vorlane::ComposeWriteParams(report, vorlane::ParamBlock{});
    report[0] = static_cast<std::uint8_t>(number);
    f.server.Handle(SetReport(5, report, static_cast<std::uint8_t>(type)), f.t0);
    QCOMPARE(f.replies.size(), 1u);
    QCOMPARE(f.replies[0].u.set_report_reply.err, EIO);
    QCOMPARE(f.server.Model().Params(), before);
  }
  QVERIFY(f.logLines().last().startsWith(QStringLiteral("# ")));
  QVERIFY(f.logLines().last().endsWith(QStringLiteral(" refused")));
}

void TestVirtualStick::delayedAnswerWaitsForItsTime() {
  virtualstick::Options options = virtualstick::DefaultOptions();
  options.readDelay = 100ms;
  ServerFixture f(options);
  f.sendReadRequest(128);
  f.replies.clear();
  f.server.Handle(GetReport(4, vorlane::REPORT_ID_CONFIG), f.t0);

  QVERIFY(f.replies.empty());
  QVERIFY(f.server.NextDue() == f.t0 + 100ms);
  f.server.SendDue(f.t0 + 99ms);
  QVERIFY(f.replies.empty());
  f.server.SendDue(f.t0 + 100ms);
  QCOMPARE(f.replies.size(), 1u);
  QCOMPARE(f.replies[0].u.get_report_reply.id, 4u);
  QCOMPARE(f.replies[0].u.get_report_reply.err, 0);
  QVERIFY(!f.server.NextDue());
}

void TestVirtualStick::shortAnswerSendsTheFirstBytes_data() {
  QTest::addColumn<int>("featureLength");
  QTest::addColumn<int>("shortAnswer");
  QTest::newRow("only the id byte") << 127 << 1;
  QTest::newRow("cut inside the block") << 127 << 10;
  QTest::newRow("the whole report") << 127 << 128;
  QTest::newRow("short report, whole") << 7 << 8;
}

void TestVirtualStick::shortAnswerSendsTheFirstBytes() {
  QFETCH(int, featureLength);
  QFETCH(int, shortAnswer);
  virtualstick::Options options = virtualstick::DefaultOptions();
  options.featureLength = static_cast<std::size_t>(featureLength);
  ServerFixture whole(options);
  options.shortAnswer = static_cast<std::size_t>(shortAnswer);
  ServerFixture cut(options);
  for (ServerFixture* f : {&whole, &cut}) {
    f->sendReadRequest(static_cast<std::size_t>(featureLength) + 1);
    f->server.Handle(GetReport(8, vorlane::REPORT_ID_CONFIG), f->t0);
    QCOMPARE(f->replies.size(), 2u);
    QCOMPARE(f->replies[1].u.get_report_reply.id, 8u);
    QCOMPARE(f->replies[1].u.get_report_reply.err, 0);
  }
  const uhid_get_report_reply_req& full = whole.replies[1].u.get_report_reply;
  const uhid_get_report_reply_req& answer = cut.replies[1].u.get_report_reply;
  QCOMPARE(int(full.size), featureLength + 1);
  QCOMPARE(int(answer.size), shortAnswer);
  const std::span<const std::uint8_t> got(answer.data, answer.size);
  QVERIFY(std::equal(got.begin(), got.end(), full.data));
  QCOMPARE(cut.logLines().last(), Trace(got, vorlane::TraceDirection::Received));
}

void TestVirtualStick::refusedWritesAreNotStored() {
  virtualstick::Options options = virtualstick::DefaultOptions();
  options.refuseSets = true;
  ServerFixture f(options);
  std::array<std::uint8_t, 128> write{};
  vorlane::ParamBlock block{};
  block.fill(0x42);
  vorlane::ComposeWriteParams(write, block);
  f.server.Handle(SetReport(3, write), f.t0);
  // A refused read request arms no answer either.
  f.sendReadRequest(128);
  f.server.Handle(GetReport(4, vorlane::REPORT_ID_CONFIG), f.t0);

  QCOMPARE(f.replies.size(), 3u);
  QCOMPARE(f.replies[0].type, UHID_SET_REPORT_REPLY);
  QCOMPARE(f.replies[0].u.set_report_reply.id, 3u);
  QCOMPARE(f.replies[0].u.set_report_reply.err, EIO);
  QCOMPARE(f.replies[1].u.set_report_reply.err, EIO);
  QCOMPARE(f.replies[2].u.get_report_reply.id, 4u);
  QCOMPARE(f.replies[2].u.get_report_reply.err, EIO);
  QCOMPARE(f.server.Model().Params(), vorlane::StickModel::FactoryBlock());
  QVERIFY(f.server.Model().Received().empty());
  const QStringList lines = f.logLines();
  QCOMPARE(lines.size(), 5);
  QCOMPARE(lines[0], Trace(write, vorlane::TraceDirection::Sent));
  QCOMPARE(lines[1], QStringLiteral("# write of feature report 0x59 refused (--refuse-sets)"));
}

// With a delay past the kernel's 5 s, the kernel gives up and asks again while the
// first answer waits; every request still gets one reply with its own id, in time.
void TestVirtualStick::lateAnswerKeepsItsIdAndTheStickGoesOn() {
  virtualstick::Options options = virtualstick::DefaultOptions();
  options.readDelay = 7000ms;
  ServerFixture f(options);
  f.sendReadRequest(128);
  f.server.Handle(GetReport(4, vorlane::REPORT_ID_CONFIG), f.t0);
  QCOMPARE(f.replies.size(), 1u);

  // The kernel gave up on read 4; the host writes and reads again.
  std::array<std::uint8_t, 128> request{};
  vorlane::ComposeReadRequest(request);
  f.server.Handle(SetReport(5, request), f.t0 + 5s);
  QCOMPARE(f.replies.size(), 2u);
  QCOMPARE(f.replies[1].type, UHID_SET_REPORT_REPLY);
  QCOMPARE(f.replies[1].u.set_report_reply.id, 5u);
  QCOMPARE(f.replies[1].u.set_report_reply.err, 0);
  f.server.Handle(GetReport(6, vorlane::REPORT_ID_CONFIG), f.t0 + 5s);
  QCOMPARE(f.replies.size(), 2u);
  QVERIFY(f.server.NextDue() == f.t0 + 7s);

  f.server.SendDue(f.t0 + 7s);
  QCOMPARE(f.replies.size(), 3u);
  QCOMPARE(f.replies[2].type, UHID_GET_REPORT_REPLY);
  QCOMPARE(f.replies[2].u.get_report_reply.id, 4u);
  QVERIFY(f.server.NextDue() == f.t0 + 12s);
  f.server.SendDue(f.t0 + 12s - 1ms);
  QCOMPARE(f.replies.size(), 3u);
  f.server.SendDue(f.t0 + 12s);
  QCOMPARE(f.replies.size(), 4u);
  const uhid_get_report_reply_req& answer = f.replies[3].u.get_report_reply;
  QCOMPARE(f.replies[3].type, UHID_GET_REPORT_REPLY);
  QCOMPARE(answer.id, 6u);
  QCOMPARE(answer.err, 0);
  QCOMPARE(int(answer.size), 128);
  QCOMPARE(vorlane::AnswerParamBlock(std::span(answer.data, answer.size)), options.params);
  QVERIFY(!f.server.NextDue());

  // Nothing waits any more: a write is answered at once.
  f.server.Handle(SetReport(7, request), f.t0 + 12s);
  QCOMPARE(f.replies.size(), 5u);
  QCOMPARE(f.replies[4].u.set_report_reply.id, 7u);
}

void TestVirtualStick::sizesBeyondUhidAreRefused_data() {
  QTest::addColumn<int>("type");
  QTest::addColumn<int>("size");
  QTest::newRow("write one byte too long") << int(UHID_SET_REPORT) << UHID_DATA_MAX + 1;
  QTest::newRow("write of 65535 bytes") << int(UHID_SET_REPORT) << 0xFFFF;
  QTest::newRow("output report of 65535 bytes") << int(UHID_OUTPUT) << 0xFFFF;
}

void TestVirtualStick::sizesBeyondUhidAreRefused() {
  QFETCH(int, type);
  QFETCH(int, size);
  ServerFixture f(virtualstick::DefaultOptions());
  std::array<std::uint8_t, 128> write{};
  vorlane::ComposeWriteParams(write, vorlane::ParamBlock{});
  uhid_event event = SetReport(9, write);
  event.u.set_report.size = static_cast<std::uint16_t>(size);
  if (type == UHID_OUTPUT) {
    event = {};
    event.type = UHID_OUTPUT;
    event.u.output.size = static_cast<std::uint16_t>(size);
  }
  f.server.Handle(event, f.t0);

  QCOMPARE(f.server.Model().Params(), vorlane::StickModel::FactoryBlock());
  const QString sizeText = QString::number(size) + QStringLiteral(" bytes");
  QCOMPARE(f.logLines().size(), 1);
  QVERIFY2(f.logLines().first().contains(sizeText), qPrintable(f.logLines().first()));
  if (type == UHID_SET_REPORT) {
    QCOMPARE(f.replies.size(), 1u);
    QCOMPARE(f.replies[0].u.set_report_reply.id, 9u);
    QCOMPARE(f.replies[0].u.set_report_reply.err, EIO);
  } else {
    QVERIFY(f.replies.empty());
  }
}

void TestVirtualStick::filesRefuseWhatIsNotTheirOwn_data() {
  QTest::addColumn<QString>("file");
  QTest::addColumn<QString>("planted");
  QTest::addColumn<QString>("reason");
  for (const char* file : {"log", "ready file"}) {
    QTest::addRow("symbolic link at the %s path", file) << file << "symlink" << "is a symbolic link, refused";
    QTest::addRow("hard link at the %s path", file) << file << "hardlink" << "has other hard links, refused";
    QTest::addRow("another user's file at the %s path", file)
        << file << "other user" << "belongs to another user, refused";
  }
}

void TestVirtualStick::filesRefuseWhatIsNotTheirOwn() {
  QFETCH(QString, file);
  QFETCH(QString, planted);
  QFETCH(QString, reason);
  QTemporaryDir dir;
  QString target = dir.filePath(QStringLiteral("target"));
  const QString path = dir.filePath(QStringLiteral("path"));
  const QByteArray kept("kept\n");
  QVERIFY(WriteAll(target, kept));
  if (planted == QLatin1String("symlink")) {
    QVERIFY(symlink(QFile::encodeName(target).constData(), QFile::encodeName(path).constData()) == 0);
  } else if (planted == QLatin1String("hardlink")) {
    QVERIFY(link(QFile::encodeName(target).constData(), QFile::encodeName(path).constData()) == 0);
  } else {
    if (geteuid() != 0) QSKIP("giving a file to another user needs root");
    QVERIFY(QFile::rename(target, path));
    target = path;
    QVERIFY(chown(QFile::encodeName(path).constData(), 65534, 65534) == 0);
  }

  const QString error = WriteAsTheTool(file, path);
  QVERIFY2(error.contains(file + QLatin1Char(' ') + path + QStringLiteral(": ") + reason), qPrintable(error));
  QCOMPARE(ReadAll(target), kept);
  QCOMPARE(QFileInfo(path).isSymLink(), planted == QLatin1String("symlink"));
  // No temporary file is left behind.
  const QStringList left = QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
  QCOMPARE(left.size(), planted == QLatin1String("other user") ? 1 : 2);
}

void TestVirtualStick::filesReplaceTheirOwn_data() {
  QTest::addColumn<QString>("file");
  QTest::addColumn<bool>("existing");
  QTest::addColumn<QByteArray>("expected");
  QTest::newRow("new log") << "log" << false << QByteArray("# start\n");
  QTest::newRow("own log, emptied first") << "log" << true << QByteArray("# start\n");
  QTest::newRow("new ready file") << "ready file" << false << QByteArray("4242\n");
  QTest::newRow("own ready file, replaced") << "ready file" << true << QByteArray("4242\n");
}

void TestVirtualStick::filesReplaceTheirOwn() {
  QFETCH(QString, file);
  QFETCH(bool, existing);
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("own"));
  if (existing) QVERIFY(WriteAll(path, QByteArray(100, 'x')));

  const QString error = WriteAsTheTool(file, path);
  QVERIFY2(error.isEmpty(), qPrintable(error));
  QTEST(ReadAll(path), "expected");
  QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
           QStringList{QStringLiteral("own")});
  if (file == QLatin1String("ready file")) {
    // Readable by everyone, as a file made with the usual umask (its temporary is 0600).
    struct stat st {};
    QVERIFY(stat(QFile::encodeName(path).constData(), &st) == 0);
    QCOMPARE(st.st_mode & 0777u, 0644u);
  }
}

QTEST_GUILESS_MAIN(TestVirtualStick)
#include "tst_virtual_stick.moc"
