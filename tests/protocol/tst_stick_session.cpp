// The protocol session on its own: what it sends, when it pauses, what it takes as an
// answer, and when it refuses to write.
#include <QtTest>

#include <cerrno>
#include <optional>
#include <string>
#include <vector>

#include "stick_model.h"
#include "stick_session.h"
#include "test_reports.h"

using namespace vorlane;

namespace {

// A transport to a StickModel that can be told to fail a transfer or to answer short.
// It records the calls, and the pauses in between, as one event list.
class ScriptedTransport : public FeatureTransport {
 public:
  StickModel stick{RisingBlock(3, 40, 9), /*calibrated=*/true};
  bool failSets = false;
  bool failGets = false;
  std::optional<std::size_t> answerBytes;
  std::vector<std::string>* events = nullptr;

  TransferResult SetFeature(const std::uint8_t* buffer, std::size_t size) override {
    events->push_back("set " + std::to_string(buffer[3]) + " " + std::to_string(size));
    if (failSets) return TransferResult::SystemFailed(EPIPE);
    stick.SetFeature({buffer, size});
    return TransferResult::Done(size);
  }
  TransferResult GetFeature(std::uint8_t* buffer, std::size_t size) override {
    events->push_back("get " + std::to_string(size));
    if (failGets) return TransferResult::SystemFailed(EIO);
    const std::size_t got = std::min(stick.GetFeature({buffer, size}), answerBytes.value_or(size));
    return got ? TransferResult::Done(got) : TransferResult::SystemFailed(EPIPE);
  }
};

struct Traced {
  std::size_t count;
  TraceDirection direction;
  bool ok;
};

struct SessionFixture {
  std::vector<std::string> events;
  std::vector<Traced> traced;
  ScriptedTransport transport;
  StickSession session{[this](int ms) { events.push_back("pause " + std::to_string(ms)); },
                       [this](std::span<const std::uint8_t> bytes, TraceDirection direction,
                              const TransferResult& result) {
                         traced.push_back({bytes.size(), direction, result.ok});
                       }};

  explicit SessionFixture(std::uint8_t featureLength = 64) {
    transport.events = &events;
    session.Attach(&transport, featureLength);
  }
};

using Events = std::vector<std::string>;

}  // namespace

class StickSessionTest : public QObject {
  Q_OBJECT

 private slots:
  void sequencesAndPauses();
  void withoutStickOnlyComposes();
  void answerCountsOnlyWhenComplete_data();
  void answerCountsOnlyWhenComplete();
  void failedRequestIsNotFollowedByAGet();
  void writeOnlyAfterACompleteRead();
  void bootloaderEndsAtTheFirstFailure();
  void everyTransferIsTraced();
};

void StickSessionTest::sequencesAndPauses() {
  SessionFixture f;
  QVERIFY(f.session.PreCommand().ok());
  const ReadResult read = f.session.ReadParams();
  QVERIFY(read.ok());
  QVERIFY(f.session.WriteParams(read.answer->block).ok());
  QVERIFY(f.session.LoadDefaults().ok());
  QCOMPARE(f.events, (Events{"pause 5", "set 16 64", "set 18 64", "pause 10", "get 64", "set 17 64",
                             "set 19 64"}));

  f.events.clear();
  QVERIFY(f.session.Bootloader().ok());
  QCOMPARE(f.events, (Events{"pause 5", "set 16 64", "pause 10", "set 28 64", "pause 10", "set 88 64",
                             "pause 2000"}));
  QCOMPARE(read.answer->block, RisingBlock(3, 40, 9));
  QVERIFY(read.answer->calibrated);
}

void StickSessionTest::withoutStickOnlyComposes() {
  SessionFixture f;
  f.session.Detach();
  QCOMPARE(f.session.PreCommand().status, StepStatus::NoStick);
  QCOMPARE(f.session.ReadParams().status, StepStatus::NoStick);
  QCOMPARE(int(f.session.Report()[3]), int(CMD_READ_PARAMS));
  QCOMPARE(f.session.WriteParams(ParamBlock{}).status, StepStatus::NoStick);
  QCOMPARE(int(f.session.Report()[3]), int(CMD_WRITE_PARAMS));
  QCOMPARE(f.session.Bootloader().status, StepStatus::NoStick);
  QCOMPARE(f.events, (Events{"pause 5", "pause 5"}));  // the pre-commands' pauses only
  QVERIFY(f.traced.empty());
}

void StickSessionTest::answerCountsOnlyWhenComplete_data() {
  QTest::addColumn<int>("answerBytes");
  QTest::addColumn<bool>("complete");
  for (int bytes : {1, 5, 6, 29}) QTest::addRow("%d bytes", bytes) << bytes << false;
  for (int bytes : {30, 31, 64}) QTest::addRow("%d bytes", bytes) << bytes << true;
}

void StickSessionTest::answerCountsOnlyWhenComplete() {
  QFETCH(int, answerBytes);
  QFETCH(bool, complete);
  SessionFixture f;
  f.transport.answerBytes = std::size_t(answerBytes);

  const ReadResult read = f.session.ReadParams();
  QCOMPARE(read.ok(), complete);
  QCOMPARE(read.answer.has_value(), complete);
  QCOMPARE(f.session.BlockRead(), complete);
  if (!complete) {
    QCOMPARE(read.status, StepStatus::Failed);
    QVERIFY2(read.message.find(std::to_string(answerBytes) + " bytes") != std::string::npos,
             read.message.c_str());
  }
}

void StickSessionTest::failedRequestIsNotFollowedByAGet() {
  SessionFixture f;
  f.transport.failSets = true;
  const ReadResult read = f.session.ReadParams();
  QCOMPARE(read.status, StepStatus::Failed);
  QVERIFY2(read.message.starts_with("read request: "), read.message.c_str());
  QCOMPARE(f.events, Events{"set 18 64"});

  f.transport.failSets = false;
  f.transport.failGets = true;
  f.events.clear();
  const ReadResult noAnswer = f.session.ReadParams();
  QCOMPARE(noAnswer.status, StepStatus::Failed);
  QVERIFY2(noAnswer.message.starts_with("answer: "), noAnswer.message.c_str());
  QCOMPARE(f.events, (Events{"set 18 64", "pause 10", "get 64"}));
}

void StickSessionTest::writeOnlyAfterACompleteRead() {
  SessionFixture f;
  const ParamBlock mine = RisingBlock(1, 2, 10);
  QCOMPARE(f.session.WriteParams(mine).status, StepStatus::NotRead);

  f.transport.failGets = true;
  f.session.ReadParams();
  QCOMPARE(f.session.WriteParams(mine).status, StepStatus::NotRead);

  f.transport.failGets = false;
  QVERIFY(f.session.ReadParams().ok());
  f.events.clear();
  QVERIFY(f.session.WriteParams(mine).ok());
  QCOMPARE(f.events, Events{"set 17 64"});
  QCOMPARE(f.transport.stick.Params(), mine);

  // A later failed read does not take back what was read from this stick.
  f.transport.failGets = true;
  f.session.ReadParams();
  QVERIFY(f.session.WriteParams(mine).ok());

  // A stick attached anew has to be read first, even the same one.
  f.session.Attach(&f.transport, 64);
  f.events.clear();
  QCOMPARE(f.session.WriteParams(mine).status, StepStatus::NotRead);
  QVERIFY(f.events.empty());
}

void StickSessionTest::bootloaderEndsAtTheFirstFailure() {
  SessionFixture f;
  f.transport.failSets = true;
  const StepResult result = f.session.Bootloader();
  QCOMPARE(result.status, StepStatus::Failed);
  QVERIFY2(result.message.starts_with("pre-command: "), result.message.c_str());
  QCOMPARE(f.events, (Events{"pause 5", "set 16 64"}));
}

void StickSessionTest::everyTransferIsTraced() {
  SessionFixture f(200);
  f.session.ReadParams();
  f.transport.failSets = true;
  f.session.LoadDefaults();
  QCOMPARE(f.traced.size(), std::size_t{3});
  // Both lines of a read show 32 bytes; every other report its feature length.
  QCOMPARE(f.traced[0].count, std::size_t{32});
  QCOMPARE(f.traced[0].direction, TraceDirection::Sent);
  QCOMPARE(f.traced[1].count, std::size_t{32});
  QCOMPARE(f.traced[1].direction, TraceDirection::Received);
  QCOMPARE(f.traced[2].count, std::size_t{200});
  QVERIFY(f.traced[0].ok && f.traced[1].ok && !f.traced[2].ok);
}

QTEST_MAIN(StickSessionTest)
#include "tst_stick_session.moc"
